// The run history beside the sweep charts: the limit on kept runs, ticked runs drawn over the
// chart with a legend, telling which run a click is nearest to, the saved file, and the memory
// a whole-range run costs, and what is kept of a sweep measured on the simulated board.
#include <QChart>
#include <QFile>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QValueAxis>
#include <QtTest>

#include "board/board_link.h"
#include "board/simulated_board.h"
#include "measure/clock.h"
#include "ui/sweeps/run_history.h"
#include "ui/sweeps/strip_chart.h"
#include "ui_test_support.h"

using namespace kv4410;
using kv4410::uitest::find;

namespace {

ui::KeptRun keptRun(const char* time, const char* kind, std::vector<double> values) {
  ui::KeptRun run;
  run.endTime = time;
  run.kind = kind;
  run.values = std::move(values);
  return run;
}

QStringList endTimes(const ui::RunHistory& history) {
  QStringList times;
  for (int row = 0; row < history.count(); ++row) {
    times << QString::fromStdString(history.run(row).endTime);
  }
  return times;
}

}  // namespace

class TestRunHistory : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QStringLiteral("history/keep"));
  }
  void limitDropsTheOldestUnticked();
  void tickedRunsAreDrawnWithALegend();
  void runsEndingInOneSecondAreToldApart();
  void clickFindsTheNearestTickedRun();
  void saveWritesTheRunOrKeepsTheOldFile();
  void wholeRangeRunFitsInFourMegabytes();
  void anEndedSweepIsKeptWithItsAxes();
};

void TestRunHistory::limitDropsTheOldestUnticked() {
  ui::RunHistory history;
  QCOMPARE(find<QSpinBox>(&history, "spnKeepRuns")->value(), 20);
  for (int s = 1; s <= 20; ++s) {
    history.add(keptRun(qPrintable(QStringLiteral("10:00:%1").arg(s, 2, 10, QLatin1Char('0'))),
                        ui::kSweepKind, {1.0}));
  }
  history.setTicked(19, true);  // the oldest, 10:00:01
  history.add(keptRun("10:00:21", ui::kSweepKind, {1.0}));
  QCOMPARE(history.count(), 20);
  QCOMPARE(endTimes(history).first(), QStringLiteral("10:00:21"));
  QVERIFY(endTimes(history).contains(QStringLiteral("10:00:01")));
  QVERIFY(!endTimes(history).contains(QStringLiteral("10:00:02")));
  QCOMPARE(endTimes(history).last(), QStringLiteral("10:00:01"));

  // Lowering the limit drops at once, and it is remembered.
  find<QSpinBox>(&history, "spnKeepRuns")->setValue(3);
  QCOMPARE(endTimes(history), (QStringList{"10:00:21", "10:00:20", "10:00:01"}));
  QCOMPARE(QSettings().value(QStringLiteral("history/keep")).toInt(), 3);
  {
    ui::RunHistory next;
    QCOMPARE(find<QSpinBox>(&next, "spnKeepRuns")->value(), 3);
  }
  // All ticked: the oldest goes.
  history.setTicked(0, true);
  history.setTicked(1, true);
  find<QSpinBox>(&history, "spnKeepRuns")->setValue(2);
  QCOMPARE(endTimes(history), (QStringList{"10:00:21", "10:00:20"}));
  QSettings().remove(QStringLiteral("history/keep"));
}

// Runs that end in the same second get their place among the kept runs of that second and kind,
// in the list and in the legend (as the list reads, time then kind); a time run in that second
// does not count.
void TestRunHistory::runsEndingInOneSecondAreToldApart() {
  ui::RunHistory history;
  history.add(keptRun("10:00:05", ui::kSweepKind, {0.1}));
  history.add(keptRun("10:00:05", ui::kTimeRunKind, {0.2}));
  history.add(keptRun("10:00:05", ui::kSweepKind, {0.3}));
  history.add(keptRun("10:00:05", ui::kSweepKind, {0.4}));
  auto* view = find<QTreeView>(&history, "lstRunHistory");
  QStringList times;
  for (int row = 0; row < history.count(); ++row) {
    times << view->model()->index(row, ui::RunHistoryModel::Time).data().toString();
    history.setTicked(row, true);
  }
  QCOMPARE(times, (QStringList{"10:00:05 (3)", "10:00:05 (2)", "10:00:05", "10:00:05"}));
  QStringList labels;
  for (const ui::ChartOverlay& overlay : history.overlays(ui::kSweepKind)) {
    labels << overlay.label;
  }
  QCOMPARE(labels, (QStringList{"10:00:05 (3) Sweep", "10:00:05 (2) Sweep", "10:00:05 Sweep"}));
}

