#include "ui/register_window/read_pages.h"

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/dac_words.h"
#include "device/readback.h"
#include "device/text_format.h"
#include "ui/common/bit_display.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"
#include "ui/register_window/register_window_context.h"

namespace kv4410::ui {

namespace {

// The 24-bit answers are shown through the signed routines; they never reach bit 31.
std::int32_t asWord(std::uint32_t answer) {
  return static_cast<std::int32_t>(answer & 0xFFFFFF);
}

// A decode label: a sunken field whose text the read actions replace.
QLabel* decodeLabel(const QString& name, const QString& text) {
  auto* label = makeLabel(nullptr, name, text);
  label->setFrameShape(QFrame::StyledPanel);
  label->setFrameShadow(QFrame::Sunken);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Base);
  label->setMinimumWidth(150);
  label->setMargin(2);
  return label;
}

// A button used as a lamp: green "OK" or red "TOO HOT". It takes no focus and does nothing when
// clicked.
QPushButton* lamp(const QString& name) {
  auto* b = new QPushButton;
  b->setObjectName(name);
  b->setFocusPolicy(Qt::NoFocus);
  b->setMinimumWidth(80);
  return b;
}

void showLamp(QPushButton* b, const LampState& state) {
  const QColor colour(state.red, state.green, state.blue);
  b->setText(qtext(state.caption));
  // The style sheet paints the colour under every widget style; the palette carries the same
  // colour for whoever asks the button for it.
  b->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: white; "
                                  "font-weight: bold; border: 1px solid black; padding: 3px; }")
                       .arg(colour.name()));
  QPalette palette = b->palette();
  palette.setColor(QPalette::Button, colour);
  b->setPalette(palette);
}

const QString kActiveLowText = QStringLiteral("BITS in BOLD are ACTIVE LOW");

QLabel* activeLowNote(const QString& name) {
  auto* label = makeLabel(nullptr, name, kActiveLowText);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}

}  // namespace

struct ReadPages::Pages {
  explicit Pages(RegisterWindowContext& c) : context(c) {}

  RegisterWindowContext& context;
  Session& session() { return context.session(); }
  StoredWords& words() { return context.session().words; }

  QPointer<QWidget> systemPage;
  QPointer<QWidget> pmuPage;
  QPointer<QWidget> dacPage;
  QPointer<QWidget> statusPage;

  // READ SYSTEM CONTROL REG
  BitDisplay* rsys = nullptr;
  std::array<QLabel*, 4> clampLabels{};  // index = channel
  QLabel* cpBias = nullptr;
  std::array<QLabel*, 4> cpolh{};
  QLabel* dutGnd = nullptr;
  QLabel* guardAlarm = nullptr;
  QLabel* clampAlarm = nullptr;
  QLabel* forceSense = nullptr;
  QLabel* guardEnable = nullptr;
  std::array<QLabel*, 2> gain{};
  std::array<QLabel*, 3> sysData{};  // READSYSDATA(0..2)
  QLabel* shutdownCaption = nullptr;

  // READ PMU REG
  BitDisplay* rpmu = nullptr;
  std::array<QLabel*, 9> rpmuLabels{};
  std::array<QRadioButton*, 4> optPmu{};

  // READ DAC REG
  BitDisplay* rdac = nullptr;
  std::array<QRadioButton*, 4> optDac{};
  QComboBox* cboDAC = nullptr;
  QComboBox* cboCurrentregset = nullptr;
  QComboBox* cboCLLregset = nullptr;
  QComboBox* cboRegset = nullptr;
  QLineEdit* txtOFFSET = nullptr;
  QLineEdit* txtDaccode = nullptr;
  std::int32_t lastDacReadback = 0;

  // READ STATUS REG
  BitDisplay* comp = nullptr;
  BitDisplay* alm = nullptr;
  std::array<QPushButton*, 4> temp{};  // cmdTEMP(0..3)

