#include "ui/pmu_control/pmu_control_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>
#include <cmath>

#include "device/conversions.h"
#include "device/dac_words.h"
#include "device/register_map.h"
#include "device/serial_word.h"
#include "device/text_format.h"
#include "ui/common/entry_checks.h"
#include "ui/common/measout_warning.h"
#include "ui/common/message_sink.h"
#include "ui/common/panel_look.h"
#include "ui/common/register_fields.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/setting_lists.h"
#include "ui/common/widgets.h"
#include "ui/common/window_menus.h"
#include "ui/pmu_control/key_press_hook.h"
#include "ui/pmu_control/pmu_level_calculations.h"

namespace kv4410::ui {

namespace {

const QString kLevelOutOfRange =
    QStringLiteral("Number too large. Please reenter voltage between Z/S and F/S.");
const QString kVrefOutOfRange =
    QStringLiteral("Number too large. Please reenter voltage between 0V and +5V.");
const QString kRsenseOutOfRange =
    QStringLiteral("Number too large. Please reenter voltage between 10k ohms and 12.5.");

// The third reference option and the reference entry accept whole volts from 0 to 5.
constexpr int kVrefEntryMax = 5;
// The external sense resistor's limits, ohms.
constexpr float kRsenseMin = 12.5F;
constexpr float kRsenseMax = 10000.0F;
// The external current range (cboIrange entry 4) is the last one that selects a sense resistor;
// entries 5 and 6 only switch the "Always on Ext Range" mode.
constexpr int kExternalRange = 4;

// This window's result fields: fixed width, right-aligned digits in the fixed font.
QLineEdit* resultDisplay(QWidget* parent, const QString& name, int width) {
  auto* field = makeDisplay(parent, name);
  field->setFocusPolicy(Qt::NoFocus);
  field->setFixedWidth(width);
  field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setPanelRole(field, PanelRole::Display);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return field;
}

}  // namespace

PmuControlWindow::PmuControlWindow(Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
  setObjectName(QStringLiteral("frmPMU"));
  setWindowTitle(QStringLiteral("KV4410 PMU Controls"));

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("centralPMU"));
  setCentralWidget(central);

  auto* forceGroup = buildForceGroup();
  auto* vrefGroup = buildVrefGroup();
  auto* otherGroup = buildOtherGroup();
  auto* directGroup = buildDirectDacGroup();
  auto* alarmGroup = buildAlarmGroup();
  auto* thermalGroup = buildThermalGroup();
  auto* gainGroup = buildGainGroup();

  auto* middle = new QVBoxLayout();
  middle->addWidget(vrefGroup);
  middle->addWidget(otherGroup);
  middle->addWidget(directGroup);
  middle->addStretch(1);

  auto* right = new QVBoxLayout();
  right->addWidget(alarmGroup);
  right->addWidget(thermalGroup);
  right->addWidget(gainGroup);
  right->addStretch(1);

  auto* columns = new QHBoxLayout();
  columns->addWidget(forceGroup, 0, Qt::AlignTop);
  columns->addLayout(middle);
  columns->addLayout(right);

  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(10, 8, 10, 10);
  layout->addWidget(buildHeader());
  layout->addLayout(columns, 1);
  layout->addWidget(buildStatusPanel());

  installWindowMenus(this, WindowId::PmuControl, session_.hub());
  installBoardStatus(this, session_);
  disableWhileTestHoldsBoard(this, session_);
  givePanelLook(this);

  PmuLevelFields fields;
  fields.force = cboForce_;
  fields.range = cboIrange_;
  fields.fin = txtFINx1_;
  fields.offset = OFFSETx1_;
  fields.rsense = txtRsense_;
  fields.dacCode = txtdaccode_;
  fields.outputV = txtOutputV_;
  fields.fullScale = txtOutputVh_;
  fields.zeroScale = txtOutputVl_;
  fields.lastOther = txtother_;
  levels_ = std::make_unique<PmuLevelCalculations>(session_, fields);