void TestRunHistory::tickedRunsAreDrawnWithALegend() {
  ui::StripChart chart(QStringLiteral("Strip1"));
  chart.resize(600, 400);
  chart.show();
  chart.setTraceColour(0xFF0000);  // blue, as the sweep tab draws it
  chart.setXStart(1.0);
  chart.setXEnd(4.0);
  chart.setLowerLimit(0.0);
  chart.setUpperLimit(1.0);
  chart.plot({0.2, 0.4, 0.6, 0.8});

  ui::RunHistory history;
  // A whole-range run with one spike: drawn by the extremes of runs of neighbours, the spike
  // must survive.
  std::vector<double> longRun(65536, 0.5);
  longRun[40000] = 5.0;
  history.add(keptRun("10:00:01", ui::kSweepKind, longRun));
  history.add(keptRun("10:00:02", ui::kTimeRunKind, {0.1, 0.2}));
  history.add(keptRun("10:00:03", ui::kSweepKind, {-2.0, 0.0, 0.5}));
  QSignalSpy changed(&history, &ui::RunHistory::overlaysChanged);
  history.setTicked(2, true);
  history.setTicked(0, true);
  history.setTicked(1, true);  // a time run: not for the sweep chart
  QCOMPARE(changed.count(), 3);
  chart.setOverlays(history.overlays(ui::kSweepKind));

  QCOMPARE(chart.overlayCount(), 2);
  QCOMPARE(chart.chart()->series().size(), 4);  // trace, handles and the two runs
  QVERIFY(chart.legendShown());
  QStringList labels;
  for (QLegendMarker* marker : chart.chart()->legend()->markers()) {
    if (marker->isVisible()) {
      labels << marker->label();
    }
  }
  QCOMPARE(labels, (QStringList{"Last run", "10:00:03 Sweep", "10:00:01 Sweep"}));
  const QColor first = chart.overlaySeriesColour(0);
  const QColor second = chart.overlaySeriesColour(1);
  QVERIFY(first.isValid() && second.isValid() && first != second);
  QVERIFY(first != QColor(Qt::blue) && second != QColor(Qt::blue));
  // The axes take in both runs: -2 and the spike of 5, and the long run's 65,536 points.
  auto* yAxis = qobject_cast<QValueAxis*>(chart.chart()->axes(Qt::Vertical).first());
  QVERIFY(yAxis->min() <= -2.0 && yAxis->max() >= 5.0);
  auto* xAxis = qobject_cast<QValueAxis*>(chart.chart()->axes(Qt::Horizontal).first());
  QCOMPARE(xAxis->max(), 65536.0);
  auto* longSeries = qobject_cast<QLineSeries*>(chart.chart()->series().at(3));
  QVERIFY(longSeries->count() <= ui::StripChart::kMaxDrawnPoints);
  QVERIFY(longSeries->points().contains(QPointF(40001.0, 5.0)));

  history.setTicked(0, false);
  history.setTicked(2, false);
  chart.setOverlays(history.overlays(ui::kSweepKind));
  QCOMPARE(chart.overlayCount(), 0);
  QCOMPARE(chart.chart()->series().size(), 2);
  QVERIFY(!chart.legendShown());
  QCOMPARE(yAxis->min(), 0.0);
  QCOMPARE(yAxis->max(), 1.0);
  QCOMPARE(xAxis->max(), 4.0);
}