  void buildSystemPage(QObject* owner);
  void buildPmuPage(QObject* owner);
  void buildDacPage(QObject* owner);
  void buildStatusPage(QObject* owner);

  std::uint32_t request(std::int32_t word) {
    session().SPIout(word);
    return session().link().SPIRead();
  }

  void readSystem();
  void readPmu();
  void readDac();
  void readComparator();
  void readAlarm();
  void clearLatchedBits();

  void selectPmuChannel(int channel);
  void selectDacChannel(int channel);
  void selectDacGroup(int index);
  void selectRegisterKind(int index);
  void selectCurrentLevel(int index);
  void selectCllLevel(int index);
  void showDacRequest() { session().showSerialWord(words().dacRequestWord); }
};

// ---- READ SYSTEM CONTROL REG ----------------------------------------------------------------

void ReadPages::Pages::buildSystemPage(QObject* owner) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageREADSYS"));
  systemPage = page;
  auto* outer = new QVBoxLayout(page);

  rsys = new BitDisplay(Display::ReadSystem, QStringLiteral("txtRSYS"));
  outer->addWidget(rsys);

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  // Clamp enables, bits 21..18, listed from channel 0 as the page lists them.
  auto* clampFrame =
      makeGroup(nullptr, QStringLiteral("fraCLAMPENABLE"), QStringLiteral("CLAMP ENABLE"));
  auto* clampBox = new QVBoxLayout(clampFrame);
  for (int ch = 0; ch < 4; ++ch) {
    clampLabels[static_cast<std::size_t>(ch)] =
        decodeLabel(QStringLiteral("lblCLAMPEN_%1").arg(ch), QStringLiteral("CH%1").arg(ch));
    clampLabels[static_cast<std::size_t>(ch)]->setMinimumWidth(110);
    clampBox->addWidget(clampLabels[static_cast<std::size_t>(ch)]);
  }
  clampBox->addStretch();
  row->addWidget(clampFrame);

  // Comparator enables, bits 17..13.
  auto* compFrame =
      makeGroup(nullptr, QStringLiteral("fraCOMPARATOREN"), QStringLiteral("COMPARATOR EN"));
  auto* compBox = new QVBoxLayout(compFrame);
  cpBias = decodeLabel(QStringLiteral("lblCPBIASEN"), QStringLiteral("COMP EN"));
  compBox->addWidget(cpBias);
  for (int ch = 0; ch < 4; ++ch) {
    auto*& label = cpolh[static_cast<std::size_t>(ch)];
    label = decodeLabel(QStringLiteral("lblCPOLH_%1").arg(ch), QStringLiteral("CPOLH%1").arg(ch));
    compBox->addWidget(label);
  }
  compBox->addStretch();
  row->addWidget(compFrame);

  // The single-bit fields 12..8, in bit order.
  auto* singles = new QVBoxLayout;
  dutGnd = decodeLabel(QStringLiteral("lblDUTgnd"), QStringLiteral("DUTGND per CH"));
  guardAlarm = decodeLabel(QStringLiteral("lblGUARDalm"), QStringLiteral("GUARD ALM"));
  clampAlarm = decodeLabel(QStringLiteral("lblCLAMPalm"), QStringLiteral("CLAMP ALM"));
  forceSense = decodeLabel(QStringLiteral("lblFORCEsense"), QStringLiteral("FORCE/SENSE 10k"));
  guardEnable = decodeLabel(QStringLiteral("lblGUARDen"), QStringLiteral("GUARD EN"));
  singles->addSpacing(14);
  for (QLabel* l : {dutGnd, guardAlarm, clampAlarm, forceSense, guardEnable}) {
    singles->addWidget(l);
  }
  singles->addStretch();
  row->addLayout(singles);

  auto* right = new QVBoxLayout;
  row->addLayout(right);

  auto* gainFrame =
      makeGroup(nullptr, QStringLiteral("fraGAINSETTING"), QStringLiteral("GAIN SETTING"));
  auto* gainBox = new QVBoxLayout(gainFrame);
  gain[1] = decodeLabel(QStringLiteral("lblGAIN_1"), QStringLiteral("GAIN1 = 0"));
  gain[0] = decodeLabel(QStringLiteral("lblGAIN_0"), QStringLiteral("GAIN0 = 0"));
  gain[1]->setMinimumWidth(100);
  gain[0]->setMinimumWidth(100);
  gainBox->addWidget(gain[1]);
  gainBox->addWidget(gain[0]);
  right->addWidget(gainFrame);

  auto* alarmFrame =
      makeGroup(nullptr, QStringLiteral("fraOPENDRAINALARMS"), QStringLiteral("OPEN DRAIN ALARMS"));
  auto* alarmBox = new QVBoxLayout(alarmFrame);
  sysData[0] = decodeLabel(QStringLiteral("READSYSDATA_0"), QStringLiteral("UNLATCHED"));
  sysData[0]->setMinimumWidth(100);
  alarmBox->addWidget(sysData[0]);
  right->addWidget(alarmFrame);
  right->addStretch();

  auto* thermalFrame = makeGroup(nullptr, QStringLiteral("fraDIETHERMALSHUTDOWN"),
                                 QStringLiteral("DIE THERMAL SHUTDOWN"));
  auto* thermalBox = new QVBoxLayout(thermalFrame);
  thermalBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblTHERMALSHUTDOWN"), QStringLiteral("THERMAL SHUTDOWN")));
  sysData[2] = decodeLabel(QStringLiteral("READSYSDATA_2"), QStringLiteral("ENABLED"));
  sysData[2]->setMinimumWidth(100);
  thermalBox->addWidget(sysData[2]);
  shutdownCaption = makeLabel(nullptr, QStringLiteral("lblTEMPERATUREOFSHUTDOWN"),
                              QStringLiteral("TEMPERATURE OF SHUTDOWN"));
  thermalBox->addWidget(shutdownCaption);
  sysData[1] = decodeLabel(QStringLiteral("READSYSDATA_1"), QStringLiteral("130degC"));
  sysData[1]->setMinimumWidth(100);
  thermalBox->addWidget(sysData[1]);
  thermalBox->addStretch();
  row->addWidget(thermalFrame);
  row->addStretch();

  auto* read = makeButton(nullptr, QStringLiteral("READSYS"),
                          QStringLiteral("READ SYSTEM CONTROL REGISTER"));
  QObject::connect(read, &QPushButton::clicked, owner, [this] { readSystem(); });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(read);
  buttons->addStretch();
  outer->addLayout(buttons);
  outer->addStretch(1);
}