  createSelectors();

  connect(txtForce_, &QLineEdit::returnPressed, this, [this] { onForceLevelEntered(); });
  connect(txtFINx1_, &QLineEdit::returnPressed, this, [this] { onFinEntered(); });
  connect(OFFSETx1_, &QLineEdit::returnPressed, this, [this] { onOffsetEntered(); });
  connect(txtVref_, &QLineEdit::returnPressed, this, [this] { onVrefEntered(); });
  new KeyPressHook(txtRsense_, [this](QKeyEvent* event) { return onRsenseKey(event); });
  connect(cmdWRITEPMU_, &QPushButton::clicked, this, [this] { onUpdate(); });
  connect(cmdRESET_, &QPushButton::clicked, this, [this] { onReset(); });
  connect(cmdEXIT_, &QPushButton::clicked, this, [] { QCoreApplication::quit(); });
  connect(cmdClamp_, &QPushButton::clicked, this, [this] { onDacPage(1); });
  connect(cmdComp_, &QPushButton::clicked, this, [this] { onDacPage(2); });
}

PmuControlWindow::~PmuControlWindow() = default;

// ---- building -------------------------------------------------------------------------------

QWidget* PmuControlWindow::buildHeader() {
  auto* header = new QFrame(this);
  header->setObjectName(QStringLiteral("fraHeader"));
  setPanelRole(header, PanelRole::Band);
  auto* title = makeLabel(header, QStringLiteral("lblTitle"), QStringLiteral("KV4410 Quad PMU"));
  setBandTitleLook(title);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(12, 6, 12, 6);
  row->addWidget(title);
  row->addStretch(1);
  return header;
}

