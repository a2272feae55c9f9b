// The four read pages on the simulated board: request words, the traffic of each read and the
// decoded texts, lamps and bit rows of what the simulated chip answers.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "board/simulated_board.h"
#include "device/text_format.h"
#include "ui/common/session.h"
#include "ui/register_window/read_pages.h"
#include "ui/register_window/register_window.h"
#include "ui/register_window/register_window_context.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;

namespace {

// What the register window offers the pages, recorded.
class RecordingContext : public RegisterWindowContext {
 public:
  explicit RecordingContext(Session& s) : session_(s) {}
  Session& session() override { return session_; }
  void showReadField(const QString& text) override {
    readField = text;
    ++readFieldShown;
  }
  QString readField;
  int readFieldShown = 0;

 private:
  Session& session_;
};

// The read pages in a tab widget of their own, on a connected simulated board.
struct Bench {
  explicit Bench(const std::string& simulateOptions = {})
      : fixture(simulateOptions), context(fixture.session()) {
    Session& s = fixture.session();
    s.link().LoadUSB(s.firmwarePath);
    QObject::connect(&s, &Session::serialWordShown,
                     [this](const QString& text) { serialField = text; });
    pages = std::make_unique<ReadPages>(context);
    tabs.addTab(pages->readSystemPage(), QStringLiteral("READ SYSTEM CONTROL REG"));
    tabs.addTab(pages->readPmuPage(), QStringLiteral("READ PMU REG"));
    tabs.addTab(pages->readDacPage(), QStringLiteral("READ DAC REG"));
    tabs.addTab(pages->readStatusPage(), QStringLiteral("READ STATUS REG"));
    tabs.resize(1100, 600);
    showAndWait(&tabs);
  }
  ~Bench() {
    // The tab widget owns the pages; they go before the object that drives them.
    while (tabs.count() > 0) {
      QWidget* page = tabs.widget(0);
      tabs.removeTab(0);
      delete page;
    }
  }

  Session& session() { return fixture.session(); }
  board::SimulatedChip& chip() { return fixture.session().simulated()->chip(); }
  StoredWords& words() { return fixture.session().words; }

  QWidget* front(QWidget* page) {
    tabs.setCurrentWidget(page);
    return page;
  }
  QWidget* systemPage() { return front(pages->readSystemPage()); }
  QWidget* pmuPage() { return front(pages->readPmuPage()); }
  QWidget* dacPage() { return front(pages->readDacPage()); }
  QWidget* statusPage() { return front(pages->readStatusPage()); }

  QString text(QWidget* page, const QString& name) {
    if (auto* label = find<QLabel>(page, name)) {
      return label->text();
    }
    if (auto* field = find<QLineEdit>(page, name)) {
      return field->text();
    }
    if (auto* button = find<QAbstractButton>(page, name)) {
      return button->text();
    }
    return QStringLiteral("<missing %1>").arg(name);
  }

  // Bits `high`..0 of the display named `boxName` (txtRSYS_28 ... txtRSYS_0), highest first.
  QString bitRow(QWidget* page, const QString& boxName, int high) {
    QString row;
    for (int bit = high; bit >= 0; --bit) {
      auto* box = find<QLineEdit>(page, QStringLiteral("%1_%2").arg(boxName).arg(bit));
      row += box != nullptr ? box->text() : QStringLiteral("?");
    }
    return row;
  }

  UiFixture fixture;
  RecordingContext context;
  std::unique_ptr<ReadPages> pages;
  QTabWidget tabs;
  QString serialField;
};

QString binary(std::uint32_t value, int high) {
  QString row;
  for (int bit = high; bit >= 0; --bit) {
    row += ((value >> bit) & 1u) != 0 ? QLatin1Char('1') : QLatin1Char('0');
  }
  return row;
}

QString hex(std::int32_t value, int length) {
  return QString::fromStdString(NumberToHex(value, length));
}

// The whole register window on the simulated board, after its start-up.
struct MainBench {
  explicit MainBench(const std::string& simulateOptions = {}) : fixture(simulateOptions) {
    Session& s = fixture.session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    window = qobject_cast<RegisterWindow*>(fixture.startWindow(WindowId::Register));
    if (window != nullptr) {
      showAndWait(window);
    }
  }
  // Brings a page to the front as a click on its tab does (the page-change rules run).
  QWidget* page(int index) {
    window->pages()->setCurrentIndex(index);
    return window->pages()->widget(index);
  }
  QString serialField() const { return window->serialWordField()->text(); }
  QString readField() const { return find<QLabel>(window, "lblREADSPI")->text(); }
  board::SimulatedChip& chip() { return fixture.session().simulated()->chip(); }