void ReadPages::Pages::readSystem() {
  const std::uint32_t answer = request(kReadSystemRequest);
  context.showReadField(hexText(asWord(answer), 6));

  const SystemReadback r = decodeSystemReadback(answer);
  for (std::size_t ch = 0; ch < 4; ++ch) {
    clampLabels[ch]->setText(QString::fromStdString(r.clampLabels[ch]));
  }
  // The CPOLH captions are updated first and then shown only while the comparator bias is on.
  for (std::size_t ch = 0; ch < 4; ++ch) {
    cpolh[ch]->setText(QString::fromStdString(r.cpolhLabels[ch]));
  }
  cpBias->setText(QString::fromStdString(r.cpBias));
  for (QLabel* label : cpolh) {
    label->setVisible(r.cpolhVisible);
  }
  dutGnd->setText(QString::fromStdString(r.dutGnd));
  guardAlarm->setText(QString::fromStdString(r.guardAlarm));
  clampAlarm->setText(QString::fromStdString(r.clampAlarm));
  forceSense->setText(QString::fromStdString(r.forceSense));
  guardEnable->setText(QString::fromStdString(r.guardEnable));
  gain[1]->setText(QString::fromStdString(r.gain[1]));
  gain[0]->setText(QString::fromStdString(r.gain[0]));
  shutdownCaption->setVisible(r.shutdownTemperatureVisible);
  sysData[2]->setText(QString::fromStdString(r.thermal));
  sysData[1]->setText(QString::fromStdString(r.shutdownTemperature));
  sysData[0]->setText(QString::fromStdString(r.latched));

  rsys->showWord(asWord(answer));
}

