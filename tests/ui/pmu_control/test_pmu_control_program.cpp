// The PMU control window inside the whole program: the register window's start-up creates it
// (through the measure mirroring), and the selectors the two windows share mirror each other.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <cmath>

#include "board/simulated_board.h"
#include "device/text_format.h"
#include "ui/common/mirrored_selectors.h"
#include "ui/common/selector.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::Mirrored;
using ui::WindowId;

namespace {

// The program as main() builds it, without the sweep window, started up.
struct Program {
  UiFixture fixture;
  QWidget* registerWindow = nullptr;
  QWidget* pmuWindow = nullptr;

  Program() {
    ui::registerWindows(fixture.session());
    registerWindow = fixture.startWindow(WindowId::Register);
    if (auto* w = fixture.session().hub().window(WindowId::PmuControl)) {
      pmuWindow = w->widget();
    }
  }
  ui::Session& session() { return fixture.session(); }
  ui::Selector* selector(int id) { return session().hub().selector(static_cast<Mirrored>(id)); }
  QString listText(QWidget* root, const char* name) const {
    auto* list = find<QComboBox>(root, QString::fromLatin1(name));
    return list == nullptr ? QStringLiteral("<none>") : list->currentText();
  }
  std::int32_t lastWord() const {
    const auto words = fixture.sentWords();
    return words.empty() ? -1 : words.back();
  }
};

}  // namespace

class TestPmuControlProgram : public QObject {
  Q_OBJECT

 private slots:
  void startUpTraffic();
  void registerWindowSetsThisWindow_data();
  void registerWindowSetsThisWindow();
  void thisWindowSetsRegisterWindow_data();
  void thisWindowSetsRegisterWindow();
  void mirroredSelectorTableMatchesTheWindows();
  void measoutWarningCancelRestoresSerialWord();
  void clampAndComparatorButtonsOpenDacPage();
  void forcedLevelReachesTheAdc();
};

void TestPmuControlProgram::startUpTraffic() {
  Program p;
  QVERIFY(p.registerWindow != nullptr);
  QVERIFY(p.pmuWindow != nullptr);
  const std::vector<std::string> expected = {"search",     "connect",    "firmware",   "224",
                                             "W 003FE4A0", "W 003FE4A0", "W 00CD8000", "W 003FE4A0",
                                             "W 003FE4A0", "W 003FE4A0", "W 003FE4A0", "W 0F21B300",
                                             "229=1",      "228=1"};
  QCOMPARE(p.fixture.transcript(), expected);
  QCOMPARE(p.fixture.messages().count(), 0);
  // Both windows are shown; this one follows the register window's measure selection.
  QVERIFY(p.registerWindow->isVisible());
  QVERIFY(p.pmuWindow->isVisible());
  QCOMPARE(p.listText(p.pmuWindow, "cboMeasure"), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.listText(p.pmuWindow, "cboForce"), QStringLiteral("Force Voltage"));
  QCOMPARE(p.listText(p.pmuWindow, "cboIrange"), QStringLiteral("2mA current range"));
  QCOMPARE(p.listText(p.pmuWindow, "cboCompare"), QStringLiteral("Compare Current"));
  QCOMPARE(p.listText(p.pmuWindow, "cboTemp"), QStringLiteral("TJ = 130degC"));
  QCOMPARE(p.listText(p.pmuWindow, "cboMeasout"), QStringLiteral("MEASOUT GAIN =0.2"));
  QCOMPARE(find<QLineEdit>(p.pmuWindow, "txtPMU")->text(), QStringLiteral("0F21B300"));
  QCOMPARE(find<QLineEdit>(p.pmuWindow, "Text1")->text(), QStringLiteral("003FE4A0"));
  QCOMPARE(p.session().words.chanBits, 0x0F000000);
}

void TestPmuControlProgram::registerWindowSetsThisWindow_data() {
  QTest::addColumn<int>("registerList");
  QTest::addColumn<int>("pmuList");
  QTest::addColumn<int>("entry");
  QTest::addColumn<std::int32_t>("word");  // what this window's handler sends at once
  const auto row = [](const char* name, Mirrored registerList, Mirrored pmuList, int entry,
                      std::int32_t word) {
    QTest::newRow(name) << static_cast<int>(registerList) << static_cast<int>(pmuList) << entry
                        << word;
  };
  row("compare", Mirrored::RegisterCompare, Mirrored::PmuCompare, 1, 0x0F21B380);
  row("measure", Mirrored::RegisterMeasure, Mirrored::PmuMeasure, 0, 0x0F219300);
  row("latched", Mirrored::RegisterLatched, Mirrored::PmuLatched, 1, 0x003FE4A4);
  row("thermal", Mirrored::RegisterThermal, Mirrored::PmuThermal, 5, 0x003FE4B8);
  row("I gain", Mirrored::RegisterCurrentGain, Mirrored::PmuCurrentGain, 1, 0x003FE4E0);
}