QGroupBox* PmuControlWindow::buildForceGroup() {
  auto* group = makeGroup(this, QStringLiteral("fraForce"), QStringLiteral("Force and Measure"));

  auto* enableLabel =
      makeLabel(group, QStringLiteral("lblEnable"), QStringLiteral("Enable Channel"));
  auto* channels = new QHBoxLayout();
  for (int i = 0; i < 4; ++i) {
    chkPMU_[i] =
        makeCheck(group, QStringLiteral("chkPMU_%1").arg(i), QStringLiteral("PMU%1").arg(i));
    channels->addWidget(chkPMU_[i]);
  }
  channels->addStretch(1);

  cboForce_ = makeList(group, QStringLiteral("cboForce"),
                       {QStringLiteral("Force Voltage"), QStringLiteral("Force Current"),
                        QStringLiteral("Hi-Z FOH Voltage"), QStringLiteral("Hi-Z FOH Current")});
  using bench::Setting;
  const bench::View view = bench::View::PmuControl;
  selIrange_ = makeSettingList(group, session_, view, Setting::CurrentRange,
                               QStringLiteral("2mA current range"),
                               {[this](int entry) { onIrange(entry); }, [this] { showRange(); }});
  selMeasure_ = makeSettingList(group, session_, view, Setting::Measure,
                                QStringLiteral("Measure Voltage"), {{}, [this] { showWords(); }});
  selCompare_ = makeSettingList(group, session_, view, Setting::Compare,
                                QStringLiteral("Compare Current"), {{}, [this] { showWords(); }});
  cboIrange_ = selIrange_->list();
  cboMeasure_ = selMeasure_->list();
  cboCompare_ = selCompare_->list();
  chkCLAMPEN_ = makeCheck(group, QStringLiteral("chkCLAMPEN"), QStringLiteral("Clamp Enable"));

  txtForce_ = makeEntry(group, QStringLiteral("txtForce"), QStringLiteral("0"));
  txtForce_->setFixedWidth(90);
  txtForce_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  txtForce_->setToolTip(QStringLiteral("Force level; press Enter to write it"));
  lbl1_ = makeLabel(group, QStringLiteral("lbl1"), QStringLiteral("V"));
  lbl1_->setMinimumWidth(24);
  cmdWRITEPMU_ = makeButton(group, QStringLiteral("cmdWRITEPMU"), QStringLiteral("Update"));

  auto* codeLabel = makeLabel(group, QStringLiteral("lblDacCode"), QStringLiteral("DAC Code"));
  txtdaccode_ = resultDisplay(group, QStringLiteral("txtdaccode"), 70);
  txtOutputV_ = resultDisplay(group, QStringLiteral("txtOutputV"), 70);
  txtOutputV_->setToolTip(QStringLiteral("Output voltage of the FIN DAC code"));

  lblrsense_ =
      makeLabel(group, QStringLiteral("lblrsense"), QStringLiteral("Enter Rsense (default 100R)"));
  txtRsense_ = makeEntry(group, QStringLiteral("txtRsense"), QStringLiteral("100"));
  txtRsense_->setFixedWidth(90);
  txtRsense_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblrsense_->hide();
  txtRsense_->hide();

  cmdClamp_ = makeButton(group, QStringLiteral("cmdClamp"), QStringLiteral("Set Clamp Levels"));
  cmdComp_ = makeButton(group, QStringLiteral("cmdComp"), QStringLiteral("Set Comparator Levels"));

  auto* level = new QHBoxLayout();
  level->addWidget(txtForce_);
  level->addWidget(lbl1_);
  level->addStretch(1);
  level->addWidget(cmdWRITEPMU_);

  auto* code = new QGridLayout();
  code->addWidget(codeLabel, 0, 0);
  code->addWidget(txtdaccode_, 1, 0);
  code->addWidget(txtOutputV_, 1, 1);
  code->setColumnStretch(2, 1);

  auto* rsense = new QHBoxLayout();
  rsense->addWidget(lblrsense_);
  rsense->addWidget(txtRsense_);
  rsense->addStretch(1);

  auto* levels = new QHBoxLayout();
  levels->addWidget(cmdClamp_);
  levels->addWidget(cmdComp_);

  auto* layout = new QVBoxLayout(group);
  layout->addWidget(enableLabel);
  layout->addLayout(channels);
  layout->addSpacing(4);
  layout->addWidget(cboForce_);
  layout->addWidget(cboIrange_);
  layout->addWidget(cboMeasure_);
  layout->addWidget(cboCompare_);
  layout->addWidget(chkCLAMPEN_);
  layout->addSpacing(4);
  layout->addLayout(level);
  layout->addLayout(code);
  layout->addLayout(rsense);
  layout->addSpacing(4);
  layout->addLayout(levels);
  return group;
}

QGroupBox* PmuControlWindow::buildVrefGroup() {
  auto* group = makeGroup(this, QStringLiteral("fraVref"), QStringLiteral("VREF"));
  const QStringList captions = {QStringLiteral("5V"), QStringLiteral("2.5V"), QString()};
  auto* options = new QButtonGroup(group);
  for (int i = 0; i < 3; ++i) {
    optRef_[i] = new QRadioButton(captions[i], group);
    optRef_[i]->setObjectName(QStringLiteral("optRef_%1").arg(i));
    options->addButton(optRef_[i], i);
  }
  txtVref_ = makeEntry(group, QStringLiteral("txtVref"), QStringLiteral("2"));
  txtVref_->setFixedWidth(50);
  txtVref_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* vrefUnit = makeLabel(group, QStringLiteral("lblVrefUnit"), QStringLiteral("V"));

  txtOutputVh_ = resultDisplay(group, QStringLiteral("txtOutputVh"), 80);
  txtOutputVl_ = resultDisplay(group, QStringLiteral("txtOutputVl"), 80);
  txtH_ = makeLabel(group, QStringLiteral("txtH"), QStringLiteral("V"));
  txtl_ = makeLabel(group, QStringLiteral("txtl"), QStringLiteral("V"));
  txtH_->setMinimumWidth(24);
  txtl_->setMinimumWidth(24);

  auto* layout = new QGridLayout(group);
  layout->addWidget(optRef_[0], 0, 0);
  layout->addWidget(optRef_[1], 0, 1);
  auto* third = new QHBoxLayout();
  third->addWidget(optRef_[2]);
  third->addWidget(txtVref_);
  third->addWidget(vrefUnit);
  third->addStretch(1);
  layout->addLayout(third, 0, 2);
  layout->addWidget(makeLabel(group, QStringLiteral("lblFS"), QStringLiteral("F/S")), 1, 0,
                    Qt::AlignRight);
  layout->addWidget(txtOutputVh_, 1, 1);
  layout->addWidget(txtH_, 1, 2);
  layout->addWidget(makeLabel(group, QStringLiteral("lblZS"), QStringLiteral("Z/S")), 2, 0,
                    Qt::AlignRight);
  layout->addWidget(txtOutputVl_, 2, 1);
  layout->addWidget(txtl_, 2, 2);
  return group;
}