// ---- READ PMU REG ---------------------------------------------------------------------------

void ReadPages::Pages::buildPmuPage(QObject* owner) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageREADPMU"));
  pmuPage = page;
  auto* outer = new QVBoxLayout(page);

  rpmu = new BitDisplay(Display::ReadPmu, QStringLiteral("txtRPMU"));
  outer->addWidget(rpmu);

  // The temperature alarm lamps of bits 6 (LATCHED) and 5 (UNLATCHed), right under their bits.
  auto* lampFrame =
      makeGroup(nullptr, QStringLiteral("fraTEMPALARMPMU"), QStringLiteral("TEMP ALARM"));
  auto* lampBox = new QGridLayout(lampFrame);
  temp[3] = lamp(QStringLiteral("cmdTEMP_3"));
  temp[2] = lamp(QStringLiteral("cmdTEMP_2"));
  lampBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblTEMPLATCHED"), QStringLiteral("LATCHED")), 0, 0,
      Qt::AlignHCenter);
  lampBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblTEMPUNLATCHED"), QStringLiteral("UNLATCHed")), 0, 1,
      Qt::AlignHCenter);
  lampBox->addWidget(temp[3], 1, 0);
  lampBox->addWidget(temp[2], 1, 1);
  showLamp(temp[3], lampFor(true));
  showLamp(temp[2], lampFor(true));

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  auto* chFrame =
      makeGroup(nullptr, QStringLiteral("fraOptPMUCH"), QStringLiteral("PMU CH SELECT"));
  auto* chBox = new QVBoxLayout(chFrame);
  for (int ch = 3; ch >= 0; --ch) {
    auto* opt = new QRadioButton(QStringLiteral("PMU %1").arg(ch));
    opt->setObjectName(QStringLiteral("OptPMUCH_%1").arg(ch));
    optPmu[static_cast<std::size_t>(ch)] = opt;
    chBox->addWidget(opt);
    // PMU 3 is selected at start without running the handler: the page entry's OR gives its word.
    new Selector(
        opt, ch == 3,
        [this, ch](int ticked) {
          if (ticked != 0) {
            selectPmuChannel(ch);
          }
        },
        &session());
  }
  auto* left = new QVBoxLayout;
  left->addWidget(chFrame);
  auto* read = makeButton(nullptr, QStringLiteral("READPMU"), QStringLiteral("READ PMU REGISTER"));
  QObject::connect(read, &QPushButton::clicked, owner, [this] { readPmu(); });
  left->addWidget(read);
  left->addStretch();
  row->addLayout(left);

  // RPMU(0..8) in the order of their bits, left column first.
  auto* grid = new QGridLayout;
  const std::array<const char*, 9> initial = {
      "CHANNEL DISABLED", "FORCE MODE",          "CURENT RANGE",
      "MEASURE MODE",     "FIN TIED TO GND",     "SYSTEM SENSE/FORCE DISCONNECTED",
      "CLAMP DISABLED",   "COMPARATOR DISABLED", "COMPARE ?"};
  for (std::size_t i = 0; i < initial.size(); ++i) {
    auto* label = decodeLabel(QStringLiteral("RPMU_%1").arg(i), QString::fromLatin1(initial[i]));
    label->setMinimumWidth(230);
    rpmuLabels[i] = label;
    grid->addWidget(label, static_cast<int>(i % 5), static_cast<int>(i / 5));
  }
  grid->setRowStretch(5, 1);
  row->addLayout(grid);
  auto* lampColumn = new QVBoxLayout;
  lampColumn->addWidget(lampFrame);
  lampColumn->addStretch();
  row->addLayout(lampColumn);
  row->addStretch();

  outer->addWidget(activeLowNote(QStringLiteral("lblACTIVELOWPMU")));
  outer->addStretch(1);
}

