// The sweep window inside the whole program: its place in the start-up cascade, the mirroring
// of its range and measure lists, the entry checks, runs on the simulated board driven from the
// event loop (live rows, STOP, refusals), the chart limits, point picking and the saved lists.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "measure/sweep_engine.h"
#include "ui/common/mirrored_selectors.h"
#include "ui/common/selector.h"
#include "ui/sweeps/chart_limits.h"
#include "ui/sweeps/strip_chart.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::Mirrored;
using ui::WindowId;

namespace {

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
  ui::Selector* selector(Mirrored id) { return fixture.session().hub().selector(id); }
  QString text(Mirrored id) { return selector(id)->list()->currentText(); }
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
  void mirroring_data();
  void mirroring();
  void entryChecks_data();
  void entryChecks();
  void sweepOnTheDefaultLoad();
  void refusalsSendNoForceWord();
  void stopKeepsWhatWasMeasured();
  void timeRunAndPicking();
  void chartLimits();
  void savedList();
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
  QCOMPARE(p.text(Mirrored::RegisterCurrentRange), QStringLiteral("\u00B12mA"));
  QCOMPARE(p.text(Mirrored::PmuCurrentRange), QStringLiteral("2mA current range"));
  QCOMPARE(p.text(Mirrored::SweepCurrentRange), QStringLiteral("2mA"));
  QCOMPARE(p.text(Mirrored::RegisterMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.text(Mirrored::PmuMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.text(Mirrored::SweepMeasure), QStringLiteral("Measure Voltage"));
  QCOMPARE(p.fixture.session().conversion.rangeIndex, std::int16_t{3});
  QCOMPARE(p.fixture.session().sweep.sweepChanBits, 0x0F000000);
}

void TestSweepWindow::mirroring_data() {
  QTest::addColumn<int>("from");
  QTest::addColumn<int>("entry");
  QTest::addColumn<QStringList>("shown");  // register, PMU control, sweep window afterwards
  const auto row = [](const char* name, Mirrored from, int entry, const QStringList& shown) {
    QTest::newRow(name) << static_cast<int>(from) << entry << shown;
  };
  row("register range", Mirrored::RegisterCurrentRange, 1,
      {"\u00B120uA", "20uA current range", "20uA"});
  row("PMU range", Mirrored::PmuCurrentRange, 0, {"\u00B15uA", "5uA current range", "5uA"});
  row("sweep range", Mirrored::SweepCurrentRange, 4,
      {"\u00B1ext current range", "Ext Current range", "ext current range"});
  row("register measure", Mirrored::RegisterMeasure, 0,
      {"Measure Current", "Measure Current", "Measure Current"});
  row("PMU measure", Mirrored::PmuMeasure, 0,
      {"Measure Current", "Measure Current", "Measure Current"});
  row("sweep measure", Mirrored::SweepMeasure, 1,
      {"Measure Current", "Measure Current", "Measure Current"});
}

void TestSweepWindow::mirroring() {
  QFETCH(int, from);
  QFETCH(int, entry);
  QFETCH(QStringList, shown);
  Program p;
  const bool range = from == static_cast<int>(Mirrored::RegisterCurrentRange) ||
                     from == static_cast<int>(Mirrored::PmuCurrentRange) ||
                     from == static_cast<int>(Mirrored::SweepCurrentRange);
  const std::array<Mirrored, 3> lists =
      range ? std::array{Mirrored::RegisterCurrentRange, Mirrored::PmuCurrentRange,
                         Mirrored::SweepCurrentRange}
            : std::array{Mirrored::RegisterMeasure, Mirrored::PmuMeasure, Mirrored::SweepMeasure};
  std::array<int, 3> runs{};
  for (std::size_t i = 0; i < 3; ++i) {
    runs[i] = p.selector(lists[i])->handlerRuns();
  }
  p.selector(static_cast<Mirrored>(from))->list()->window()->show();
  auto* pages = find<QTabWidget>(p.registerWindow, "tabMain");
  pages->setCurrentIndex(1);  // WRITE PMU REG
  QVERIFY(chooseItem(p.selector(static_cast<Mirrored>(from))->list(), entry));
  for (std::size_t i = 0; i < 3; ++i) {
    QCOMPARE(p.text(lists[i]), shown[static_cast<int>(i)]);
    // Each list's handler ran once: the exchange settles after one pass.
    QCOMPARE(p.selector(lists[i])->handlerRuns(), runs[i] + 1);
  }
  if (range) {
    QCOMPARE(static_cast<int>(p.fixture.session().conversion.rangeIndex), entry);
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
  QVERIFY(chooseItem(p.selector(Mirrored::SweepMeasure)->list(), 1));  // measure current
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

void TestSweepWindow::chartLimits() {
  const ui::YLimits a = ui::sweepYLimits(-2.0F, 3.0F);
  QCOMPARE(a.upper, 3.3);
  QCOMPARE(a.lower, -2.2);
  QCOMPARE(ui::sweepYLimits(1.0F, 2.0F).lower, 1.1);
  const ui::YLimits t = ui::timeRunYLimits(0.5F, 1.0F);
  QCOMPARE(t.upper, 1.001);
  QCOMPARE(t.lower, 0.4995);
  QCOMPARE(ui::timeRunYLimits(-1.0F, 1.0F).upper, 0.999);
}

void TestSweepWindow::savedList() {
  Program p;
  QVERIFY(p.setSweep("0", "1", "500"));
  QVERIFY(p.run("cmdPlot"));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sweep.csv"));
  QCOMPARE(p.sweep->saveCsv(true, path), std::optional<QString>());
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QStringList lines =
      QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const QStringList comments = lines.filter(QRegularExpression(QStringLiteral("^#")));
  QVERIFY(comments.join(QLatin1Char('\n')).contains(QStringLiteral("VREF")));
  QCOMPARE(lines.size() - comments.size(), 4);  // header and three points
  QVERIFY(lines.last().startsWith(QStringLiteral("2,")));
  QCOMPARE(lines.last().count(QLatin1Char(',')), 7);
  // A file that cannot be written says why; the earlier file is kept.
  QVERIFY(p.sweep->saveCsv(true, dir.filePath(QStringLiteral("missing/sweep.csv"))).has_value());
  QVERIFY(p.sweep->saveCsv(false, path).has_value());  // no time run yet
  QVERIFY(QFile::exists(path));
}

QTEST_MAIN(TestSweepWindow)
#include "test_sweep_window.moc"