QGroupBox* PmuControlWindow::buildOtherGroup() {
  auto* group = makeGroup(this, QStringLiteral("fraOther"), QStringLiteral("Other Settings"));
  chkGuard_ = makeCheck(group, QStringLiteral("chkGuard"),
                        QStringLiteral("Check to Enable Guard Function"));
  cboSysforce_ = makeList(
      group, QStringLiteral("cboSysforce"),
      {QStringLiteral("Hi-Z SYS_FORCE & SENSE"), QStringLiteral("sys-force hi-z, sense conn"),
       QStringLiteral("sys force conn, sense hi-z"), QStringLiteral("CONNECT TO FOHx MEASVHx")});
  chkCPOEN_ = makeCheck(group, QStringLiteral("chkCPOEN"),
                        QStringLiteral("Check to enable Comparator Output  Enable"));
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(chkGuard_);
  layout->addWidget(cboSysforce_);
  layout->addWidget(chkCPOEN_);
  return group;
}

QGroupBox* PmuControlWindow::buildAlarmGroup() {
  auto* group = makeGroup(this, QStringLiteral("fraAlarms"), QStringLiteral("OPEN DRAIN ALARMS"));
  Chkalm_[2] = makeCheck(group, QStringLiteral("Chkalm_2"), QStringLiteral("CLAMP ALARM"));
  Chkalm_[1] = makeCheck(group, QStringLiteral("Chkalm_1"), QStringLiteral("GUARD ALARM"));
  selLatched_ =
      makeSettingList(group, session_, bench::View::PmuControl, bench::Setting::AlarmLatch,
                      QStringLiteral("UNLATCHED"), {{}, [this] { showWords(); }});
  cboLatched_ = selLatched_->list();
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(Chkalm_[2]);
  layout->addWidget(Chkalm_[1]);
  layout->addWidget(cboLatched_);
  return group;
}

QGroupBox* PmuControlWindow::buildThermalGroup() {
  auto* group =
      makeGroup(this, QStringLiteral("fraThermal"), QStringLiteral("DIE THERMAL SHUTDOWN"));
  selTemp_ = makeSettingList(group, session_, bench::View::PmuControl, bench::Setting::Thermal,
                             QStringLiteral("ENABLED AT 130degC"), {{}, [this] { showWords(); }});
  cboTemp_ = selTemp_->list();
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(cboTemp_);
  return group;
}

QGroupBox* PmuControlWindow::buildGainGroup() {
  auto* group = makeGroup(this, QStringLiteral("fraGain"), QStringLiteral("GAIN SETTING"));
  selMeasI_ = makeSettingList(group, session_, bench::View::PmuControl, bench::Setting::CurrentGain,
                              QStringLiteral("I MEAS GAIN =10"), {{}, [this] { showWords(); }});
  // Gain 1 can drive MEASOUT beyond the 5 V input of the board's ADC.
  selMeasout_ = makeSettingList(group, session_, bench::View::PmuControl,
                                bench::Setting::MeasoutGain, QStringLiteral("MEASOUT GAIN = 0.2"),
                                {[this](int entry) {
                                   if (entry == 1) {
                                     showMeasoutWarning(session_);
                                   }
                                 },
                                 [this] { showWords(); }});
  cboMeasI_ = selMeasI_->list();
  cboMeasout_ = selMeasout_->list();
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(cboMeasI_);
  layout->addWidget(cboMeasout_);
  return group;
}