  UiFixture fixture;
  RegisterWindow* window = nullptr;
};

QColor buttonColour(QWidget* page, const QString& name) {
  auto* b = find<QPushButton>(page, name);
  return b != nullptr ? b->palette().color(QPalette::Button) : QColor();
}

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

}  // namespace

class TestReadPages : public QObject {
  Q_OBJECT

 private slots:
  void startsWithTheInitialTextsAndSendsNothing();
  void readSystemDecodesTheWrittenWord_data();
  void readSystemDecodesTheWrittenWord();
  void cpolhLabelsFollowTheComparatorBias();
  void readPmuReadsTheChosenChannel();
  void pmuRequestWordAfterLeavingAndReentering();
  void dacRequestWordFollowsTheLists();
  void dacListsKeepTheLevelWhenSwitchingToClampDacs();
  void dacChannelOptionsLeaveOneChannelBit();
  void readDacShowsOffsetAndCode_data();
  void readDacShowsOffsetAndCode();
  void readComparatorStatus();
  void alarmLampsAreGreenOnACoolDie();
  void alarmLampsTurnRedOnAHotDie();
  void clearLatchedBitsKeepsBitSixAndNeedsAChannel();
  void mainWindowReadsBackWhatTheWritePagesWrote();
  void mainWindowPageEntryOrsTheRequestWords();
  void mainWindowAlarmLampsOnAHotDie();
};

void TestReadPages::startsWithTheInitialTextsAndSendsNothing() {
  Bench b;
  const std::size_t mark = b.fixture.mark();
  // Building the pages ran no handler: the request words are still 0.
  QCOMPARE(b.words().pmuRequestWord, 0);
  QCOMPARE(b.words().dacRequestWord, 0);
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});

  QWidget* pmu = b.pmuPage();
  QVERIFY(find<QRadioButton>(pmu, "OptPMUCH_3")->isChecked());
  QCOMPARE(b.text(pmu, "RPMU_2"), QStringLiteral("CURENT RANGE"));
  QCOMPARE(b.text(pmu, "cmdTEMP_2"), QStringLiteral("OK"));

  QWidget* dac = b.dacPage();
  QVERIFY(find<QRadioButton>(dac, "OptDACREAD_3")->isChecked());
  auto* cll = find<QComboBox>(dac, "cboCLLregset");
  auto* current = find<QComboBox>(dac, "cboCurrentregset");
  QCOMPARE(find<QComboBox>(dac, "cboDAC")->currentIndex(), -1);
  QCOMPARE(find<QComboBox>(dac, "cboDAC")->placeholderText(), QStringLiteral("FIN DAC"));
  QCOMPARE(cll->placeholderText(), QStringLiteral("±Ext Current Range"));
  QCOMPARE(current->placeholderText(), QStringLiteral("±5uA"));
  QVERIFY(current->isVisible());
  QVERIFY(!cll->isVisible());

  QWidget* sys = b.systemPage();
  QCOMPARE(b.text(sys, "READSYSDATA_1"), QStringLiteral("130degC"));
  QCOMPARE(b.text(sys, "lblCPBIASEN"), QStringLiteral("COMP EN"));
}