void TestRunHistory::clickFindsTheNearestTickedRun() {
  ui::RunHistory history;
  history.add(keptRun("10:00:01", ui::kSweepKind, {0.0, 1.0, 2.0, 3.0}));            // row 4
  history.add(keptRun("10:00:02", ui::kSweepKind, {3.0, 2.0, 1.0, 0.0}));            // row 3
  history.add(keptRun("10:00:03", ui::kSweepKind, {1.4, 1.4, 1.4, 1.4}));            // row 2
  history.add(keptRun("10:00:04", ui::kTimeRunKind, {1.3, 1.3, 1.3, 1.3}));          // row 1
  history.add(keptRun("10:00:05", ui::kSweepKind, {9.0, 9.0, 9.0, 9.0, 9.0, 9.0}));  // row 0
  for (const int row : {4, 3, 1, 0}) {
    history.setTicked(row, true);
  }
  double distance = -1.0;
  // x 1.2 is point 1: 1 and 2 against y 1.3; the unticked 1.4 and the time run do not count.
  QCOMPARE(history.nearestRun(ui::kSweepKind, 1.2, 1.3, &distance), 4);
  QCOMPARE(distance, 0.3);
  // x 2.6 is point 3: 3 and 0 against y 1.1.
  QCOMPARE(history.nearestRun(ui::kSweepKind, 2.6, 1.1), 3);
  // Point 5 only the six-point run has.
  QCOMPARE(history.nearestRun(ui::kSweepKind, 5.0, 0.0), 0);
  QCOMPARE(history.nearestRun(ui::kTimeRunKind, 2.0, 100.0), 1);
  QCOMPARE(history.nearestRun(ui::kSweepKind, 6.0, 9.0), -1);
  QCOMPARE(history.nearestRun(ui::kSweepKind, -0.6, 0.0), -1);

  QSignalSpy picked(&history, &ui::RunHistory::runPicked);
  history.pickRun(3);
  QCOMPARE(picked.count(), 1);
  QCOMPARE(picked.at(0).at(0).toInt(), 3);
  QCOMPARE(find<QTreeView>(&history, "lstRunHistory")->currentIndex().row(), 3);

  // A click on the chart gives its X and Y together, and still its X alone.
  ui::StripChart chart(QStringLiteral("Strip1"));
  chart.resize(400, 300);
  chart.show();
  chart.setXStart(0.0);
  chart.setXEnd(10.0);
  chart.setLowerLimit(-1.0);
  chart.setUpperLimit(1.0);
  QVERIFY(QTest::qWaitForWindowExposed(&chart));
  QSignalSpy clicked(&chart, &ui::StripChart::pointClicked);
  QSignalSpy pickedX(&chart, &ui::StripChart::pointPicked);
  QTest::mouseClick(chart.viewport(), Qt::LeftButton, {},
                    chart.chart()->plotArea().center().toPoint());
  QCOMPARE(clicked.count(), 1);
  QCOMPARE(pickedX.count(), 1);
  QCOMPARE(clicked.at(0).at(0).toDouble(), pickedX.at(0).at(0).toDouble());
  QVERIFY(qAbs(clicked.at(0).at(0).toDouble() - 5.0) < 0.1);
  QVERIFY(qAbs(clicked.at(0).at(1).toDouble()) < 0.05);
}