void TestPmuControlProgram::registerWindowSetsThisWindow() {
  QFETCH(int, registerList);
  QFETCH(int, pmuList);
  QFETCH(int, entry);
  QFETCH(std::int32_t, word);
  Program p;
  ui::Selector* theirs = p.selector(registerList);
  ui::Selector* ours = p.selector(pmuList);
  QVERIFY(theirs != nullptr && ours != nullptr);
  const int theirRuns = theirs->handlerRuns();
  const int ourRuns = ours->handlerRuns();
  // The user brings the list's page to the front first.
  QComboBox* list = theirs->list();
  auto* pages = find<QTabWidget>(p.registerWindow, "tabMain");
  QVERIFY(list != nullptr && pages != nullptr);
  for (int page = 0; page < pages->count(); ++page) {
    if (pages->widget(page)->isAncestorOf(list)) {
      pages->setCurrentIndex(page);
    }
  }
  const std::size_t mark = p.fixture.mark();
  QVERIFY(chooseItem(list, entry));
  QCOMPARE(ours->index(), entry);
  // One run on each side: the setting back finds the same entry and stops.
  QCOMPARE(theirs->handlerRuns(), theirRuns + 1);
  QCOMPARE(ours->handlerRuns(), ourRuns + 1);
  QCOMPARE(p.fixture.sentWords(mark), std::vector<std::int32_t>{word});
  QCOMPARE(p.fixture.messages().count(), 0);
}

void TestPmuControlProgram::thisWindowSetsRegisterWindow_data() {
  QTest::addColumn<int>("pmuList");
  QTest::addColumn<int>("registerList");
  QTest::addColumn<int>("entry");
  QTest::addColumn<int>("registerEntry");  // what the register window shows afterwards
  const auto row = [](const char* name, Mirrored pmuList, Mirrored registerList, int entry,
                      int registerEntry) {
    QTest::newRow(name) << static_cast<int>(pmuList) << static_cast<int>(registerList) << entry
                        << registerEntry;
  };
  row("measure", Mirrored::PmuMeasure, Mirrored::RegisterMeasure, 2, 2);
  row("compare", Mirrored::PmuCompare, Mirrored::RegisterCompare, 1, 1);
  row("latched", Mirrored::PmuLatched, Mirrored::RegisterLatched, 1, 1);
  row("thermal", Mirrored::PmuThermal, Mirrored::RegisterThermal, 0, 0);
  row("I gain", Mirrored::PmuCurrentGain, Mirrored::RegisterCurrentGain, 1, 1);
  row("MEASOUT gain", Mirrored::PmuMeasoutGain, Mirrored::RegisterMeasoutGain, 1, 1);
  row("range", Mirrored::PmuCurrentRange, Mirrored::RegisterCurrentRange, 1, 1);
  row("external range", Mirrored::PmuCurrentRange, Mirrored::RegisterCurrentRange, 4, 4);
  // "Always on Ext Range" leaves the other windows' ranges alone.
  row("always on ext", Mirrored::PmuCurrentRange, Mirrored::RegisterCurrentRange, 6, 3);
}

void TestPmuControlProgram::thisWindowSetsRegisterWindow() {
  QFETCH(int, pmuList);
  QFETCH(int, registerList);
  QFETCH(int, entry);
  QFETCH(int, registerEntry);
  Program p;
  ui::Selector* ours = p.selector(pmuList);
  ui::Selector* theirs = p.selector(registerList);
  QVERIFY(theirs != nullptr && ours != nullptr);
  const int theirRuns = theirs->handlerRuns();
  const int ourRuns = ours->handlerRuns();
  QVERIFY(chooseItem(ours->list(), entry));
  QCOMPARE(theirs->index(), registerEntry);
  QCOMPARE(theirs->handlerRuns(), theirRuns + (registerEntry == entry ? 1 : 0));
  QCOMPARE(ours->handlerRuns(), ourRuns + 1);
}