void TestReadPages::readSystemDecodesTheWrittenWord_data() {
  QTest::addColumn<int>("word");
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QStringList>("texts");
  QTest::addColumn<bool>("temperatureCaptionShown");

  // The start-up system word: all clamps and comparators on, thermal shutdown at 130 degC.
  QTest::newRow("start-up word 3FE4A0")
      << 0x3FE4A0
      << QStringList{"lblCLAMPEN_3", "lblCLAMPEN_0",  "lblCPOLH_2",    "lblCPBIASEN",  "lblDUTgnd",
                     "lblGUARDalm",  "lblCLAMPalm",   "lblFORCEsense", "lblGUARDen",   "lblGAIN_1",
                     "lblGAIN_0",    "READSYSDATA_2", "READSYSDATA_1", "READSYSDATA_0"}
      << QStringList{"CH3 Enabled",       "CH0 Enabled",        "CPOLH2 Enabled",
                     "CPBIASEN Enabled",  "DUTGND/CH Disabled", "GUARD ALM Disabled",
                     "CLAMP ALM Enabled", "INT 10K Disabled",   "GUARD Disabled",
                     "GAIN1 = 1",         "GAIN0 = 0",          "Enabled",
                     "130degC",           "UNLATCHED"}
      << true;
  QTest::newRow("channel 1 clamp, the single bits, gain0, latched")
      << (0x080000 | 0x1F00 | 0x40 | 0x04)
      << QStringList{"lblCLAMPEN_3",  "lblCLAMPEN_1", "lblDUTgnd", "lblGUARDalm", "lblCLAMPalm",
                     "lblFORCEsense", "lblGUARDen",   "lblGAIN_1", "lblGAIN_0",   "READSYSDATA_0"}
      << QStringList{"CH3 Disabled",      "CH1 Enabled",
                     "DUTGND/CH Enabled", "GUARD ALM Enabled",
                     "CLAMP ALM Enabled", "INT 10K Enabled",
                     "GUARD Enabled",     "GAIN1 = 0",
                     "GAIN0 = 1",         "LATCHED"}
      << false;
  QTest::newRow("thermal 0x20: enabled at 130degC")
      << 0x20 << QStringList{"READSYSDATA_2", "READSYSDATA_1"} << QStringList{"Enabled", "130degC"}
      << true;
  QTest::newRow("thermal 0x38: enabled at 100degC")
      << 0x38 << QStringList{"READSYSDATA_2", "READSYSDATA_1"} << QStringList{"Enabled", "100degC"}
      << true;
  QTest::newRow("thermal 0x28: enabled at 120degC")
      << 0x28 << QStringList{"READSYSDATA_2", "READSYSDATA_1"} << QStringList{"Enabled", "120degC"}
      << true;
  QTest::newRow("thermal 0x18: disabled, no temperature")
      << 0x18 << QStringList{"READSYSDATA_2", "READSYSDATA_1"} << QStringList{"Disabled", ""}
      << false;
}

void TestReadPages::readSystemDecodesTheWrittenWord() {
  QFETCH(int, word);
  QFETCH(QStringList, names);
  QFETCH(QStringList, texts);
  QFETCH(bool, temperatureCaptionShown);

  Bench b;
  QWidget* page = b.systemPage();
  // The chip's system register is written the way the write page does it.
  b.session().SPIout(word);
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "READSYS"));

  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 10000000", "R"}));
  const std::uint32_t answer = b.chip().answer();
  QCOMPARE(static_cast<int>(answer & 0x3FFFFF), word & 0x3FFFFC);
  QCOMPARE(b.context.readField, hex(static_cast<std::int32_t>(answer), 6));
  QCOMPARE(b.serialField, QStringLiteral("10000000"));
  for (int i = 0; i < names.size(); ++i) {
    QCOMPARE(b.text(page, names[i]), texts[i]);
  }
  auto* caption = find<QLabel>(page, "lblTEMPERATUREOFSHUTDOWN");
  QVERIFY(caption != nullptr);
  QCOMPARE(caption->isVisible(), temperatureCaptionShown);
  QCOMPARE(b.bitRow(page, "txtRSYS", 28), binary(answer, 28));
}

void TestReadPages::cpolhLabelsFollowTheComparatorBias() {
  Bench b;
  QWidget* page = b.systemPage();
  // Comparators of channels 3 and 0 enabled, comparator bias off: captions updated, hidden.
  b.session().SPIout(0x020000 | 0x004000);
  QVERIFY(clickButton(page, "READSYS"));
  QCOMPARE(b.text(page, "lblCPBIASEN"), QStringLiteral("CPBIASEN Disabled"));
  const QStringList expected = {"CPOLH0 Enabled", "CPOLH1 Disabled", "CPOLH2 Disabled",
                                "CPOLH3 Enabled"};
  for (int ch = 0; ch < 4; ++ch) {
    auto* label = find<QLabel>(page, QStringLiteral("lblCPOLH_%1").arg(ch));
    QCOMPARE(label->text(), expected[ch]);
    QVERIFY(!label->isVisible());
  }
  // Bias on: the same captions come back into view.
  b.session().SPIout(0x020000 | 0x004000 | 0x2000);
  QVERIFY(clickButton(page, "READSYS"));
  QCOMPARE(b.text(page, "lblCPBIASEN"), QStringLiteral("CPBIASEN Enabled"));
  for (int ch = 0; ch < 4; ++ch) {
    auto* label = find<QLabel>(page, QStringLiteral("lblCPOLH_%1").arg(ch));
    QCOMPARE(label->text(), expected[ch]);
    QVERIFY(label->isVisible());
  }
}

