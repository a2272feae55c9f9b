#include "ui/common/setting_lists.h"

#include <QComboBox>
#include <stdexcept>

#include "device/register_map.h"
#include "ui/common/register_fields.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

std::vector<SettingListDef> buildTable() {
  using bench::Setting;
  using bench::View;
  const QStringList thermal = qtextList(thermalListItems());
  return {
      {View::RegisterWindow, Setting::CurrentRange, QStringLiteral("cboCurrent"),
       listItems(field(PmuField::Range))},
      {View::RegisterWindow, Setting::Measure, QStringLiteral("cboMeasure"),
       listItems(field(PmuField::Measure))},
      {View::RegisterWindow, Setting::Compare, QStringLiteral("cboCompare"),
       listItems(field(PmuField::Compare))},
      {View::RegisterWindow, Setting::AlarmLatch, QStringLiteral("cboLatched"),
       listItems(field(SysField::Latch))},
      {View::RegisterWindow, Setting::Thermal, QStringLiteral("TEMPSET"), thermal},
      {View::RegisterWindow, Setting::CurrentGain, QStringLiteral("IMEASG"),
       listItems(field(SysField::Gain0))},
      {View::RegisterWindow, Setting::MeasoutGain, QStringLiteral("MEASOUTG"),
       listItems(field(SysField::Gain1))},
      {View::PmuControl,
       Setting::CurrentRange,
       QStringLiteral("cboIrange"),
       {QStringLiteral("5uA current range"), QStringLiteral("20uA current range"),
        QStringLiteral("200uA current range"), QStringLiteral("2mA current range"),
        QStringLiteral("Ext Current range"), QStringLiteral("Disable Always on Ext Range"),
        QStringLiteral("Enable Always on Ext Range")}},
      {View::PmuControl,
       Setting::Measure,
       QStringLiteral("cboMeasure"),
       {QStringLiteral("Measure Current"), QStringLiteral("Measure Voltage"),
        QStringLiteral("Measure Temp Sensor"), QStringLiteral("HiZ Measout")}},
      {View::PmuControl,
       Setting::Compare,
       QStringLiteral("cboCompare"),
       {QStringLiteral("Compare Current"), QStringLiteral("Compare Voltage")}},
      {View::PmuControl,
       Setting::AlarmLatch,
       QStringLiteral("cboLatched"),
       {QStringLiteral("UNLATCHED"), QStringLiteral("LATCHED")}},
      {View::PmuControl, Setting::Thermal, QStringLiteral("cboTemp"), thermal},
      {View::PmuControl,
       Setting::CurrentGain,
       QStringLiteral("cboMeasI"),
       {QStringLiteral("I MEAS GAIN = 10"), QStringLiteral("I MEAS GAIN = 5")}},
      {View::PmuControl,
       Setting::MeasoutGain,
       QStringLiteral("cboMeasout"),
       {QStringLiteral("MEASOUT GAIN =0.2"), QStringLiteral("MEASOUT GAIN = 1")}},
      {View::SweepWindow,
       Setting::CurrentRange,
       QStringLiteral("cboSweepI"),
       {QStringLiteral("5uA"), QStringLiteral("20uA"), QStringLiteral("200uA"),
        QStringLiteral("2mA"), QStringLiteral("ext current range")}},
      {View::SweepWindow,
       Setting::Measure,
       QStringLiteral("cboMeasureVI"),
       {QStringLiteral("Measure Voltage"), QStringLiteral("Measure Current")}},
  };
}

}  // namespace

const std::vector<SettingListDef>& settingLists() {
  static const std::vector<SettingListDef> table = buildTable();
  return table;
}

const SettingListDef& settingList(bench::View view, bench::Setting setting) {
  for (const SettingListDef& def : settingLists()) {
    if (def.view == view && def.setting == setting) {
      return def;
    }
  }
  throw std::invalid_argument("that window has no list for the setting");
}

namespace {

// Calls `listener` after every change of the setting; returns the subscription.
bench::SubscriptionId observeSetting(const bench::Bench& bench, bench::Setting setting,
                                     std::function<void()> listener) {
  auto call = [listener = std::move(listener)](const auto& /*value*/) { listener(); };
  switch (setting) {
    case bench::Setting::CurrentRange:
      return bench.currentRange().subscribe(call);
    case bench::Setting::Measure:
      return bench.measure().subscribe(call);
    case bench::Setting::Compare:
      return bench.compare().subscribe(call);
    case bench::Setting::CurrentGain:
      return bench.currentGain().subscribe(call);
    case bench::Setting::MeasoutGain:
      return bench.measoutGain().subscribe(call);
    case bench::Setting::Thermal:
      return bench.thermal().subscribe(call);
    case bench::Setting::AlarmLatch:
      break;
  }
  return bench.alarmLatch().subscribe(call);
}

void stopObserving(const bench::Bench& bench, bench::Setting setting, bench::SubscriptionId id) {
  switch (setting) {
    case bench::Setting::CurrentRange:
      bench.currentRange().unsubscribe(id);
      return;
    case bench::Setting::Measure:
      bench.measure().unsubscribe(id);
      return;
    case bench::Setting::Compare:
      bench.compare().unsubscribe(id);
      return;
    case bench::Setting::CurrentGain:
      bench.currentGain().unsubscribe(id);
      return;
    case bench::Setting::MeasoutGain:
      bench.measoutGain().unsubscribe(id);
      return;
    case bench::Setting::Thermal:
      bench.thermal().unsubscribe(id);
      return;
    case bench::Setting::AlarmLatch:
      break;
  }
  bench.alarmLatch().unsubscribe(id);
}

}  // namespace

void showSetting(Selector* list, Session& session, bench::View view, bench::Setting setting) {
  if (const std::optional<int> index = session.bench().indexIn(view, setting)) {
    list->show(*index);
  }
}

Selector* makeSettingList(QWidget* parent, Session& session, bench::View view,
                          bench::Setting setting, const QString& initialText,
                          SettingListHooks hooks) {
  const SettingListDef& def = settingList(view, setting);
  QComboBox* list = makeList(parent, def.objectName, def.items);
  auto* selector = new Selector(
      list, initialText,
      [&session, view, setting, chosen = hooks.chosen](int index) {
        if (chosen) {
          chosen(index);
        }
        if (bench::valueAt(view, setting, index)) {
          session.report(session.bench().chooseIn(view, setting, index));
        }
      },
      &session);
  if (session.bench().started()) {
    showSetting(selector, session, view, setting);
  }
  const bench::Bench& bench = session.bench();
  const bench::SubscriptionId id =
      observeSetting(bench, setting, [selector, &session, view, setting, shown = hooks.shown] {
        showSetting(selector, session, view, setting);
        if (shown) {
          shown();
        }
      });
  QObject::connect(selector, &QObject::destroyed,
                   [&bench, setting, id] { stopObserving(bench, setting, id); });
  return selector;
}

}  // namespace kv4410::ui
