#include "ui/register_window/system_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/register_map.h"
#include "ui/common/bit_display.h"
#include "ui/common/measout_warning.h"
#include "ui/common/register_fields.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/setting_lists.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

// Bits 28..31 never belong to a system control word: clearing a field clears them too.
constexpr std::int32_t kClearHighBits = 0x0FFFFFFF;

}  // namespace

SystemPage::SystemPage(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("pageWRITESYS"));
  auto* layout = new QVBoxLayout(this);

  display_ = new BitDisplay(Display::SystemControl, QStringLiteral("txtSYSREG"), this);
  layout->addWidget(display_);

  auto* grid = new QGridLayout();
  layout->addLayout(grid);

  // CLAMP ENABLE: CH0..CH3 -> bits 18..21.
  auto* clampFrame = makeGroup(this, QStringLiteral("fraCLAMPEN"), QStringLiteral("CLAMP ENABLE"));
  auto* clampLayout = new QVBoxLayout(clampFrame);
  for (int i = 0; i < 4; ++i) {
    const FieldDef& field = clampEnableField(i);
    auto* box = makeCheck(clampFrame, QStringLiteral("chkCLAMP_%1").arg(i), qtext(field.control));
    clampLayout->addWidget(box);
    clamp_[static_cast<std::size_t>(i)] = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  clampLayout->addStretch(1);
  grid->addWidget(clampFrame, 0, 0);

  // COMPARATOR EN: CPOLH3..CPOLH0 -> bits 17..14, then ENABLE COMPARATOR -> bit 13.
  auto* compFrame = makeGroup(this, QStringLiteral("fraCOMPEN"), QStringLiteral("COMPARATOR EN"));
  auto* compLayout = new QVBoxLayout(compFrame);
  for (int i = 3; i >= 0; --i) {
    const FieldDef& field = comparatorEnableField(i);
    auto* box = makeCheck(compFrame, QStringLiteral("chkCPOLH_%1").arg(i), qtext(field.control));
    box->setEnabled(false);  // usable once the start-up has written the chip
    compLayout->addWidget(box);
    cpolh_[static_cast<std::size_t>(i)] = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  {
    const FieldDef& field = kv4410::field(SysField::CpBias);
    auto* box = makeCheck(compFrame, QStringLiteral("chkCPBIASEN"), qtext(field.control));
    compLayout->addWidget(box);
    comparatorBias_ = new Selector(
        box, true, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  compLayout->addStretch(1);
  grid->addWidget(compFrame, 0, 1);

  // MISC: FORCE/SENSE 10k and the DUTGND list.
  auto* miscFrame = makeGroup(this, QStringLiteral("fraMISC"), QStringLiteral("MISC"));
  auto* miscLayout = new QVBoxLayout(miscFrame);
  {
    const FieldDef& field = kv4410::field(SysField::ForceSense10k);
    auto* box = makeCheck(miscFrame, QStringLiteral("chk10K"), qtext(field.control));
    miscLayout->addWidget(box);
    forceSense10k_ = new Selector(
        box, false, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  {
    const QStringList items = listItems(kv4410::field(SysField::Dutgnd));
    auto* combo = makeList(miscFrame, QStringLiteral("cboDUTGND"), items);
    // The lists of this page keep their items' width at the left of their frames.
    miscLayout->addWidget(combo, 0, Qt::AlignLeft);
    dutGnd_ = new Selector(
        combo, items.value(1), [this](int index) { onDutGnd(index); }, &session_);
  }
  miscLayout->addStretch(1);
  grid->addWidget(miscFrame, 0, 2);

  // ALARM : GUARD AND CLAMP: one array, 0 = guard function, 1 = guard alarm, 2 = clamp alarm.
  auto* alarmFrame =
      makeGroup(this, QStringLiteral("fraALARM"), QStringLiteral("ALARM : GUARD AND CLAMP"));
  auto* alarmLayout = new QVBoxLayout(alarmFrame);
  const std::array<SysField, 3> alarmFields = {SysField::GuardEn, SysField::GuardAlarm,
                                               SysField::ClampAlarm};
  for (std::size_t i = 0; i < alarmFields.size(); ++i) {
    const FieldDef& field = kv4410::field(alarmFields[i]);
    auto* box = makeCheck(alarmFrame, QStringLiteral("chkALARM_%1").arg(i), qtext(field.control));
    alarmLayout->addWidget(box);
    alarms_[i] = new Selector(
        box, i == 2, [this, &field](int on) { setBit(field.lowBit, on != 0); }, &session_);
  }
  alarmLayout->addStretch(1);
  grid->addWidget(alarmFrame, 0, 3);

  // GAIN SETTING: MEASOUT gain and current-measure gain.
  auto* gainFrame = makeGroup(this, QStringLiteral("fraGAIN"), QStringLiteral("GAIN SETTING"));
  auto* gainLayout = new QVBoxLayout(gainFrame);
  using bench::Setting;
  const bench::View view = bench::View::RegisterWindow;
  measoutGain_ = makeSettingList(gainFrame, session_, view, Setting::MeasoutGain,
                                 QStringLiteral("MEASOUT GAIN =0.2"),
                                 {[this](int index) { onMeasoutGain(index); }, {}});
  currentGain_ = makeSettingList(gainFrame, session_, view, Setting::CurrentGain,
                                 QStringLiteral("I MEAS GAIN = 10"),
                                 {[this](int index) { onCurrentGain(index); }, {}});
  gainLayout->addWidget(measoutGain_->list(), 0, Qt::AlignLeft);
  gainLayout->addWidget(currentGain_->list(), 0, Qt::AlignLeft);
  gainLayout->addStretch(1);
  grid->addWidget(gainFrame, 1, 0, 1, 2);

  auto* thermalFrame =
      makeGroup(this, QStringLiteral("fraTHERMAL"), QStringLiteral("DIE THERMAL SHUTDOWN"));
  auto* thermalLayout = new QVBoxLayout(thermalFrame);
  thermal_ = makeSettingList(thermalFrame, session_, view, Setting::Thermal,
                             QStringLiteral("TJ = 130degC"),
                             {[this](int index) { onThermal(index); }, {}});
  thermalLayout->addWidget(thermal_->list(), 0, Qt::AlignLeft);
  thermalLayout->addStretch(1);
  grid->addWidget(thermalFrame, 1, 2);

  auto* latchFrame =
      makeGroup(this, QStringLiteral("fraLATCHED"), QStringLiteral("OPEN DRAIN ALARMS"));
  auto* latchLayout = new QVBoxLayout(latchFrame);
  latch_ =
      makeSettingList(latchFrame, session_, view, Setting::AlarmLatch, QStringLiteral("UNLATCHED"),
                      {[this](int index) { onLatch(index); }, {}});
  latchLayout->addWidget(latch_->list(), 0, Qt::AlignLeft);
  latchLayout->addStretch(1);
  grid->addWidget(latchFrame, 1, 3);

  auto* write = makeButton(this, QStringLiteral("cmdWRITESYS"),
                           QStringLiteral("WRITE SYSTEM CONTROL REGISTER"));
  write->setMinimumHeight(36);
  connect(write, &QPushButton::clicked, this, [this] { writeRegister(); });
  auto* buttonRow = new QHBoxLayout();
  buttonRow->addStretch(1);
  buttonRow->addWidget(write);
  buttonRow->addStretch(1);
  layout->addLayout(buttonRow);
  layout->addStretch(1);
}

void SystemPage::showSystemWord(std::int32_t code) {
  display_->showWord(code);
}

void SystemPage::compose(const std::function<void(StoredWords&)>& edit) {
  session_.bench().composeWords(edit);
  session_.showSerialWord(session_.words().sysWord);
}

void SystemPage::setBit(int bit, bool on) {
  const std::int32_t mask = std::int32_t{1} << bit;
  compose([mask, on](StoredWords& w) {
    w.sysWord = on ? (w.sysWord | mask) : (w.sysWord & ~mask & kClearHighBits);
  });
}

void SystemPage::onDutGnd(int index) {
  const FieldDef& field = kv4410::field(SysField::Dutgnd);
  compose([&field, index](StoredWords& w) {
    if (index >= 0) {
      w.sysWord = withField(w.sysWord, field, listValue(field, index)) & kClearHighBits;
    }
  });
}

// The shared lists compose their field here; a value of the setting then goes to the bench,
// which brings every window in step and sends the PMU control window's word.
void SystemPage::onMeasoutGain(int index) {
  compose([index](StoredWords& w) {
    if (index >= 0) {
      w.sysWord = static_cast<std::int32_t>(
                      composeMeasoutGainList(static_cast<std::uint32_t>(w.sysWord), index)) &
                  kClearHighBits;
    }
  });
  // Gain 1 can drive MEASOUT beyond the 5 V input of the board's ADC.
  if (index == 1) {
    showMeasoutWarning(session_);
  }
}

void SystemPage::onCurrentGain(int index) {
  const FieldDef& field = kv4410::field(SysField::Gain0);
  compose([&field, index](StoredWords& w) {
    if (index >= 0) {
      w.sysWord = withField(w.sysWord, field, listValue(field, index)) & kClearHighBits;
    }
  });
}

void SystemPage::onThermal(int index) {
  // With no entry chosen the list still clears its bits.
  compose([index](StoredWords& w) {
    w.sysWord = static_cast<std::int32_t>(
                    composeThermalList(static_cast<std::uint32_t>(w.sysWord), index)) &
                kClearHighBits;
  });
}

void SystemPage::onLatch(int index) {
  compose([index](StoredWords& w) {
    w.sysWord =
        static_cast<std::int32_t>(composeLatchList(static_cast<std::uint32_t>(w.sysWord), index));
    if (index == 0) {
      w.sysWord &= kClearHighBits;
    }
  });
}

void SystemPage::showStartUpSelections() {
  // The start-up composed the alarm boxes, the 10k switch and DUTGND as these controls show
  // them; the shared lists show the bench's settings.
  dutGnd_->show(1);  // "DUTGND PER DEVICE"
  using bench::Setting;
  const bench::View view = bench::View::RegisterWindow;
  showSetting(measoutGain_, session_, view, Setting::MeasoutGain);  // "MEASOUT GAIN =0.2"
  showSetting(currentGain_, session_, view, Setting::CurrentGain);  // "I MEAS GAIN = 10"
  showSetting(thermal_, session_, view, Setting::Thermal);          // "TJ = 130degC"
  showSetting(latch_, session_, view, Setting::AlarmLatch);         // "UNLATCHED"
}

void SystemPage::enableComparatorBoxes() {
  for (Selector* box : cpolh_) {
    box->button()->setEnabled(true);
  }
}

void SystemPage::writeRegister() {
  // Every field is rebuilt from the controls before the word goes out.
  for (Selector* alarm : alarms_) {
    alarm->runHandler();
  }
  forceSense10k_->runHandler();
  dutGnd_->runHandler();
  comparatorBias_->runHandler();
  for (int i = 3; i >= 0; --i) {
    cpolh_[static_cast<std::size_t>(i)]->runHandler();
  }
  for (int i = 3; i >= 0; --i) {
    clamp_[static_cast<std::size_t>(i)]->runHandler();
  }
  measoutGain_->runHandler();
  currentGain_->runHandler();
  thermal_->runHandler();
  latch_->runHandler();
  session_.SPIout(session_.words().sysWord);
  showSystemWord(session_.words().sysWord);
}

}  // namespace kv4410::ui