void TestReadPages::readPmuReadsTheChosenChannel() {
  Bench b;
  QWidget* page = b.pmuPage();
  // All four channels as the start-up writes them, then PMU 1 differently.
  b.session().SPIout(0x0F21B300);
  b.session().SPIout(0x022AC880);
  b.pages->enterReadPmuPage();
  QCOMPARE(b.serialField, QStringLiteral("18000000"));

  std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "READPMU"));
  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 18000000", "R"}));
  QCOMPARE(b.context.readField, hex(static_cast<std::int32_t>(b.chip().answer()), 6));
  const QStringList pmu3 = {
      "CHANNEL ENABLED",  "FORCE VOLTAGE MODE",        "±2mA CURRENT RANGE",
      "MEASOUT = VSENSE", " FORCE AMP TIED TO FINDAC", "SYSTEM SENSE/FORCE DISCONNECTED",
      "CLAMP ENABLED",    "COMPARATOR ENABLED",        "COMPARE CURRENT"};
  for (int i = 0; i < 9; ++i) {
    QCOMPARE(b.text(page, QStringLiteral("RPMU_%1").arg(i)), pmu3[i]);
  }
  QCOMPARE(b.bitRow(page, "txtRPMU", 28), binary(b.chip().answer(), 28));
  for (const char* lampName : {"cmdTEMP_2", "cmdTEMP_3"}) {
    QCOMPARE(b.text(page, lampName), QStringLiteral("OK"));
    QCOMPARE(buttonColour(page, lampName), kGreen);
  }

  // PMU 1: choosing it sends nothing, the read then asks PMU 1 and decodes its register.
  mark = b.fixture.mark();
  QVERIFY(clickButton(page, "OptPMUCH_1"));
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(b.words().pmuRequestWord, 0x12000000);
  QVERIFY(clickButton(page, "READPMU"));
  QCOMPARE(b.fixture.sentWords(mark), (std::vector<std::int32_t>{0x12000000}));
  QCOMPARE(b.serialField, QStringLiteral("12000000"));
  const QStringList pmu1 = {
      "CHANNEL ENABLED",       "FORCE CURRENT MODE",       "±EXTERNAL CURRENT RANGE",
      "MEASOUT = TEMP SENSOR", "FORCE AMP TIED TO FINGND", "SYSTEM SENSE/FORCE DISCONNECTED",
      "CLAMP DISABLED",        "COMPARATOR DISABLED",      "COMPARE VOLTAGE"};
  for (int i = 0; i < 9; ++i) {
    QCOMPARE(b.text(page, QStringLiteral("RPMU_%1").arg(i)), pmu1[i]);
  }
  QCOMPARE(static_cast<int>(b.chip().answer() & 0x3FFF80), 0x2AC880);
}

void TestReadPages::pmuRequestWordAfterLeavingAndReentering() {
  Bench b;
  QWidget* page = b.pmuPage();
  b.pages->enterReadPmuPage();
  QVERIFY(clickButton(page, "OptPMUCH_0"));
  QCOMPARE(b.words().pmuRequestWord, 0x11000000);

  b.systemPage();
  b.pages->enterReadPmuPage();
  page = b.pmuPage();
  // The entry OR never clears bits: PMU 0 and PMU 3 are both asked, PMU 0 still shows chosen.
  QCOMPARE(b.words().pmuRequestWord, 0x19000000);
  QCOMPARE(b.serialField, QStringLiteral("19000000"));
  QVERIFY(find<QRadioButton>(page, "OptPMUCH_0")->isChecked());

  // A click on the chosen option restores a single channel bit.
  QVERIFY(clickButton(page, "OptPMUCH_0"));
  QCOMPARE(b.words().pmuRequestWord, 0x11000000);
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "READPMU"));
  QCOMPARE(b.fixture.sentWords(mark), (std::vector<std::int32_t>{0x11000000}));

  const std::array<std::int32_t, 4> requests = {0x11000000, 0x12000000, 0x14000000, 0x18000000};
  for (int ch = 3; ch >= 0; --ch) {
    QVERIFY(clickButton(page, QStringLiteral("OptPMUCH_%1").arg(ch)));
    QCOMPARE(b.words().pmuRequestWord, requests[static_cast<std::size_t>(ch)]);
  }
}