QGroupBox* PmuControlWindow::buildDirectDacGroup() {
  auto* group =
      makeGroup(this, QStringLiteral("fraDirect"), QStringLiteral("Write directly to FIN DAC"));
  txtFINx1_ = makeEntry(group, QStringLiteral("txtFINx1"), QStringLiteral("8000"));
  txtFINx1_->setFixedWidth(80);
  OFFSETx1_ = makeEntry(group, QStringLiteral("OFFSETx1_0"), QStringLiteral("A492"));
  OFFSETx1_->setFixedWidth(80);
  const QFont fixedFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  txtFINx1_->setFont(fixedFont);
  OFFSETx1_->setFont(fixedFont);
  auto* layout = new QGridLayout(group);
  layout->addWidget(makeLabel(group, QStringLiteral("lblFinDac"), QStringLiteral("FIN DAC")), 0, 0);
  layout->addWidget(
      makeLabel(group, QStringLiteral("lblOffsetDac"), QStringLiteral("OFFSET DAC CODE")), 0, 1);
  layout->addWidget(txtFINx1_, 1, 0);
  layout->addWidget(OFFSETx1_, 1, 1);
  layout->setColumnStretch(2, 1);
  return group;
}

QWidget* PmuControlWindow::buildStatusPanel() {
  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("fraStatus"));
  setPanelRole(panel, PanelRole::Box);
  Text1_ = resultDisplay(panel, QStringLiteral("Text1"), 100);
  txtPMU_ = resultDisplay(panel, QStringLiteral("txtPMU"), 100);
  txtother_ = resultDisplay(panel, QStringLiteral("txtother"), 100);
  cmdRESET_ = makeButton(panel, QStringLiteral("cmdRESET"), QStringLiteral("RESET KV4410"));
  setWarningLook(cmdRESET_);
  cmdEXIT_ = makeButton(panel, QStringLiteral("cmdEXIT"), QStringLiteral("EXIT"));

  auto* layout = new QGridLayout(panel);
  layout->setContentsMargins(10, 6, 10, 8);
  layout->addWidget(
      makeLabel(panel, QStringLiteral("lblLastSys"), QStringLiteral("Last SYS CTRL REG Write")), 0,
      0);
  layout->addWidget(
      makeLabel(panel, QStringLiteral("lblLastPmu"), QStringLiteral("Last PMU REG Write")), 0, 1);
  layout->addWidget(
      makeLabel(panel, QStringLiteral("lblLastOther"), QStringLiteral("Last Other Write")), 0, 2);
  layout->addWidget(Text1_, 1, 0);
  layout->addWidget(txtPMU_, 1, 1);
  layout->addWidget(txtother_, 1, 2);
  layout->setColumnStretch(3, 1);
  layout->addWidget(cmdRESET_, 1, 4);
  layout->addWidget(cmdEXIT_, 1, 5);
  return panel;
}

void PmuControlWindow::createSelectors() {
  Session* s = &session_;
  selForce_ = new Selector(
      cboForce_, QStringLiteral("Force Voltage"), [this](int entry) { onForce(entry); }, s);
  selSysforce_ = new Selector(
      cboSysforce_, QStringLiteral("SYSTEM FORCE/SENSE Disconnected"),
      [this](int entry) { onSysforce(entry); }, s);

  for (int i = 0; i < 4; ++i) {
    new Selector(
        chkPMU_[i], true, [this, i](int checked) { onChannel(i, checked); }, s);
  }
  new Selector(
      chkCLAMPEN_, true, [this](int checked) { onClampEnable(checked); }, s);
  new Selector(
      chkGuard_, false, [this](int checked) { onGuard(checked); }, s);
  new Selector(
      chkCPOEN_, true, [this](int checked) { onCpoen(checked); }, s);
  new Selector(
      Chkalm_[1], false, [this](int checked) { onAlarm(1, checked); }, s);
  new Selector(
      Chkalm_[2], true, [this](int checked) { onAlarm(2, checked); }, s);
  for (int i = 0; i < 3; ++i) {
    new Selector(
        optRef_[i], i == 0, [this, i](int checked) { onReference(i, checked); }, s);
  }
}