void ReadPages::Pages::selectPmuChannel(int channel) {
  words().pmuRequestWord = pmuReadRequest(channel);
}

void ReadPages::Pages::readPmu() {
  const std::int32_t word = words().pmuRequestWord;
  const std::uint32_t answer = request(word);
  context.showReadField(hexText(asWord(answer), 6));
  session().showSerialWord(word);

  const PmuReadback r = decodePmuReadback(answer);
  showLamp(temp[2], r.unlatchedTemp);
  showLamp(temp[3], r.latchedTemp);
  for (std::size_t i = 0; i < rpmuLabels.size(); ++i) {
    rpmuLabels[i]->setText(QString::fromStdString(r.labels[i]));
  }
  rpmu->showWord(asWord(answer));
}

// ---- READ DAC REG ---------------------------------------------------------------------------

void ReadPages::Pages::buildDacPage(QObject* owner) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageREADDAC"));
  dacPage = page;
  auto* outer = new QVBoxLayout(page);

  auto* row = new QHBoxLayout;
  outer->addLayout(row);

  auto* chFrame =
      makeGroup(nullptr, QStringLiteral("fraOptDACREAD"), QStringLiteral("PMU CH SELECT"));
  auto* chBox = new QVBoxLayout(chFrame);
  for (int ch = 3; ch >= 0; --ch) {
    auto* opt = new QRadioButton(QStringLiteral("PMU %1").arg(ch));
    opt->setObjectName(QStringLiteral("OptDACREAD_%1").arg(ch));
    optDac[static_cast<std::size_t>(ch)] = opt;
    chBox->addWidget(opt);
    new Selector(
        opt, ch == 3,
        [this, ch](int ticked) {
          if (ticked != 0) {
            selectDacChannel(ch);
          }
        },
        &session());
  }
  row->addWidget(chFrame);

  auto* lists = new QGridLayout;
  cboDAC = new QComboBox;
  cboDAC->setObjectName(QStringLiteral("cboDAC"));
  for (DacGroup g : {DacGroup::Fin, DacGroup::Cll, DacGroup::Clh, DacGroup::Cpl, DacGroup::Cph}) {
    cboDAC->addItem(qtext(groupName(g)) + QStringLiteral(" DAC"));
  }
  new Selector(
      cboDAC, QStringLiteral("FIN DAC"), [this](int i) { selectDacGroup(i); }, &session());

  cboCurrentregset = new QComboBox;
  cboCurrentregset->setObjectName(QStringLiteral("cboCurrentregset"));
  for (int level = 0; level <= kVoltageRangeLevel; ++level) {
    cboCurrentregset->addItem(qtext(levelCaption(DacGroup::Fin, level)));
  }
  new Selector(
      cboCurrentregset, qtext(levelCaption(DacGroup::Fin, 0)),
      [this](int i) { selectCurrentLevel(i); }, &session());

  cboCLLregset = new QComboBox;
  cboCLLregset->setObjectName(QStringLiteral("cboCLLregset"));
  cboCLLregset->addItem(qtext(levelCaption(DacGroup::Fin, kCurrentRangesLevel)));
  cboCLLregset->addItem(qtext(levelCaption(DacGroup::Fin, kVoltageRangeLevel)));
  new Selector(
      cboCLLregset, QStringLiteral("±Ext Current Range"), [this](int i) { selectCllLevel(i); },
      &session());
  cboCLLregset->setVisible(false);

  cboRegset = new QComboBox;
  cboRegset->setObjectName(QStringLiteral("cboRegset"));
  cboRegset->addItems({QStringLiteral("x1 reg"), QStringLiteral("m reg"), QStringLiteral("c reg")});
  new Selector(
      cboRegset, QStringLiteral("x1 reg"), [this](int i) { selectRegisterKind(i); }, &session());

  for (QComboBox* list : {cboDAC, cboCurrentregset, cboCLLregset, cboRegset}) {
    list->setMinimumWidth(170);
  }

  lists->addWidget(makeLabel(nullptr, QStringLiteral("lblDAC"), QStringLiteral("DAC")), 0, 0);
  lists->addWidget(cboDAC, 1, 0);
  lists->addWidget(
      makeLabel(nullptr, QStringLiteral("lblREGISTERSET"), QStringLiteral("Register Set")), 0, 1);
  // The two level lists share one place: CLL and CLH have only the two upper levels.
  lists->addWidget(cboCurrentregset, 1, 1);
  lists->addWidget(cboCLLregset, 1, 1);
  lists->addWidget(makeLabel(nullptr, QStringLiteral("lblREGSET"),
                             QStringLiteral("Gain, Offset or DAC input Register Set")),
                   0, 2);
  lists->addWidget(cboRegset, 1, 2);
  auto* read =
      makeButton(nullptr, QStringLiteral("cmdREADDAC"), QStringLiteral("READ DAC REGISTER"));
  QObject::connect(read, &QPushButton::clicked, owner, [this] { readDac(); });
  lists->addWidget(read, 3, 0, 1, 2, Qt::AlignLeft);
  lists->setRowMinimumHeight(2, 12);
  lists->setRowStretch(4, 1);
  row->addLayout(lists);

  auto* readback =
      makeGroup(nullptr, QStringLiteral("fraREADBACKDATA"), QStringLiteral("READBACK DATA"));
  auto* readbackBox = new QGridLayout(readback);
  txtOFFSET = makeDisplay(nullptr, QStringLiteral("txtOFFSET"));
  txtDaccode = makeDisplay(nullptr, QStringLiteral("txtDaccode"));
  for (QLineEdit* field : {txtOFFSET, txtDaccode}) {
    field->setMinimumWidth(100);
  }
  readbackBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblOFFSETDACCODE"), QStringLiteral("OFFSET DAC CODE")), 0,
      0);
  readbackBox->addWidget(txtOFFSET, 1, 0);
  readbackBox->addWidget(
      makeLabel(nullptr, QStringLiteral("lblDACCODE"), QStringLiteral("DAC CODE")), 2, 0);
  readbackBox->addWidget(txtDaccode, 3, 0);
  row->addWidget(readback, 0, Qt::AlignTop);
  row->addStretch();

  rdac = new BitDisplay(Display::ReadDac, QStringLiteral("txtRDAC"));
  outer->addWidget(rdac);
  outer->addStretch(1);
}