// Every mirrored selector of a window the program has is registered under its table entry: the
// list of that window, with the table's object name and items.
void TestPmuControlProgram::mirroredSelectorTableMatchesTheWindows() {
  Program p;
  int walked = 0;
  for (const ui::MirroredSelectorDef& def : ui::mirroredSelectors()) {
    if (!p.session().hub().exists(def.window)) {
      continue;
    }
    ++walked;
    ui::Selector* selector = p.session().hub().selector(def.id);
    QVERIFY2(selector != nullptr && selector->list() != nullptr, qPrintable(def.objectName));
    QComboBox* list = selector->list();
    QCOMPARE(list->objectName(), def.objectName);
    QCOMPARE(list->window(), p.session().hub().window(def.window)->widget());
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
      items << list->itemText(i);
    }
    QCOMPARE(items, def.items);
  }
  QCOMPARE(walked, 14);  // the register window's seven and the PMU control window's seven
}

void TestPmuControlProgram::measoutWarningCancelRestoresSerialWord() {
  Program p;
  const std::size_t mark = p.fixture.mark();
  QVERIFY(chooseItem(p.pmuWindow, "cboMeasout", 1));
  QCOMPARE(p.fixture.sentWords(mark), std::vector<std::int32_t>{0x003FE420});
  QWidget* box = p.session().measoutWarningBox.data();
  QVERIFY(box != nullptr && box->isVisible());
  QVERIFY(clickButton(box, "cmdSysInfo"));
  QVERIFY(!box->isVisible());
  QCOMPARE(p.session().words.sysWord, 0x003FE4A0);
  QCOMPARE(find<QLineEdit>(p.registerWindow, "txtWRITESPI")->text(), QStringLiteral("003FE4A0"));
  QCOMPARE(p.fixture.sentWords(mark).size(), std::size_t{1});
  // Both windows still show gain 1.
  QCOMPARE(p.listText(p.registerWindow, "MEASOUTG"), QStringLiteral("MEASOUT GAIN = 1"));
  QCOMPARE(p.listText(p.pmuWindow, "cboMeasout"), QStringLiteral("MEASOUT GAIN = 1"));
}

void TestPmuControlProgram::clampAndComparatorButtonsOpenDacPage() {
  Program p;
  auto* pages = find<QTabWidget>(p.registerWindow, "tabMain");
  auto* dacTabs = find<QTabWidget>(p.registerWindow, "tabDACS");
  QVERIFY(pages != nullptr && dacTabs != nullptr);
  QVERIFY(clickButton(p.pmuWindow, "cmdClamp"));
  QCOMPARE(pages->currentIndex(), 2);
  QCOMPARE(dacTabs->currentIndex(), 1);
  QVERIFY(clickButton(p.pmuWindow, "cmdComp"));
  QCOMPARE(pages->currentIndex(), 2);
  QCOMPARE(dacTabs->currentIndex(), 2);
}

void TestPmuControlProgram::forcedLevelReachesTheAdc() {
  Program p;
  QCOMPARE(p.listText(p.pmuWindow, "cboMeasure"), QStringLiteral("Measure Voltage"));
  QVERIFY(typeAndEnter(p.pmuWindow, "txtForce", "2"));
  // (2 V + 11.249924 V) * 65536 / 22.5 V = 38592.99 -> 0x96C1 on the voltage range (13).
  QCOMPARE(p.lastWord(), 0x0FCD96C1);
  const board::SimulatedChip& chip = p.session().simulated()->chip();
  for (int ch = 0; ch < 4; ++ch) {
    QVERIFY(std::fabs(chip.channel(ch).volts - 2.0) < 1e-3);
  }
  QVERIFY(clickButton(p.registerWindow, "cmdREADADC"));
  const std::uint16_t reading = p.session().simulated()->lastAdcCode();
  QCOMPARE(find<QLabel>(p.registerWindow, "lblREADSPI")->text(),
           QString::fromStdString(NumberToHex(reading, 6)));
  // The ADC digitises the measure output over 0..VREF in 16 bits.
  const double expected = chip.measureBusVolts() * 65536.0 / chip.referenceVolts();
  QVERIFY(expected > 1000.0);
  QVERIFY(std::fabs(reading - expected) <= 1.0);
}

QTEST_MAIN(TestPmuControlProgram)
#include "test_pmu_control_program.moc"