// ---- start-up -------------------------------------------------------------------------------

void PmuControlWindow::startUp() {
  // The bench's start-up sent this window's words (force voltage, measure current then
  // voltage, the FIN DAC for 0 V, the system lists, the 2 mA range): the window shows them.
  forceVoltage_ = session_.bench().pmuControl().forceVoltage;
  levels_->ShowVoltageRange();
  selForce_->show(session_.bench().pmuControl().forceEntry);
  using bench::Setting;
  const bench::View view = bench::View::PmuControl;
  for (const auto& [list, setting] : {std::pair{selIrange_, Setting::CurrentRange},
                                      {selMeasure_, Setting::Measure},
                                      {selCompare_, Setting::Compare},
                                      {selLatched_, Setting::AlarmLatch},
                                      {selTemp_, Setting::Thermal},
                                      {selMeasI_, Setting::CurrentGain},
                                      {selMeasout_, Setting::MeasoutGain}}) {
    showSetting(list, session_, view, setting);
  }
  Text1_->setText(hexText(session_.words().sysWord, 8));
  levels_->ForceVoltageLevel(0.0F, false);
  txtother_->setText(hexText(session_.words().dacWord, 8));
}

void PmuControlWindow::showLastPmuWrite(std::int32_t word) {
  txtPMU_->setText(hexText(word, 8));
}

void PmuControlWindow::showWords() {
  // "Last PMU REG Write" and "Last SYS REG Write" show what reached the board: a PMU word
  // without a channel bit is never sent.
  const StoredWords& w = session_.words();
  if ((static_cast<std::uint32_t>(w.pmuWord) & kChannelMask) != 0) {
    txtPMU_->setText(hexText(w.pmuWord, 8));
  }
  Text1_->setText(hexText(w.sysWord, 8));
}

void PmuControlWindow::showRange() {
  // The range's units and the external sense resistor; the bench has read the current-measure
  // gain back for the new range while forcing current.
  const int range = session_.conversion().rangeIndex;
  if (!forceVoltage_) {
    setUnits(rangeInMicroamps(range) ? QStringLiteral("uA") : QStringLiteral("mA"));
  }
  const bool external = range == kExternalRange;
  lblrsense_->setVisible(external);
  txtRsense_->setVisible(external);
  if (!forceVoltage_) {
    levels_->ShowCurrentRange(false);
  }
  showWords();
}

void PmuControlWindow::sendPmuFields(
    const std::vector<std::pair<PmuField, std::uint32_t>>& fields) {
  session_.report(session_.bench().setPmuFields(fields));
  showWords();
}

void PmuControlWindow::sendSystemFields(
    const std::vector<std::pair<SysField, std::uint32_t>>& fields) {
  session_.report(session_.bench().setSystemFields(fields));
  showWords();
}

// ---- PMU field selectors --------------------------------------------------------------------

void PmuControlWindow::onForce(int entry) {
  if (entry < 0) {
    return;
  }
  // Force current reads the gain back and runs the range handler before its own word.
  session_.report(session_.bench().chooseForce(entry));
  forceVoltage_ = session_.bench().pmuControl().forceVoltage;
  if (entry == 0) {
    setUnits(QStringLiteral("V"));
  } else if (entry == 1) {
    setUnits(rangeInMicroamps(session_.conversion().rangeIndex) ? QStringLiteral("uA")
                                                                : QStringLiteral("mA"));
    levels_->ShowCurrentRange(false);
  }
  // The Hi-Z force modes keep the force flag and the units as they were.
  showWords();
}