void ReadPages::Pages::selectDacChannel(int channel) {
  std::int32_t& word = words().dacRequestWord;
  // A read request always carries the R/W bit and exactly one channel bit.
  word |= 0x10000000;
  word &= ~0x0F000000;
  for (int bit = 24; bit <= 27; ++bit) {
    rdac->setBit(bit, false);
  }
  word |= 1 << (24 + channel);
  rdac->setBit(24 + channel, true);
  showDacRequest();
}

void ReadPages::Pages::selectDacGroup(int index) {
  static constexpr std::array<DacGroup, 5> kGroups = {DacGroup::Fin, DacGroup::Cll, DacGroup::Clh,
                                                      DacGroup::Cpl, DacGroup::Cph};
  if (index < 0 || index >= static_cast<int>(kGroups.size())) {
    return;
  }
  const DacGroup group = kGroups[static_cast<std::size_t>(index)];
  std::int32_t& word = words().dacRequestWord;
  // Bits 21..19 carry the group; the level index in bits 18..16 stays as it was.
  word &= 0x1FC70000;
  word |= groupBase(group);
  const bool twoLevels = group == DacGroup::Cll || group == DacGroup::Clh;
  cboCurrentregset->setVisible(!twoLevels);
  cboCLLregset->setVisible(twoLevels);
  cboRegset->setEnabled(true);
  cboCurrentregset->setEnabled(true);
  showDacRequest();
}

