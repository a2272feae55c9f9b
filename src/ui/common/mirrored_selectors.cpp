#include "ui/common/mirrored_selectors.h"

#include <QComboBox>

#include "device/register_map.h"
#include "ui/common/register_fields.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

std::vector<MirroredSelectorDef> buildTable() {
  const QStringList thermal = qtextList(thermalListItems());
  return {
      {Mirrored::RegisterCurrentRange, WindowId::Register, QStringLiteral("cboCurrent"),
       listItems(field(PmuField::Range))},
      {Mirrored::RegisterMeasure, WindowId::Register, QStringLiteral("cboMeasure"),
       listItems(field(PmuField::Measure))},
      {Mirrored::RegisterCompare, WindowId::Register, QStringLiteral("cboCompare"),
       listItems(field(PmuField::Compare))},
      {Mirrored::RegisterLatched, WindowId::Register, QStringLiteral("cboLatched"),
       listItems(field(SysField::Latch))},
      {Mirrored::RegisterThermal, WindowId::Register, QStringLiteral("TEMPSET"), thermal},
      {Mirrored::RegisterCurrentGain, WindowId::Register, QStringLiteral("IMEASG"),
       listItems(field(SysField::Gain0))},
      {Mirrored::RegisterMeasoutGain, WindowId::Register, QStringLiteral("MEASOUTG"),
       listItems(field(SysField::Gain1))},
      {Mirrored::PmuCurrentRange,
       WindowId::PmuControl,
       QStringLiteral("cboIrange"),
       {QStringLiteral("5uA current range"), QStringLiteral("20uA current range"),
        QStringLiteral("200uA current range"), QStringLiteral("2mA current range"),
        QStringLiteral("Ext Current range"), QStringLiteral("Disable Always on Ext Range"),
        QStringLiteral("Enable Always on Ext Range")}},
      {Mirrored::PmuMeasure,
       WindowId::PmuControl,
       QStringLiteral("cboMeasure"),
       {QStringLiteral("Measure Current"), QStringLiteral("Measure Voltage"),
        QStringLiteral("Measure Temp Sensor"), QStringLiteral("HiZ Measout")}},
      {Mirrored::PmuCompare,
       WindowId::PmuControl,
       QStringLiteral("cboCompare"),
       {QStringLiteral("Compare Current"), QStringLiteral("Compare Voltage")}},
      {Mirrored::PmuLatched,
       WindowId::PmuControl,
       QStringLiteral("cboLatched"),
       {QStringLiteral("UNLATCHED"), QStringLiteral("LATCHED")}},
      {Mirrored::PmuThermal, WindowId::PmuControl, QStringLiteral("cboTemp"), thermal},
      {Mirrored::PmuCurrentGain,
       WindowId::PmuControl,
       QStringLiteral("cboMeasI"),
       {QStringLiteral("I MEAS GAIN = 10"), QStringLiteral("I MEAS GAIN = 5")}},
      {Mirrored::PmuMeasoutGain,
       WindowId::PmuControl,
       QStringLiteral("cboMeasout"),
       {QStringLiteral("MEASOUT GAIN =0.2"), QStringLiteral("MEASOUT GAIN = 1")}},
      {Mirrored::SweepCurrentRange,
       WindowId::Sweep,
       QStringLiteral("cboSweepI"),
       {QStringLiteral("5uA"), QStringLiteral("20uA"), QStringLiteral("200uA"),
        QStringLiteral("2mA"), QStringLiteral("ext current range")}},
      {Mirrored::SweepMeasure,
       WindowId::Sweep,
       QStringLiteral("cboMeasureVI"),
       {QStringLiteral("Measure Voltage"), QStringLiteral("Measure Current")}},
  };
}

}  // namespace

const std::vector<MirroredSelectorDef>& mirroredSelectors() {
  static const std::vector<MirroredSelectorDef> table = buildTable();
  return table;
}

const MirroredSelectorDef& mirroredSelector(Mirrored id) {
  return mirroredSelectors()[static_cast<std::size_t>(id)];
}

Selector* makeMirroredList(QWidget* parent, Session& session, Mirrored id,
                           const QString& initialText, std::function<void(int)> handler) {
  const MirroredSelectorDef& def = mirroredSelector(id);
  QComboBox* list = makeList(parent, def.objectName, def.items);
  auto* selector = new Selector(list, initialText, std::move(handler), &session);
  session.hub().registerSelector(id, selector);
  return selector;
}

}  // namespace kv4410::ui
