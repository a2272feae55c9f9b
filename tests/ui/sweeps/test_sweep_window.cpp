// The sweep window inside the whole program: its place in the start-up cascade, its range and
// measure lists bound with the other windows', the entry checks, runs on the simulated board driven
// from the event loop (live rows, STOP, refusals), the chart limits, point picking and the saved
// lists.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "measure/sweep_engine.h"
#include "ui/common/selector.h"
#include "ui/common/setting_lists.h"
#include "ui/sweeps/chart_limits.h"
#include "ui/sweeps/strip_chart.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

// The range and measure lists of the three windows.
enum class SharedList {
  RegisterCurrentRange,
  RegisterMeasure,
  PmuCurrentRange,
  PmuMeasure,
  SweepCurrentRange,
  SweepMeasure
};

struct Program {
  UiFixture fixture;
  QWidget* registerWindow = nullptr;
  ui::SweepWindow* sweep = nullptr;
  bool startedHidden = false;

  explicit Program(const std::string& options = {}) : fixture(options) {
    ui::registerWindows(fixture.session());
    registerWindow = fixture.startWindow(WindowId::Register);
    sweep = dynamic_cast<ui::SweepWindow*>(fixture.session().hub().window(WindowId::Sweep));
    startedHidden = sweep != nullptr && !sweep->isVisible();
    if (sweep != nullptr) {
      sweep->show();
    }
  }
  void page(int index) { find<QTabWidget>(sweep, "SSTab1")->setCurrentIndex(index); }
  ui::Selector* selector(SharedList id) {
    const int n = static_cast<int>(id);
    const bench::View view = n < 2   ? bench::View::RegisterWindow
                             : n < 4 ? bench::View::PmuControl
                                     : bench::View::SweepWindow;
    const bench::Setting setting =
        n % 2 == 0 ? bench::Setting::CurrentRange : bench::Setting::Measure;
    const WindowId window = n < 2   ? WindowId::Register
                            : n < 4 ? WindowId::PmuControl
                                    : WindowId::Sweep;
    auto* list = find<QComboBox>(fixture.session().hub().window(window)->widget(),
                                 ui::settingList(view, setting).objectName);
    return list != nullptr ? list->findChild<ui::Selector*>() : nullptr;
  }
  QString text(SharedList id) { return selector(id)->list()->currentText(); }
  QListWidget* list(const char* name) { return find<QListWidget>(sweep, name); }
  // Clicks PLOT and lets the event loop run the sweep to its end.
  bool run(const char* plotButton) {
    QSignalSpy ended(sweep, &ui::SweepWindow::runEnded);
    return clickButton(sweep, plotButton) && (ended.count() > 0 || ended.wait(20000));
  }
  bool setSweep(const QString& start, const QString& end, const QString& step) {
    return typeText(find<QLineEdit>(sweep, "txtstartV"), start) &&
           typeText(find<QLineEdit>(sweep, "txtendV"), end) &&
           typeText(find<QLineEdit>(sweep, "txtstep"), step);
  }
  QStringList fields(const QListWidget* l, int row) {
    return l->item(row)->text().split(QLatin1Char('\t'));
  }
};

}  // namespace

class TestSweepWindow : public QObject {
  Q_OBJECT

 private slots:
  void startUpCascade();
  void sharedLists_data();
  void sharedLists();
  void entryChecks_data();
  void entryChecks();
  void sweepOnTheDefaultLoad();
  void refusalsSendNoForceWord();
  void sameSweepAsTheOtherFaces();
  void plotKeepsThePreparationOrder();
  void stopKeepsWhatWasMeasured();
  void timeRunAndPicking();
  void liveChartDrawsOnlyWhatIsNew();
  void chartLimits_data();
  void chartLimits();
  void failedReadingsAndSavedTable();
  void boardLostEndsTheRun();
};