void ReadPages::Pages::selectRegisterKind(int index) {
  static constexpr std::array<std::int32_t, 3> kModes = {kModeX1, kModeM, kModeC};
  if (index < 0 || index >= static_cast<int>(kModes.size())) {
    return;
  }
  std::int32_t& word = words().dacRequestWord;
  word &= 0x1F3F0000;
  word |= kModes[static_cast<std::size_t>(index)];
  showDacRequest();
}

void ReadPages::Pages::selectCurrentLevel(int index) {
  if (index < 0 || index > kVoltageRangeLevel) {
    return;
  }
  std::int32_t& word = words().dacRequestWord;
  word &= 0x1FF80000;
  word |= index * 0x10000;
  showDacRequest();
}

void ReadPages::Pages::selectCllLevel(int index) {
  if (index < 0 || index > 1) {
    return;
  }
  std::int32_t& word = words().dacRequestWord;
  word &= 0x1FF80000;
  word |= (index == 0 ? kCurrentRangesLevel : kVoltageRangeLevel) * 0x10000;
  showDacRequest();
}

void ReadPages::Pages::readDac() {
  const std::uint32_t offsetAnswer = request(kReadOffsetDacRequest);
  txtOFFSET->setText(hexText(offsetDacFromReadback(offsetAnswer), 8));

  const std::int32_t word = words().dacRequestWord;
  const std::uint32_t answer = request(word);
  session().showSerialWord(word);
  context.showReadField(hexText(asWord(answer), 6));
  lastDacReadback = asWord(answer);
  txtDaccode->setText(hexText(dacCodeFromReadback(answer), 8));
  rdac->showWord(asWord(answer));
}

// ---- READ STATUS REG ------------------------------------------------------------------------

void ReadPages::Pages::buildStatusPage(QObject* owner) {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("pageREADSTATUS"));
  statusPage = page;
  auto* outer = new QVBoxLayout(page);

  comp = new BitDisplay(Display::ComparatorStatus, QStringLiteral("txtCOMP"));
  outer->addWidget(comp);
  auto* readComp = makeButton(nullptr, QStringLiteral("READCOMP"),
                              QStringLiteral("READ COMPARATOR STATUS REGISTER"));
  QObject::connect(readComp, &QPushButton::clicked, owner, [this] { readComparator(); });
  auto* compRow = new QHBoxLayout;
  compRow->addWidget(readComp);
  compRow->addStretch();
  outer->addLayout(compRow);
  outer->addSpacing(8);

  alm = new BitDisplay(Display::AlarmStatus, QStringLiteral("txtALM"));
  outer->addWidget(alm);

  auto* almRow = new QHBoxLayout;
  outer->addLayout(almRow);
  auto* buttons = new QVBoxLayout;
  auto* readAlarmButton = makeButton(nullptr, QStringLiteral("READALARM"),
                                     QStringLiteral("READ ALARM STATUS REGISTER"));
  QObject::connect(readAlarmButton, &QPushButton::clicked, owner, [this] { readAlarm(); });
  auto* clear =
      makeButton(nullptr, QStringLiteral("Command4"), QStringLiteral("CLEAR LATCHED BITS"));
  QObject::connect(clear, &QPushButton::clicked, owner, [this] { clearLatchedBits(); });
  buttons->addWidget(readAlarmButton);
  buttons->addWidget(clear);
  buttons->addStretch();
  almRow->addLayout(buttons);

  // The temperature alarm lamps of bits 21 (LTMPALM) and 20 (TMPALM).
  auto* lampFrame =
      makeGroup(nullptr, QStringLiteral("fraTEMPALARMSTATUS"), QStringLiteral("TEMP ALARM"));
  auto* lampBox = new QGridLayout(lampFrame);
  temp[0] = lamp(QStringLiteral("cmdTEMP_0"));
  temp[1] = lamp(QStringLiteral("cmdTEMP_1"));
  lampBox->addWidget(makeLabel(nullptr, QStringLiteral("lblLTMPALM"), QStringLiteral("LTMPALM")), 0,
                     0, Qt::AlignHCenter);
  lampBox->addWidget(makeLabel(nullptr, QStringLiteral("lblTMPALM"), QStringLiteral("TMPALM")), 0,
                     1, Qt::AlignHCenter);
  lampBox->addWidget(temp[0], 1, 0);
  lampBox->addWidget(temp[1], 1, 1);
  showLamp(temp[0], lampFor(true));
  showLamp(temp[1], lampFor(true));
  almRow->addWidget(lampFrame, 0, Qt::AlignTop);
  almRow->addStretch();

  outer->addWidget(activeLowNote(QStringLiteral("lblACTIVELOWSTATUS")));
  outer->addStretch(1);
}