void TestReadPages::dacRequestWordFollowsTheLists() {
  Bench b;
  QWidget* page = b.dacPage();
  b.pages->enterReadDacPage();
  QCOMPARE(b.words().dacRequestWord, 0x18C80000);
  QCOMPARE(b.serialField, QStringLiteral("18C80000"));

  struct Step {
    const char* list;
    int index;
    std::int32_t word;
  };
  const Step steps[] = {
      {"cboCurrentregset", 3, 0x18CB0000},  // ±2mA: level 3
      {"cboRegset", 2, 0x188B0000},         // c reg
      {"cboDAC", 3, 0x18A30000},            // CPL DAC, level kept
      {"cboRegset", 1, 0x18630000},         // m reg
      {"cboDAC", 4, 0x186B0000},            // CPH DAC
      {"cboCurrentregset", 5, 0x186D0000},  // Voltage Range
      {"cboRegset", 0, 0x18ED0000},         // x1 reg
      {"cboDAC", 0, 0x18CD0000},            // FIN DAC
  };
  const std::size_t mark = b.fixture.mark();
  for (const Step& step : steps) {
    QVERIFY2(chooseItem(page, step.list, step.index), step.list);
    QCOMPARE(b.words().dacRequestWord, step.word);
    QCOMPARE(b.serialField, hex(step.word, 8));
  }
  // Choosing only composes.
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
}

void TestReadPages::dacListsKeepTheLevelWhenSwitchingToClampDacs() {
  Bench b;
  QWidget* page = b.dacPage();
  b.pages->enterReadDacPage();
  QVERIFY(chooseItemText(page, "cboCurrentregset", QStringLiteral("±200uA")));
  QCOMPARE(b.words().dacRequestWord, 0x18CA0000);

  auto* current = find<QComboBox>(page, "cboCurrentregset");
  auto* cll = find<QComboBox>(page, "cboCLLregset");
  QVERIFY(chooseItemText(page, "cboDAC", QStringLiteral("CLL DAC")));
  // CLL's group with level index 2 still in bits 18..16 until a CLL level is chosen.
  QCOMPARE(b.words().dacRequestWord, 0x18D20000);
  QVERIFY(cll->isVisible());
  QVERIFY(!current->isVisible());

  QVERIFY(chooseItemText(page, "cboCLLregset", QStringLiteral("Voltage Range")));
  QCOMPARE(b.words().dacRequestWord, 0x18D50000);
  QVERIFY(chooseItemText(page, "cboCLLregset", QStringLiteral("±Ext Rsense")));
  QCOMPARE(b.words().dacRequestWord, 0x18D40000);
  QVERIFY(chooseItemText(page, "cboDAC", QStringLiteral("CLH DAC")));
  QCOMPARE(b.words().dacRequestWord, 0x18DC0000);
  QVERIFY(cll->isVisible());

  QVERIFY(chooseItemText(page, "cboDAC", QStringLiteral("CPH DAC")));
  QCOMPARE(b.words().dacRequestWord, 0x18EC0000);
  QVERIFY(current->isVisible());
  QVERIFY(!cll->isVisible());
}

void TestReadPages::dacChannelOptionsLeaveOneChannelBit() {
  Bench b;
  QWidget* page = b.dacPage();
  b.pages->enterReadDacPage();
  // The main window's channel boxes OR all four channels in.
  b.words().dacRequestWord |= 0x0F000000;
  const std::size_t mark = b.fixture.mark();
  for (int ch : {0, 2, 1, 3, 0}) {
    QVERIFY(clickButton(page, QStringLiteral("OptDACREAD_%1").arg(ch)));
    QCOMPARE(b.words().dacRequestWord, 0x10C80000 | (1 << (24 + ch)));
    QCOMPARE(b.serialField, hex(b.words().dacRequestWord, 8));
    for (int bit = 24; bit <= 27; ++bit) {
      QCOMPARE(b.text(page, QStringLiteral("txtRDAC_%1").arg(bit)),
               bit == 24 + ch ? QStringLiteral("1") : QStringLiteral("0"));
    }
  }
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});

  // The option also sets the R/W bit of a word that lost it.
  b.words().dacRequestWord = 0x00C80000;
  QVERIFY(clickButton(page, "OptDACREAD_2"));
  QCOMPARE(b.words().dacRequestWord, 0x14C80000);
}