void TestRunHistory::saveWritesTheRunOrKeepsTheOldFile() {
  ui::RunHistory history;
  ui::KeptRun run = keptRun("10:15:02", ui::kSweepKind, {0.001, -0.0025, 3.0});
  run.range = "±2mA";
  run.channels = "0,1,2,3";
  run.min = -0.0025;
  run.max = 3.0;
  run.xFirst = -1.0;
  run.xStep = 0.5;
  run.xTitle = "Force (V)";
  run.yTitle = "Current (A)";
  run.setupJson = R"({"vref":5})";
  history.add(run);

  for (const char* name : {"cmdHistorySave", "cmdHistoryRemove", "cmdHistoryRestore"}) {
    QVERIFY(!find<QPushButton>(&history, name)->isEnabled());
  }
  history.pickRun(0);
  QVERIFY(find<QPushButton>(&history, "cmdHistoryRestore")->isEnabled());
  QSignalSpy restore(&history, &ui::RunHistory::restoreSetupRequested);
  find<QPushButton>(&history, "cmdHistoryRestore")->click();
  QCOMPARE(restore.count(), 1);
  QCOMPARE(restore.at(0).at(0).toString(), QStringLiteral(R"({"vref":5})"));

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("run.csv"));
  QCOMPARE(history.saveRun(0, path), std::optional<QString>());
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(file.readAll()),
           QStringLiteral("# setup: {\"vref\":5}\n"
                          "# Sweep ended 10:15:02, range \u00b12mA, channels 0,1,2,3, 3 points, "
                          "min -0.0025, max 3\n"
                          "Force (V),Current (A)\n"
                          "-1,0.001\n"
                          "-0.5,-0.0025\n"
                          "0,3\n"));
  file.close();

  // A name one character short of the longest the file system takes: the file can be there,
  // but the temporary name beside it cannot, so the write fails and the old file stays.
  const QString longPath = dir.filePath(QString(250, QLatin1Char('r')));
  QFile old(longPath);
  QVERIFY(old.open(QIODevice::WriteOnly));
  old.write("old\n");
  old.close();
  QVERIFY(history.saveRun(0, longPath).has_value());
  QVERIFY(old.open(QIODevice::ReadOnly));
  QCOMPARE(old.readAll(), QByteArray("old\n"));

  find<QPushButton>(&history, "cmdHistoryRemove")->click();
  QCOMPARE(history.count(), 0);
  QVERIFY(!find<QPushButton>(&history, "cmdHistorySave")->isEnabled());
}

void TestRunHistory::wholeRangeRunFitsInFourMegabytes() {
  ui::RunHistory history;
  std::vector<double> values;
  values.reserve(100000);  // a buffer with room to spare, as a stopped run's may have
  for (int k = 0; k < 65536; ++k) {
    values.push_back(k * 1e-6);
  }
  history.add(keptRun("10:00:01", ui::kSweepKind, std::move(values)));
  const ui::KeptRun& kept = history.run(0);
  QCOMPARE(kept.values.capacity(), std::size_t{65536});
  QVERIFY(sizeof(ui::KeptRun) + kept.values.capacity() * sizeof(kept.values[0]) <=
          std::size_t{4} * 1024 * 1024);
}

void TestRunHistory::anEndedSweepIsKeptWithItsAxes() {
  struct Quiet final : board::Reporter {
    void noBoard(int) override {}
    void usbError(int, std::string_view) override {}
  } reporter;
  board::SimulatedBoard simulated;
  board::BoardLink link(simulated, reporter);
  link.LoadUSB("/test/KV4410SPI.hex");
  board::LinkWordSender sender(link);
  StoredWords words;
  ConversionValues conversion;
  measure::SweepState state;
  state.sweepChanBits = 0x05000000;  // channels 0 and 2
  state.delays.chooseCycle(0);
  measure::SteadyClock clock;
  // 0 V to 0.2 V in 100 mV steps: three points.
  measure::SweepRun run({link, sender, words, conversion, state, clock}, {5.0F, 3},
                        {0.0, 0.2, 100.0});
  while (const auto wait = run.advance()) {
    clock.waitUntil(clock.now() + *wait);
  }
  measure::RunDescription description;
  description.channelBits = state.sweepChanBits;
  description.mode = measure::MeasureMode::Voltage;
  const ui::KeptRun kept = ui::keptRunOf(run, description, "\u00b12mA", "{}", "10:15:02");
  QCOMPARE(kept.kind, std::string("Sweep"));
  QCOMPARE(kept.channels, std::string("0,2"));
  QCOMPARE(kept.values.size(), std::size_t{3});
  QCOMPARE(kept.xTitle, std::string("Force (V)"));
  QCOMPARE(kept.yTitle, std::string("Voltage (V)"));
  // The forced volts of codes a DAC step apart: within a millivolt of 0 V and 100 mV.
  QVERIFY2(qAbs(kept.xFirst) < 1e-3, qPrintable(QString::number(kept.xFirst)));
  QVERIFY2(qAbs(kept.xStep - 0.1) < 1e-3, qPrintable(QString::number(kept.xStep)));
  QVERIFY(kept.min <= kept.max);
}

QTEST_MAIN(TestRunHistory)
#include "test_run_history.moc"