void PmuControlWindow::onIrange(int entry) {
  // "Disable/Enable Always on Ext Range" only switch the chip's mode: the range itself, its
  // units and the other windows' range lists stay as they were. The real ranges are the
  // bench's shared setting.
  if (entry <= kExternalRange) {
    return;
  }
  sendPmuFields({{PmuField::Range, static_cast<std::uint32_t>(entry)}});
  if (!forceVoltage_) {
    levels_->ShowCurrentRange();
  }
}

void PmuControlWindow::onSysforce(int entry) {
  if (entry >= 0) {
    sendPmuFields({{PmuField::SysForceSense, static_cast<std::uint32_t>(entry)}});
  }
}

void PmuControlWindow::onClampEnable(int checked) {
  sendPmuFields({{PmuField::Clamp, static_cast<std::uint32_t>(checked)}});
}

void PmuControlWindow::onUpdate() {
  session_.report(session_.bench().writePmuWord());
  showWords();
}

// ---- system control boxes -------------------------------------------------------------------

void PmuControlWindow::onGuard(int checked) {
  sendSystemFields({{SysField::GuardEn, static_cast<std::uint32_t>(checked)}});
}

void PmuControlWindow::onCpoen(int checked) {
  // The comparator outputs of all four channels and the comparator bias go together.
  const auto on = static_cast<std::uint32_t>(checked);
  sendSystemFields({{SysField::CompEn0, on},
                    {SysField::CompEn1, on},
                    {SysField::CompEn2, on},
                    {SysField::CompEn3, on},
                    {SysField::CpBias, on}});
}

void PmuControlWindow::onAlarm(int index, int checked) {
  sendSystemFields({{index == 1 ? SysField::GuardAlarm : SysField::ClampAlarm,
                     static_cast<std::uint32_t>(checked)}});
}

// ---- buttons --------------------------------------------------------------------------------

void PmuControlWindow::onChannel(int channel, int checked) {
  const auto bit = static_cast<std::int32_t>(channelBit(channel));
  // Nothing is sent: the selection travels with the next PMU or DAC word.
  session_.bench().composeWords([bit, checked](StoredWords& w) {
    w.chanBits = checked != 0 ? (w.chanBits | bit) : (w.chanBits & ~bit);
    if (w.chanBits != 0) {
      w.refreshPmuChannels();
    }
  });
  if (session_.words().chanBits == 0) {
    session_.messages().show(MessageIcon::Warning, kEntryErrorTitle, kChannelMessage);
  }
}

void PmuControlWindow::onReset() {
  // The chip's registers are back at their reset values; the stored words are kept.
  if (session_.report(session_.bench().resetChip())) {
    Text1_->setText(QStringLiteral("00000000"));
  }
}

void PmuControlWindow::onDacPage(int dacSubPage) {
  ManagedWindow* registerWindow = session_.hub().window(WindowId::Register);
  if (auto* api = dynamic_cast<RegisterWindowApi*>(registerWindow)) {
    api->showDacPage(dacSubPage);
  }
}

// ---- entry fields ---------------------------------------------------------------------------

void PmuControlWindow::onForceLevelEntered() {
  const std::optional<double> parsed = parseDecimal(txtForce_->text().toStdString());
  if (!parsed) {
    rejectEntry(txtForce_, session_.messages(), kNotANumber);
    return;
  }
  const float level = toSingle(*parsed);
  // The conversion reads the OFFSET field (and, on the external range, the sense resistor): a
  // field that does not hold a valid value is reported now, before anything is sent.
  if (!checkConversionInputs()) {
    return;
  }
  // The PMU word for the present force mode and range goes out first, so the level lands in
  // the mode the window shows.
  selIrange_->runHandler();
  selForce_->runHandler();
  session_.sendPmuWord(session_.words().pmuWord);
  showWords();
  if (forceVoltage_) {
    levels_->ShowVoltageRange();
  } else {
    levels_->ShowCurrentRange();
  }
  if (level >= levels_->rangeLow() && level <= levels_->rangeHigh()) {
    if (forceVoltage_) {
      levels_->ForceVoltageLevel(level);
    } else {
      levels_->ForceCurrentLevel(level);
    }
  } else {
    rejectEntry(txtForce_, session_.messages(), kLevelOutOfRange);
  }
}