void TestReadPages::readDacShowsOffsetAndCode_data() {
  QTest::addColumn<int>("written");  // DAC words written to the chip before the read
  QTest::addColumn<int>("channel");  // OptDACREAD option
  QTest::addColumn<QString>("dac");
  QTest::addColumn<QString>("level");
  QTest::addColumn<QString>("kind");
  QTest::addColumn<int>("request");
  QTest::addColumn<QString>("code");

  QTest::newRow("FIN x1 ±200uA of PMU 3") << 0x08CA1234 << 3 << "FIN DAC"
                                          << "±200uA"
                                          << "x1 reg" << 0x18CA0000 << "00001234";
  QTest::newRow("FIN m ±2mA of PMU 1") << 0x024B5678 << 1 << "FIN DAC"
                                       << "±2mA"
                                       << "m reg" << 0x124B0000 << "00005678";
  QTest::newRow("CPH c Voltage Range of PMU 0") << 0x01AD9ABC << 0 << "CPH DAC"
                                                << "Voltage Range"
                                                << "c reg" << 0x11AD0000 << "00009ABC";
  QTest::newRow("CLH x1 Voltage Range of PMU 2") << 0x04DD00FF << 2 << "CLH DAC"
                                                 << "Voltage Range"
                                                 << "x1 reg" << 0x14DD0000 << "000000FF";
}

void TestReadPages::readDacShowsOffsetAndCode() {
  QFETCH(int, written);
  QFETCH(int, channel);
  QFETCH(QString, dac);
  QFETCH(QString, level);
  QFETCH(QString, kind);
  QFETCH(int, request);
  QFETCH(QString, code);

  Bench b;
  QWidget* page = b.dacPage();
  b.session().SPIout(0x0FC0A492);  // the offset DAC
  b.session().SPIout(written);
  b.pages->enterReadDacPage();
  QVERIFY(clickButton(page, QStringLiteral("OptDACREAD_%1").arg(channel)));
  QVERIFY(chooseItemText(page, "cboDAC", dac));
  const bool clamp = dac == QStringLiteral("CLL DAC") || dac == QStringLiteral("CLH DAC");
  QVERIFY(chooseItemText(page, clamp ? "cboCLLregset" : "cboCurrentregset", level));
  QVERIFY(chooseItemText(page, "cboRegset", kind));
  QCOMPARE(b.words().dacRequestWord, request);

  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "cmdREADDAC"));
  QCOMPARE(
      b.fixture.transcript(mark),
      (std::vector<std::string>{"W 1FC00000", "R", "W " + hex(request, 8).toStdString(), "R"}));
  QCOMPARE(b.text(page, "txtOFFSET"), QStringLiteral("0000A492"));
  QCOMPARE(b.text(page, "txtDaccode"), code);
  const std::uint32_t answer = b.chip().answer();
  QCOMPARE(static_cast<int>(answer & 0xFFFF), code.toInt(nullptr, 16));
  QCOMPARE(b.context.readField, hex(static_cast<std::int32_t>(answer), 6));
  QCOMPARE(b.serialField, hex(request, 8));
  QCOMPARE(b.bitRow(page, "txtRDAC", 23), binary(answer, 23));
}

void TestReadPages::readComparatorStatus() {
  Bench b;
  QWidget* page = b.statusPage();
  b.session().SPIout(0x003FE4A0);
  b.session().SPIout(0x0F21B300);
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "READCOMP"));
  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 10400000", "R"}));
  const std::uint32_t answer = b.chip().answer();
  QCOMPARE(answer & 0xC00000u, 0x400000u);  // the answer carries its mode bits
  QCOMPARE(b.context.readField, hex(static_cast<std::int32_t>(answer), 6));
  QCOMPARE(b.bitRow(page, "txtCOMP", 23), binary(answer, 23));
}

void TestReadPages::alarmLampsAreGreenOnACoolDie() {
  Bench b;
  QWidget* page = b.statusPage();
  b.session().SPIout(0x003FE4A0);
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "READALARM"));
  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 10C00000", "R"}));
  const std::uint32_t answer = b.chip().answer();
  QCOMPARE(answer & 0x300000u, 0x300000u);
  QCOMPARE(b.context.readField, hex(static_cast<std::int32_t>(answer), 6));
  QCOMPARE(b.bitRow(page, "txtALM", 23), binary(answer, 23));
  for (const char* lampName : {"cmdTEMP_0", "cmdTEMP_1"}) {
    QCOMPARE(b.text(page, lampName), QStringLiteral("OK"));
    QCOMPARE(buttonColour(page, lampName), kGreen);
  }
}