void ReadPages::Pages::readComparator() {
  const std::uint32_t answer = request(kReadComparatorRequest);
  context.showReadField(hexText(asWord(answer), 6));
  comp->showWord(asWord(answer));
}

void ReadPages::Pages::readAlarm() {
  const std::uint32_t answer = request(kReadAlarmRequest);
  context.showReadField(hexText(asWord(answer), 6));
  const AlarmReadback r = decodeAlarmReadback(answer);
  showLamp(temp[0], r.latchedTemp);
  showLamp(temp[1], r.temp);
  alm->showWord(asWord(answer));
}

void ReadPages::Pages::clearLatchedBits() {
  // Bit 6 of a PMU write clears the latched alarms; it stays set in pmuWord, so every later PMU
  // write clears them again until the PMU page's own button takes the bit out.
  std::int32_t& word = words().pmuWord;
  word |= 0x40;
  session().sendPmuWord(word);
}

// ---- ReadPages ------------------------------------------------------------------------------

ReadPages::ReadPages(RegisterWindowContext& context, QObject* parent)
    : QObject(parent), pages_(new Pages(context)) {
  pages_->buildSystemPage(this);
  pages_->buildPmuPage(this);
  pages_->buildDacPage(this);
  pages_->buildStatusPage(this);
}

ReadPages::~ReadPages() {
  // Pages that no window took over are still ours.
  for (QWidget* page : {pages_->systemPage.data(), pages_->pmuPage.data(), pages_->dacPage.data(),
                        pages_->statusPage.data()}) {
    if (page != nullptr && page->parent() == nullptr) {
      delete page;
    }
  }
  delete pages_;
}

QWidget* ReadPages::readSystemPage() const {
  return pages_->systemPage;
}
QWidget* ReadPages::readPmuPage() const {
  return pages_->pmuPage;
}
QWidget* ReadPages::readDacPage() const {
  return pages_->dacPage;
}
QWidget* ReadPages::readStatusPage() const {
  return pages_->statusPage;
}

void ReadPages::enterReadPmuPage() {
  // PMU 3's bit; after another channel was chosen the word carries both (the chip's matter).
  pages_->words().pmuRequestWord |= 0x18000000;
  pages_->session().showSerialWord(pages_->words().pmuRequestWord);
}

void ReadPages::enterReadDacPage() {
  // R/W bit, PMU 3, x1 register of FIN level 0: the page's start-up selections.
  pages_->words().dacRequestWord |= 0x18C80000;
  pages_->session().showSerialWord(pages_->words().dacRequestWord);
}

}  // namespace kv4410::ui