void TestSweepWindow::startUpCascade() {
  Program p;
  QVERIFY(p.sweep != nullptr);
  const std::vector<std::string> expected = {"search",     "connect",    "firmware",   "224",
                                             "W 003FE4A0", "W 003FE4A0", "W 00CD8000", "W 003FE4A0",
                                             "W 003FE4A0", "W 003FE4A0", "W 003FE4A0", "W 0F21B300",
                                             "229=1",      "228=1"};
  QCOMPARE(p.fixture.transcript(), expected);
  QCOMPARE(p.fixture.messages().count(), 0);
  QVERIFY(p.startedHidden);
  QCOMPARE(p.text(SharedList::RegisterCurrentRange), QStringLiteral("\u00B12mA"));
  QCOMPARE(p.text(SharedList::PmuCurrentRange), QStringLiteral("2mA current range"));
  QCOMPARE(p.text(SharedList::SweepCurrentRange), QStringLiteral("2mA"));
  QCOMPARE(p.text(SharedList::RegisterMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.text(SharedList::PmuMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.text(SharedList::SweepMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.fixture.session().conversion().rangeIndex, std::int16_t{3});
  QCOMPARE(p.fixture.session().bench().sweepState().sweepChanBits, 0x0F000000);
}

void TestSweepWindow::sharedLists_data() {
  QTest::addColumn<int>("from");
  QTest::addColumn<int>("entry");
  QTest::addColumn<QStringList>("shown");  // register, PMU control, sweep window afterwards
  const auto row = [](const char* name, SharedList from, int entry, const QStringList& shown) {
    QTest::newRow(name) << static_cast<int>(from) << entry << shown;
  };
  row("register range", SharedList::RegisterCurrentRange, 1,
      {"\u00B120uA", "20uA current range", "20uA"});
  row("PMU range", SharedList::PmuCurrentRange, 0, {"\u00B15uA", "5uA current range", "5uA"});
  row("sweep range", SharedList::SweepCurrentRange, 4,
      {"\u00B1ext current range", "Ext Current range", "ext current range"});
  row("register measure", SharedList::RegisterMeasure, 0,
      {"Measure Current", "Measure Current", "Measure Current"});
  row("PMU measure", SharedList::PmuMeasure, 0,
      {"Measure Current", "Measure Current", "Measure Current"});
  row("sweep measure", SharedList::SweepMeasure, 1,
      {"Measure Current", "Measure Current", "Measure Current"});
}

void TestSweepWindow::sharedLists() {
  QFETCH(int, from);
  QFETCH(int, entry);
  QFETCH(QStringList, shown);
  Program p;
  const bool range = from == static_cast<int>(SharedList::RegisterCurrentRange) ||
                     from == static_cast<int>(SharedList::PmuCurrentRange) ||
                     from == static_cast<int>(SharedList::SweepCurrentRange);
  const std::array<SharedList, 3> lists =
      range ? std::array{SharedList::RegisterCurrentRange, SharedList::PmuCurrentRange,
                         SharedList::SweepCurrentRange}
            : std::array{SharedList::RegisterMeasure, SharedList::PmuMeasure,
                         SharedList::SweepMeasure};
  std::array<int, 3> runs{};
  for (std::size_t i = 0; i < 3; ++i) {
    runs[i] = p.selector(lists[i])->handlerRuns();
  }
  p.selector(static_cast<SharedList>(from))->list()->window()->show();
  auto* pages = find<QTabWidget>(p.registerWindow, "tabMain");
  pages->setCurrentIndex(1);  // WRITE PMU REG
  QVERIFY(chooseItem(p.selector(static_cast<SharedList>(from))->list(), entry));
  for (std::size_t i = 0; i < 3; ++i) {
    QCOMPARE(p.text(lists[i]), shown[static_cast<int>(i)]);
    // Only the chosen list's handler ran: the others show the setting's new value.
    QCOMPARE(p.selector(lists[i])->handlerRuns(),
             runs[i] + (lists[i] == static_cast<SharedList>(from) ? 1 : 0));
  }
  if (range) {
    QCOMPARE(static_cast<int>(p.fixture.session().conversion().rangeIndex), entry);
  }
}

void TestSweepWindow::entryChecks_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("message");  // empty: accepted and kept
  const QString volts =
      QStringLiteral("Number too large. Please reenter voltage between -11.25 and +11.25.");
  const QString step =
      QStringLiteral("Number too large. Please reenter voltage between 0 and 1000.");
  QTest::newRow("start 11.3") << "txtstartV"
                              << "11.3" << volts;
  QTest::newRow("start -11.25") << "txtstartV"
                                << "-11.25" << QString();
  QTest::newRow("end abc") << "txtendV"
                           << "abc" << texts::kNotANumber;
  QTest::newRow("step 1000") << "txtstep"
                             << "1000" << QString();
  QTest::newRow("step 1000.5") << "txtstep"
                               << "1000.5" << step;
  QTest::newRow("step -1") << "txtstep"
                           << "-1" << step;
}

void TestSweepWindow::entryChecks() {
  QFETCH(QString, field);
  QFETCH(QString, typed);
  QFETCH(QString, message);
  Program p;
  auto* entry = find<QLineEdit>(p.sweep, field);
  const std::size_t mark = p.fixture.mark();
  QVERIFY(typeAndEnter(entry, typed));
  QCOMPARE(p.fixture.messages().count(), message.isEmpty() ? 0 : 1);
  QCOMPARE(entry->text(), message.isEmpty() ? typed : QString());
  if (!message.isEmpty()) {
    QCOMPARE(p.fixture.messages().last().text, message);
    QCOMPARE(p.fixture.messages().last().title, texts::kEntryError);
    // PLOT checks the same field the same way, and sends nothing.
    QVERIFY(typeText(entry, typed));
    QVERIFY(clickButton(p.sweep, "cmdPlot"));
    QCOMPARE(p.fixture.messages().count(), 2);
    QCOMPARE(p.fixture.messages().last().text, message);
  }
  QCOMPARE(p.fixture.transcript(mark).size(), std::size_t{0});
}

void TestSweepWindow::sweepOnTheDefaultLoad() {
  Program p;
  QVERIFY(chooseItem(p.selector(SharedList::SweepMeasure)->list(), 1));  // measure current
  QVERIFY(p.setSweep("0", "10", "1000"));
  const std::size_t mark = p.fixture.mark();
  QVERIFY(p.run("cmdPlot"));
  // Preparation: G1 set, the offset and system readbacks, the masked PMU word with 2 mA and
  // measure current; then the first force word on all channels.
  const std::vector<std::string> head = {"W 003FE4A0", "W 1FC00000", "R",          "W 10000000",
                                         "R",          "W 0F219300", "W 0FCD8000", "232"};
  const auto traffic = p.fixture.transcript(mark);
  QCOMPARE(std::vector<std::string>(traffic.begin(), traffic.begin() + 8), head);
  QListWidget* rows = p.list("List1");
  QCOMPARE(rows->count(), 12);  // header, ten steps, and the final point on 10 V
  QCOMPARE(rows->item(0)->text(),
           QStringLiteral("temp\tSWEEPDAC\tDACCODE(TEMP)\tVoltage\tADC\tADC Measured "
                          "Voltage\tMeasure Current\tsample time"));
  // The current follows V / 5.6 kOhm on the 2 mA range.
  for (int r = 1; r < rows->count(); ++r) {
    const QStringList f = p.fields(rows, r);
    const double forced = f[3].toDouble();
    QVERIFY2(std::fabs(f[6].toDouble() - forced / 5600.0) < 2e-5,
             qPrintable(rows->item(r)->text()));
  }
  QCOMPARE(p.fields(rows, 1)[2], QStringLiteral("32768"));
  QCOMPARE(p.fields(rows, 10)[2], QStringLiteral("58985"));
  QCOMPARE(p.fields(rows, 11)[2], QStringLiteral("61895"));  // the final point on 10 V
  QCOMPARE(find<QLineEdit>(p.sweep, "txtstepcode")->text(), QStringLiteral("B61"));
  QCOMPARE(find<QLabel>(p.sweep, "lblStatus1")->text(), QStringLiteral("11 readings."));
  auto* chart = find<ui::StripChart>(p.sweep, "Strip1");
  QCOMPARE(chart->plottedCount(), 11);
  QCOMPARE(chart->traceColour(), 0xFF0000);
  QVERIFY(!chart->handles());  // "No Handles" is ticked
}

void TestSweepWindow::refusalsSendNoForceWord() {
  Program p;
  // What a good run of each kind left in READ and the code fields stays there through every
  // refusal below; WRITE shows the run's PMU word, as the range and measure handlers of the
  // preparation show it.
  p.page(1);
  QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtForceV"), QStringLiteral("2")));
  QVERIFY(p.run("cmdPlotit"));
  p.page(0);
  QVERIFY(p.setSweep("0", "1", "500"));
  QVERIFY(p.run("cmdPlot"));
  const QStringList shownFields = {"lblREADSPI", "txtstart", "txtend", "txtstepcode", "txtForceC"};
  const QStringList shown = textsOf(p.sweep, shownFields);
  QCOMPARE(shown.mid(1), (QStringList{"8000", "8B60", "5B0", "96C1"}));
  QVERIFY(p.setSweep("2", "1", "100"));
  const std::size_t mark = p.fixture.mark();
  QVERIFY(p.run("cmdPlot"));
  QCOMPARE(p.fixture.messages().last().text,
           QStringLiteral("End Voltage must be greater than Start Voltage."));
  QCOMPARE(find<QLineEdit>(p.sweep, "txtstartV")->text(), QString());
  for (const std::int32_t word : p.fixture.sentWords(mark)) {
    QVERIFY((word & 0x00FF0000) != 0x00CD0000);  // no FIN write
  }
  QVERIFY(p.setSweep("0", "1", "0.1"));  // a step of 0.1 mV rounds to code 0
  QVERIFY(p.run("cmdPlot"));
  QCOMPARE(p.fixture.messages().count(), 2);
  QCOMPARE(find<QLineEdit>(p.sweep, "txtstep")->text(), QString());
  QCOMPARE(p.list("List1")->count(), 0);
  // 11.25 V passes the field check but needs code 65536 with the board's offset code.
  QVERIFY(p.setSweep("0", "11.25", "100"));
  QVERIFY(p.run("cmdPlot"));
  QCOMPARE(p.fixture.messages().count(), 3);
  QVERIFY(p.fixture.messages().last().text.contains(QStringLiteral("11.250")));
  QCOMPARE(find<QLineEdit>(p.sweep, "txtendV")->text(), QString());
  p.page(1);
  QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtForceV"), QStringLiteral("11.25")));
  QVERIFY(p.run("cmdPlotit"));
  QCOMPARE(p.fixture.messages().count(), 4);
  QCOMPARE(textsOf(p.sweep, shownFields), shown);
  QCOMPARE(textOf(p.sweep, "Text1"), QStringLiteral("0F21B300"));
}

// The sweep that the command-line and Python tests also make (-1 V to 1 V in 1000 mV steps on
// PMU 0 and PMU 2, 200uA, measure current) sends the same words from PLOT on.
void TestSweepWindow::sameSweepAsTheOtherFaces() {
  Program p;
  QVERIFY(clickButton(p.sweep, "PMUCHSEL_1"));
  QVERIFY(clickButton(p.sweep, "PMUCHSEL_3"));
  QVERIFY(chooseItemText(p.sweep, "cboSweepI", "200uA"));
  QVERIFY(chooseItemText(p.sweep, "cboMeasureVI", "Measure Current"));
  QVERIFY(p.setSweep("-1", "1", "1000"));
  const std::size_t mark = p.fixture.mark();
  QVERIFY(p.run("cmdPlot"));
  const std::vector<std::string> expected = {"W 003FE4A0", "W 1FC00000", "R",          "W 10000000",
                                             "R",          "W 05211300", "W 05CD749F", "232",
                                             "233",        "W 05CD8000", "232",        "233",
                                             "W 05CD8B60", "232",        "233"};
  QCOMPARE(p.fixture.transcript(mark), expected);
}

// PLOT follows the preparation's order: the G1 write and both readbacks first, then the PMU 0
// box and the run's PMU word, then the range and measure handlers with what they change in the
// other windows, then that word. The PMU control window sits on "HiZ Measout" and on "Enable
// Always on Ext Range", so both handlers change it and it sends; the register window keeps all
// four channels while the sweep window runs on PMU 0 and PMU 1 only.
void TestSweepWindow::plotKeepsThePreparationOrder() {
  Program p;
  QVERIFY(clickButton(p.sweep, "PMUCHSEL_2"));
  QVERIFY(clickButton(p.sweep, "PMUCHSEL_3"));
  QVERIFY(chooseItemText(p.selector(SharedList::PmuMeasure)->list()->window(), "cboMeasure",
                         "HiZ Measout"));
  QVERIFY(chooseItemText(p.selector(SharedList::PmuCurrentRange)->list()->window(), "cboIrange",
                         "Enable Always on Ext Range"));
  QVERIFY(p.setSweep("0", "1", "500"));
  const std::size_t mark = p.fixture.mark();
  QVERIFY(p.run("cmdPlot"));
  const std::vector<std::string> traffic = p.fixture.transcript(mark);
  QCOMPARE(std::vector<std::string>(traffic.begin(), traffic.begin() + 5),
           (std::vector<std::string>{"W 003FE4A0", "W 1FC00000", "R", "W 10000000", "R"}));
  const std::vector<std::int32_t> words = p.fixture.sentWords(mark);
  const auto firstForce = std::find(words.begin(), words.end(), 0x03CD8000);
  QVERIFY(firstForce != words.end());
  // PMU 0 and 1 only, EN, force voltage, 2 mA, measure voltage, FIN, CLAMP and COMP.
  QCOMPARE(*(firstForce - 1), 0x0321B300);
  // The PMU control window's words (range, then measure) came after the readbacks.
  QVERIFY(firstForce - words.begin() >= 5);
  QCOMPARE(p.text(SharedList::PmuMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.text(SharedList::PmuCurrentRange), QStringLiteral("2mA current range"));
}

void TestSweepWindow::stopKeepsWhatWasMeasured() {
  Program p;
  QVERIFY(chooseItem(p.sweep, "cboDela", 1));  // 100 ms a step
  QVERIFY(p.setSweep("0", "1", "100"));
  QSignalSpy ended(p.sweep, &ui::SweepWindow::runEnded);
  QVERIFY(clickButton(p.sweep, "cmdPlot"));
  QTRY_VERIFY_WITH_TIMEOUT(p.list("List1")->count() >= 3, 5000);
  QVERIFY(p.sweep->running());
  QVERIFY(!find<QPushButton>(p.sweep, "cmdPlot")->isEnabled());  // no second run meanwhile
  QVERIFY(clickButton(p.sweep, "cmdSTOP"));
  QVERIFY(ended.wait(5000));
  const int rows = p.list("List1")->count() - 1;
  QVERIFY(rows >= 2 && rows < 11);
  QCOMPARE(find<ui::StripChart>(p.sweep, "Strip1")->plottedCount(), rows);
  QVERIFY(find<QLabel>(p.sweep, "lblStatus1")->text().startsWith(QStringLiteral("Stopped after")));
  QVERIFY(!find<QLineEdit>(p.sweep, "txtmin")->text().isEmpty());
  QVERIFY(find<QPushButton>(p.sweep, "cmdPlot")->isEnabled());
}

void TestSweepWindow::timeRunAndPicking() {
  Program p;
  p.page(1);
  QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtForceV"), QStringLiteral("2")));
  QVERIFY(p.run("cmdPlotit"));
  QListWidget* rows = p.list("List2");
  QCOMPARE(rows->count(), 103);  // header, 101 samples, min and max
  QCOMPARE(rows->item(0)->text(),
           QStringLiteral("temp\tADC\tADC Measured Voltage\tMeasured voltage\tsample time"));
  QCOMPARE(find<QLineEdit>(p.sweep, "txtForceC")->text(), QStringLiteral("96C1"));
  const double measured = p.fields(rows, 1)[3].toDouble();
  QVERIFY(std::fabs(measured - 2.0) < 0.01);
  emit find<ui::StripChart>(p.sweep, "Strip2")->pointPicked(0.4);
  QCOMPARE(find<QLineEdit>(p.sweep, "txtY")->text(), QString::number(measured, 'f', 9));
  QCOMPARE(find<QLineEdit>(p.sweep, "txtX")->text(), QStringLiteral("0.0000"));

  p.page(0);
  QVERIFY(p.setSweep("0.5", "1.5", "500"));
  QVERIFY(p.run("cmdPlot"));
  auto* strip1 = find<ui::StripChart>(p.sweep, "Strip1");
  emit strip1->pointPicked(1.0);  // step 0
  QCOMPARE(find<QLineEdit>(p.sweep, "Text5")->text(), QStringLiteral("0.5000"));
  emit strip1->pointPicked(99.0);  // past the end: the last point
  QCOMPARE(find<QLineEdit>(p.sweep, "Text5")->text(), QStringLiteral("1.4997"));
}

// Live drawing adds only what is new. A run of 5000 planned points is drawn five values to a
// run of neighbours (1024 runs at most), each by its lowest and highest value; a run of 50
// points is drawn point by point.
void TestSweepWindow::liveChartDrawsOnlyWhatIsNew() {
  ui::StripChart chart(QStringLiteral("Strip1"));
  std::vector<double> values;
  const auto value = [&values](std::size_t k) { return values.at(k); };
  chart.beginLive(5000);
  for (int k = 0; k < 103; ++k) {
    values.push_back(k % 2 == 0 ? k : -k);  // every run of five has distinct extremes
  }
  chart.appendLive(value, 100);
  QCOMPARE(chart.drawnPoints(), 40);
  chart.appendLive(value, 103);  // the 21st run is not complete yet
  QCOMPARE(chart.drawnPoints(), 40);
  QCOMPARE(chart.plottedCount(), 103);
  values.resize(105, 1.0);
  chart.appendLive(value, 105);
  QCOMPARE(chart.drawnPoints(), 42);
  chart.beginLive(50);
  chart.appendLive(value, 7);
  QCOMPARE(chart.drawnPoints(), 7);
  chart.appendLive(value, 9);
  QCOMPARE(chart.drawnPoints(), 9);
}

void TestSweepWindow::chartLimits_data() {
  QTest::addColumn<bool>("sweep");
  QTest::addColumn<float>("min");
  QTest::addColumn<float>("max");
  QTest::addColumn<double>("lower");
  QTest::addColumn<double>("upper");
  // The usual limits where they enclose the series; otherwise the clipping side moves outward.
  QTest::newRow("sweep across zero") << true << -2.0F << 3.0F << -2.2 << 3.3;
  QTest::newRow("sweep above zero") << true << 1.0F << 2.0F << 0.9 << 2.2;
  QTest::newRow("sweep below zero") << true << -3.0F << -1.0F << -3.3 << -0.9;
  QTest::newRow("time above zero") << false << 0.5F << 1.0F << 0.4995 << 1.001;
  QTest::newRow("time across zero") << false << -1.0F << 1.0F << -1.001 << 1.001;
  QTest::newRow("time below zero") << false << -2.0F << -1.0F << -2.002 << -0.999;
}

void TestSweepWindow::chartLimits() {
  QFETCH(bool, sweep);
  QFETCH(float, min);
  QFETCH(float, max);
  QFETCH(double, lower);
  QFETCH(double, upper);
  const ui::YLimits limits = sweep ? ui::sweepYLimits(min, max) : ui::timeRunYLimits(min, max);
  QCOMPARE(limits.lower, lower);
  QCOMPARE(limits.upper, upper);
}

// The start-up makes 11 vendor requests and a sweep's preparation 6; each step then sends its
// force word, 232 and 233. Request 22 is the 232 of the second reading: it fails, 233 answers.
void TestSweepWindow::failedReadingsAndSavedTable() {
  Program p("fail-at=22");
  QVERIFY(p.setSweep("0", "1", "500"));
  QVERIFY(p.run("cmdPlot"));
  QListWidget* rows = p.list("List1");
  QCOMPARE(rows->count(), 4);
  QCOMPARE(rows->item(2)->toolTip(),
           QStringLiteral("This reading failed on the board: 3005 - XFER INCOMPLETE"));
  QVERIFY(rows->item(1)->toolTip().isEmpty() && rows->item(3)->toolTip().isEmpty());
  QCOMPARE(rows->item(2)->text().split(QLatin1Char('\t')).size(), 8);  // the row text as ever
  QCOMPARE(find<QLabel>(p.sweep, "lblStatus1")->text(),
           QStringLiteral("3 readings. 1 of them failed on the board; last status 3005 - XFER "
                          "INCOMPLETE."));

  // The saved file is a table: comments, the header, then one line per reading, each with the
  // header's number of fields; which reading failed is in its last column.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sweep.csv"));
  QCOMPARE(p.sweep->saveCsv(true, path), std::optional<QString>());
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QStringList lines =
      QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const QStringList comments = lines.filter(QRegularExpression(QStringLiteral("^#")));
  QVERIFY(comments.join(QLatin1Char('\n')).contains(QStringLiteral("VREF")));
  QCOMPARE(comments.filter(QRegularExpression(QStringLiteral("^# (Min|Max): -?[0-9]"))).size(), 2);
  QStringList table = lines;
  table.removeIf([](const QString& l) { return l.startsWith(QLatin1Char('#')); });
  QCOMPARE(table.size(), 4);
  QVERIFY(table[0].endsWith(QStringLiteral(",status")));
  QStringList statuses;
  for (const QString& line : table) {
    QCOMPARE(line.count(QLatin1Char(',')), 8);
    statuses << line.section(QLatin1Char(','), 8);
  }
  QCOMPARE(statuses, (QStringList{"status", "0", "3005", "0"}));
  // A file that cannot be written says why; the earlier file is kept.
  QVERIFY(p.sweep->saveCsv(true, dir.filePath(QStringLiteral("missing/sweep.csv"))).has_value());
  QVERIFY(p.sweep->saveCsv(false, path).has_value());  // no time run yet
  QVERIFY(QFile::exists(path));
}

// Request 20 is the last that answers: the second step's word, 232 and 233 fail, and the run
// ends there with its first reading, sending nothing more; every status bar says so.
void TestSweepWindow::boardLostEndsTheRun() {
  Program p("fail-after=20");
  QVERIFY(p.setSweep("0", "1", "100"));
  const std::size_t mark = p.fixture.mark();
  QVERIFY(p.run("cmdPlot"));
  QCOMPARE(p.fixture.transcript(mark).size(), std::size_t{12});
  QCOMPARE(p.list("List1")->count(), 2);
  QCOMPARE(find<QLabel>(p.sweep, "lblStatus1")->text(),
           QStringLiteral("The board was lost after 1 of 11 readings: 3005 - XFER INCOMPLETE."));
  QCOMPARE(find<ui::StripChart>(p.sweep, "Strip1")->plottedCount(), 1);
  QCOMPARE(textOf(p.registerWindow, "lblBoardStatus"),
           QStringLiteral("The board was lost (3005 - XFER INCOMPLETE). Check the USB cable and "
                          "the board's power, then start the program again."));
  QVERIFY(find<QPushButton>(p.sweep, "cmdPlot")->isEnabled());
}

QTEST_MAIN(TestSweepWindow)
#include "test_sweep_window.moc"