void TestReadPages::alarmLampsTurnRedOnAHotDie() {
  Bench b("temp=150");
  b.session().SPIout(0x003FE4A0);  // shutdown temperature 130 degC
  b.session().SPIout(0x0F21B300);

  QWidget* status = b.statusPage();
  QVERIFY(clickButton(status, "READALARM"));
  QCOMPARE(b.chip().answer() & 0x300000u, 0u);
  for (const char* lampName : {"cmdTEMP_0", "cmdTEMP_1"}) {
    QCOMPARE(b.text(status, lampName), QStringLiteral("TOO HOT"));
    QCOMPARE(buttonColour(status, lampName), kRed);
  }

  QWidget* pmu = b.pmuPage();
  b.pages->enterReadPmuPage();
  QVERIFY(clickButton(pmu, "READPMU"));
  for (const char* lampName : {"cmdTEMP_2", "cmdTEMP_3"}) {
    QCOMPARE(b.text(pmu, lampName), QStringLiteral("TOO HOT"));
    QCOMPARE(buttonColour(pmu, lampName), kRed);
  }

  // The die cools down: the unlatched flags read 1 again, the latched ones stay 0.
  b.chip().setDieTemperature(25.0);
  QVERIFY(clickButton(pmu, "READPMU"));
  QCOMPARE(b.text(pmu, "cmdTEMP_2"), QStringLiteral("OK"));
  QCOMPARE(buttonColour(pmu, "cmdTEMP_2"), kGreen);
  QCOMPARE(b.text(pmu, "cmdTEMP_3"), QStringLiteral("TOO HOT"));
  status = b.statusPage();
  QVERIFY(clickButton(status, "READALARM"));
  QCOMPARE(b.text(status, "cmdTEMP_0"), QStringLiteral("TOO HOT"));
  QCOMPARE(b.text(status, "cmdTEMP_1"), QStringLiteral("OK"));
}

void TestReadPages::clearLatchedBitsKeepsBitSixAndNeedsAChannel() {
  Bench b("temp=150");
  b.session().SPIout(0x003FE4A0);
  b.session().SPIout(0x0F21B300);
  b.chip().setDieTemperature(25.0);  // the alarm latched while hot and stays latched
  b.words().pmuWord = 0x0F21B300;
  b.words().chanBits = 0x0F000000;

  QWidget* page = b.statusPage();
  std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(page, "Command4"));
  QCOMPARE(b.fixture.sentWords(mark), (std::vector<std::int32_t>{0x0F21B340}));
  QCOMPARE(b.words().pmuWord, 0x0F21B340);
  QVERIFY(clickButton(page, "READALARM"));
  QCOMPARE(b.text(page, "cmdTEMP_0"), QStringLiteral("OK"));

  // Without a channel bit the word would reach the chip as a system control write.
  b.words().pmuWord = 0x0021B300;
  mark = b.fixture.mark();
  QVERIFY(clickButton(page, "Command4"));
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(b.fixture.messages().count(texts::kNoChannel), 1);
  QCOMPARE(b.chip().systemControl(), 0x3FE4A0u & 0x3FFFFCu);
}

