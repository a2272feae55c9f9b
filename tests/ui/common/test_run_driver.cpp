// The run driver alone: steps run one after another from the event loop, each after its wait
// has passed, the window gets a signal after each step, and a cancel ends the run at once.
#include <QtTest>
#include <vector>

#include "measure/clock.h"
#include "ui/common/run_driver.h"

using namespace kv4410;

class TestRunDriver : public QObject {
  Q_OBJECT

 private slots:
  void stepsWaitTheirTimeAndEnd() {
    measure::SteadyClock clock;
    ui::RunDriver driver(clock);
    std::vector<double> starts;
    const std::vector<double> waits = {0.004, 0.0, 0.003};
    QSignalSpy stepped(&driver, &ui::RunDriver::stepped);
    QSignalSpy finished(&driver, &ui::RunDriver::finished);
    driver.start([&]() -> std::optional<double> {
      starts.push_back(clock.now());
      return starts.size() > waits.size() ? std::nullopt
                                          : std::optional<double>(waits[starts.size() - 1]);
    });
    QVERIFY(starts.empty());  // the first step runs from the event loop, not inside start()
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(starts.size(), std::size_t{4});
    QCOMPARE(stepped.count(), 4);
    for (std::size_t i = 0; i < waits.size(); ++i) {
      QVERIFY2(starts[i + 1] - starts[i] > waits[i], qPrintable(QString::number(i)));
    }
    QVERIFY(!driver.running());
  }

  // Work the event loop does between two steps (painting) makes the next step late by its
  // time; work done while a step's wait runs does not.
  void latenessIsTheEventLoopsWorkPastTheDeadline() {
    measure::SteadyClock clock;
    ui::RunDriver driver(clock);
    const std::vector<double> waits = {0.0, 0.050, 0.0};
    std::vector<double> lateness;
    std::size_t steps = 0;
    connect(&driver, &ui::RunDriver::stepped, this,
            [&] { QTimer::singleShot(0, this, [] { QThread::msleep(20); }); });
    driver.start([&]() -> std::optional<double> {
      lateness.push_back(driver.lastLateness());
      return steps < waits.size() ? std::optional<double>(waits[steps++]) : std::nullopt;
    });
    QTRY_COMPARE(lateness.size(), std::size_t{4});
    QVERIFY(lateness[0] < 0.010);
    QVERIFY2(lateness[1] >= 0.019, qPrintable(QString::number(lateness[1])));
    QVERIFY2(lateness[2] < 0.010, qPrintable(QString::number(lateness[2])));
    QVERIFY2(lateness[3] >= 0.019, qPrintable(QString::number(lateness[3])));
  }

  void cancelEndsTheRun() {
    measure::SteadyClock clock;
    ui::RunDriver driver(clock);
    int steps = 0;
    QSignalSpy finished(&driver, &ui::RunDriver::finished);
    connect(&driver, &ui::RunDriver::stepped, this, [&] {
      if (steps == 2) {
        driver.cancel();
      }
    });
    driver.start([&]() -> std::optional<double> {
      ++steps;
      return 0.002;
    });
    QTRY_COMPARE(finished.count(), 1);
    QTest::qWait(20);
    QCOMPARE(steps, 2);
    QVERIFY(!driver.running());
  }
};

QTEST_MAIN(TestRunDriver)
#include "test_run_driver.moc"
