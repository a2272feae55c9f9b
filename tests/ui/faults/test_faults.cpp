// The whole program on a failing simulated board: transfers that fail from the N-th on (for
// every N across the start-up and a set of N inside a sweep, a time run and the channel test),
// no board, a slow board and a missing or corrupt firmware file. In each case every run reaches
// its end, the stored system and PMU words are those last sent, and only the message boxes that
// case allows appear.
#include <QAbstractButton>
#include <QSignalSpy>
#include <QtTest>

#include "ui/sweeps/sweep_window.h"
#include "ui/test_procedure/test_procedure_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

// The program as it starts (the register window's start-up opens the PMU control and sweep
// windows), then a sweep of three steps, a time run and the channel test, each to its end.
struct Program {
  UiFixture f;
  std::vector<std::size_t> runStarts;  // vendor requests made before each run

  explicit Program(const std::string& options) : f(options) {
    ui::registerWindows(f.session());
    f.session().hub().window(WindowId::Register);
    const QStringList entries = {"txtstartV", "0", "txtendV", "1", "txtstep", "500"};
    for (int i = 0; i < entries.size(); i += 2) {
      find<QLineEdit>(window(WindowId::Sweep), entries[i])->setText(entries[i + 1]);
    }
  }
  QWidget* window(WindowId id) { return f.session().hub().window(id)->widget(); }
  std::size_t requests() const { return f.transcript().size() - 3; }  // after search ... firmware
  bool run(WindowId id, const char* start, int cycleDelayItem = 0) {
    runStarts.push_back(requests());
    f.session().hub().show(id);
    find<QComboBox>(window(WindowId::Sweep), "cboDela")->setCurrentIndex(cycleDelayItem);
    auto* test = dynamic_cast<ui::TestProcedureWindow*>(f.session().hub().window(id));
    const auto ended =
        test != nullptr
            ? std::make_unique<QSignalSpy>(test, &ui::TestProcedureWindow::testFinished)
            : std::make_unique<QSignalSpy>(dynamic_cast<ui::SweepWindow*>(window(WindowId::Sweep)),
                                           &ui::SweepWindow::runEnded);
    find<QAbstractButton>(window(id), start)->click();
    return ended->count() > 0 || ended->wait(30000);
  }
  bool runAll() {
    return run(WindowId::Sweep, "cmdPlot") && run(WindowId::Sweep, "cmdPlotit") &&
           run(WindowId::TestProcedure, "cmdWRITEPMU") && (runStarts.push_back(requests()), true);
  }
  // The last write to the system control register (no channel bit, mode 00), or with `pmu` to
  // a PMU register (a channel bit, mode 00).
  std::int32_t lastWrite(bool pmu) const {
    std::int32_t last = -1;
    for (std::int32_t w : f.sentWords()) {
      last = (w & 0x10C00000) == 0 && ((w & 0x0F000000) != 0) == pmu ? w : last;
    }
    return last;
  }
};

}  // namespace

class TestFaults : public QObject {
  Q_OBJECT

 private slots:
  void faults_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("allowed");  // the boxes that may appear, each once
    const auto row = [](const QString& options, const QStringList& allowed = {}) {
      QTest::newRow(qPrintable(options)) << options << allowed;
    };
    // Where the runs' requests lie, on a sound board.
    Program sound("");
    QVERIFY(sound.runAll() && sound.f.messages().count() == 0);
    // Only a failure of the first request (the start command after the firmware) is shown:
    // later statuses are stored and otherwise ignored.
    row("fail-after=0", {"3005 - XFER INCOMPLETE"});
    for (std::size_t n = 1; n < sound.runStarts[0]; ++n) {
      row(QStringLiteral("fail-after=%1").arg(n));
    }
    for (std::size_t run = 0; run < 3; ++run) {
      for (std::size_t k : {0, 1, 2, 3, 4, 6, 9, 14, 21, 34, 55, 89, 144}) {
        if (sound.runStarts[run] + k < sound.runStarts[run + 1]) {
          row(QStringLiteral("fail-after=%1").arg(sound.runStarts[run] + k));
        }
      }
    }
    row("noboard", {"No Evaluation Board Found"});
    row("firmware=missing", {"3002 - FIRMWARE FILE NOT FOUND", "3010 - NO FIRMWARE PRESENT"});
    row("firmware=corrupt", {"3003 - FIRMWARE FILE CORRUPTED", "3010 - NO FIRMWARE PRESENT"});
    row("latency=150000");  // a request takes longer than the sweep's 100 ms cycle delay
  }

  void faults() {
    QFETCH(QString, options);
    QFETCH(QStringList, allowed);
    Program p(options.toStdString());
    QVERIFY(p.window(WindowId::Register)->isVisible());
    // The slow board runs one sweep only, to keep the test short.
    QVERIFY(options.startsWith("latency") ? p.run(WindowId::Sweep, "cmdPlot", 1) : p.runAll());
    QCOMPARE(p.lastWrite(false), p.f.session().words().sysWord);
    QCOMPARE(p.lastWrite(true), p.f.session().words().pmuWord);
    QStringList shown;
    for (const RecordedMessage& m : p.f.messages().messages) {
      QVERIFY2(allowed.contains(m.text) && !shown.contains(m.text), qPrintable(m.text));
      shown << m.text;
    }
    QCOMPARE(shown.isEmpty(), allowed.isEmpty());
  }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