void TestReadPages::mainWindowReadsBackWhatTheWritePagesWrote() {
  MainBench m;
  QVERIFY(m.window != nullptr);

  // PMU register: the ±200uA range written from "WRITE PMU REG", read on "READ PMU REG".
  QWidget* writePmu = m.page(kPageWritePmu);
  QVERIFY(chooseItem(writePmu, "cboCurrent", 2));
  QVERIFY(clickButton(writePmu, "cmdWRITEPMU"));
  QWidget* readPmu = m.page(kPageReadPmu);
  QCOMPARE(m.serialField(), QStringLiteral("18000000"));
  std::size_t mark = m.fixture.mark();
  QVERIFY(clickButton(readPmu, "READPMU"));
  QCOMPARE(m.fixture.transcript(mark), (std::vector<std::string>{"W 18000000", "R"}));
  QCOMPARE(find<QLabel>(readPmu, "RPMU_2")->text(), QStringLiteral("±200uA CURRENT RANGE"));
  QCOMPARE(find<QLabel>(readPmu, "RPMU_0")->text(), QStringLiteral("CHANNEL ENABLED"));
  QCOMPARE(m.readField(), hex(static_cast<std::int32_t>(m.chip().answer()), 6));
  QCOMPARE(m.serialField(), QStringLiteral("18000000"));

  // DAC registers: the offset DAC and FIN x1 of "±200uA" written from "WRITE DAC REG".
  QWidget* writeDac = m.page(kPageWriteDac);
  QVERIFY(typeAndEnter(writeDac, "OFFSETx1_0", "A492"));
  QVERIFY(typeAndEnter(writeDac, "txtFINx1_2", "1234"));
  QWidget* readDac = m.page(kPageReadDac);
  QCOMPARE(m.serialField(), QStringLiteral("18C80000"));
  QVERIFY(chooseItemText(readDac, "cboCurrentregset", QStringLiteral("±200uA")));
  QCOMPARE(m.serialField(), QStringLiteral("18CA0000"));
  mark = m.fixture.mark();
  QVERIFY(clickButton(readDac, "cmdREADDAC"));
  QCOMPARE(m.fixture.transcript(mark),
           (std::vector<std::string>{"W 1FC00000", "R", "W 18CA0000", "R"}));
  QCOMPARE(find<QLineEdit>(readDac, "txtOFFSET")->text(), QStringLiteral("0000A492"));
  QCOMPARE(find<QLineEdit>(readDac, "txtDaccode")->text(), QStringLiteral("00001234"));
  QCOMPARE(m.readField(), QStringLiteral("CA1234"));
  QCOMPARE(m.serialField(), QStringLiteral("18CA0000"));

  // System control register: thermal shutdown at 100 degC from "WRITE SYSTEM CONTROL REG".
  QWidget* writeSys = m.page(kPageWriteSystem);
  QVERIFY(chooseItemText(writeSys, "TEMPSET", QStringLiteral("TJ = 100degC")));
  QVERIFY(clickButton(writeSys, "cmdWRITESYS"));
  QWidget* readSys = m.page(kPageReadSystem);
  QVERIFY(clickButton(readSys, "READSYS"));
  QCOMPARE(find<QLabel>(readSys, "READSYSDATA_2")->text(), QStringLiteral("Enabled"));
  QCOMPARE(find<QLabel>(readSys, "READSYSDATA_1")->text(), QStringLiteral("100degC"));
  QCOMPARE(find<QLabel>(readSys, "lblCLAMPEN_2")->text(), QStringLiteral("CH2 Enabled"));
  QCOMPARE(m.readField(), hex(static_cast<std::int32_t>(m.chip().systemControl()), 6));
}

void TestReadPages::mainWindowPageEntryOrsTheRequestWords() {
  MainBench m;
  QVERIFY(m.window != nullptr);
  QWidget* readPmu = m.page(kPageReadPmu);
  QVERIFY(clickButton(readPmu, "OptPMUCH_0"));
  m.page(kPageReadSystem);
  m.page(kPageReadPmu);
  QCOMPARE(m.serialField(), QStringLiteral("19000000"));
  QCOMPARE(m.fixture.session().words.pmuRequestWord, 0x19000000);

  // The DAC page: an option click leaves one channel bit, page entry ORs PMU 3 back in.
  QWidget* readDac = m.page(kPageReadDac);
  QVERIFY(clickButton(readDac, "OptDACREAD_1"));
  QCOMPARE(m.serialField(), QStringLiteral("12C80000"));
  m.page(kPageReadStatus);
  m.page(kPageReadDac);
  QCOMPARE(m.serialField(), QStringLiteral("1AC80000"));
}

void TestReadPages::mainWindowAlarmLampsOnAHotDie() {
  MainBench m("temp=150");
  QVERIFY(m.window != nullptr);
  QWidget* status = m.page(kPageReadStatus);
  const std::size_t mark = m.fixture.mark();
  QVERIFY(clickButton(status, "READALARM"));
  QCOMPARE(m.fixture.sentWords(mark), (std::vector<std::int32_t>{0x10C00000}));
  for (const char* lampName : {"cmdTEMP_0", "cmdTEMP_1"}) {
    QCOMPARE(find<QPushButton>(status, lampName)->text(), QStringLiteral("TOO HOT"));
    QCOMPARE(buttonColour(status, lampName), kRed);
  }
  QCOMPARE(find<QLineEdit>(status, "txtALM_21")->text(), QStringLiteral("0"));
  QCOMPARE(find<QLineEdit>(status, "txtALM_20")->text(), QStringLiteral("0"));
}

QTEST_MAIN(TestReadPages)
#include "test_read_pages.moc"