void PmuControlWindow::onFinEntered() {
  if (const std::optional<std::int32_t> code = acceptDacCode(txtFINx1_, session_.messages())) {
    levels_->DACLOAD(*code, kModeX1, kFinDacBase);
  }
}

void PmuControlWindow::onOffsetEntered() {
  if (const std::optional<std::int32_t> code = acceptDacCode(OFFSETx1_, session_.messages())) {
    levels_->writeOffsetDac(*code, forceVoltage_);
  }
}

void PmuControlWindow::onVrefEntered() {
  const std::optional<double> parsed = parseDecimal(txtVref_->text().toStdString());
  if (!parsed) {
    rejectEntry(txtVref_, session_.messages(), kNotANumber);
    return;
  }
  // Whole volts only; the value is taken when the third reference option is clicked.
  const std::optional<std::int32_t> volts = roundToInt32(*parsed);
  if (!volts || *volts < 0 || *volts > kVrefEntryMax) {
    rejectEntry(txtVref_, session_.messages(), kVrefOutOfRange);
  }
}

void PmuControlWindow::onReference(int option, int checked) {
  if (checked == 0) {
    return;
  }
  if (option == 0) {
    session_.bench().setVref(5.0F);
  } else if (option == 1) {
    session_.bench().setVref(2.5F);
  } else {
    // The third reference comes from its field: a text that is not a number, or a reference
    // outside 0 < VREF <= 5 V (0 would divide by zero), is refused; the reference and the
    // option stay as they were and nothing is sent.
    const std::optional<double> parsed = parseDecimal(txtVref_->text().toStdString());
    const float volts = parsed ? toSingle(*parsed) : 0.0F;
    if (!parsed || !(volts > 0.0F && volts <= static_cast<float>(kVrefEntryMax))) {
      optRef_[referenceOption_]->setChecked(true);
      rejectEntry(txtVref_, session_.messages(), parsed ? kVrefOutOfRange : kNotANumber);
      return;
    }
    session_.bench().setVref(volts);
  }
  referenceOption_ = option;
  onForceLevelEntered();
}

bool PmuControlWindow::checkConversionInputs() {
  if (!checkDacCode(OFFSETx1_, session_.messages())) {
    return false;
  }
  if (!forceVoltage_ && session_.conversion().rangeIndex == kExternalRange &&
      !levels_->externalOhms()) {
    const bool number = parseDecimal(txtRsense_->text().toStdString()).has_value();
    rejectEntry(txtRsense_, session_.messages(), number ? kRsenseOutOfRange : kNotANumber);
    return false;
  }
  return true;
}

bool PmuControlWindow::onRsenseKey(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter) {
    const std::optional<double> parsed = parseDecimal(txtRsense_->text().toStdString());
    if (!parsed) {
      rejectEntry(txtRsense_, session_.messages(), kNotANumber);
      return true;
    }
    const float ohms = toSingle(*parsed);
    if (!(ohms >= kRsenseMin && ohms <= kRsenseMax)) {
      rejectEntry(txtRsense_, session_.messages(), kRsenseOutOfRange);
      return true;
    }
  }
  // Every key redoes the current range from the field as it is before the key takes effect.
  if (!forceVoltage_) {
    levels_->ShowCurrentRange();
  }
  return false;
}

void PmuControlWindow::setUnits(const QString& unit) {
  lbl1_->setText(unit);
  txtH_->setText(unit);
  txtl_->setText(unit);
}

}  // namespace kv4410::ui
