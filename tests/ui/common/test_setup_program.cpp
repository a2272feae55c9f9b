// Setups over the whole program: a setup saved after choices in every window, opened in a fresh
// program, sends the chip's state and leaves every window's lists, boxes and fields and the
// stored words as they were saved; a run's CSV file opens as the setup it was made with; the
// history keeps the runs and draws the ticked ones over the chart.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/common/setup_actions.h"
#include "ui/sweeps/run_history.h"
#include "ui/sweeps/strip_chart.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

// The program as main() builds it, started up, with its sweep window open.
struct Program {
  UiFixture f;
  QWidget* reg = nullptr;
  QWidget* pmu = nullptr;
  ui::SweepWindow* sweep = nullptr;

  Program() {
    ui::registerWindows(f.session());
    reg = f.startWindow(WindowId::Register);
    pmu = f.startWindow(WindowId::PmuControl);
    sweep = dynamic_cast<ui::SweepWindow*>(f.startWindow(WindowId::Sweep));
    sweep->show();
  }
  ui::SetupActions& setups() { return f.session().setupActions(); }
  // What a user reads in every window's shared lists, channel boxes, delays and fields.
  QStringList shown() {
    QStringList texts = textsOf(reg, {"cboCurrent", "cboMeasure", "cboCompare", "MEASOUTG",
                                      "IMEASG", "TEMPSET", "cboLatched"});
    texts << textsOf(pmu, {"cboIrange", "cboMeasure", "cboCompare", "cboMeasout", "cboMeasI",
                           "cboTemp", "cboLatched"});
    texts << textsOf(sweep, {"cboSweepI", "cboMeasureVI", "cboDela", "cboMDelay", "txtstartV",
                             "txtendV", "txtstep", "txtForceV"});
    for (int i = 0; i < 4; ++i) {
      texts << (find<QCheckBox>(sweep, QStringLiteral("PMUCHSEL_%1").arg(i))->isChecked()
                    ? QStringLiteral("on")
                    : QStringLiteral("off"));
    }
    return texts;
  }
  bool run() {
    QSignalSpy ended(sweep, &ui::SweepWindow::runEnded);
    return clickButton(sweep, "cmdPlot") && (ended.count() > 0 || ended.wait(20000));
  }
};

using Words =
    std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t>;
Words wordsOf(const StoredWords& w) {
  return {w.sysWord, w.pmuWord, w.chanBits, w.dacWord, w.pmuRequestWord, w.dacRequestWord};
}

}  // namespace

class TestSetupProgram : public QObject {
  Q_OBJECT

 private slots:
  void savedSetupComesBackInAFreshProgram() {
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.json");
    QStringList saved;
    Words savedWords;
    {
      Program p;
      QVERIFY(selectTab(p.reg, "tabMain", 0));
      QVERIFY(chooseItemText(p.reg, "TEMPSET", "TJ = 100degC"));
      QVERIFY(selectTab(p.reg, "tabMain", 1));
      QVERIFY(chooseItemText(p.reg, "cboCompare", "Compare Voltage"));
      QVERIFY(chooseItemText(p.pmu, "cboMeasI", "I MEAS GAIN = 5"));
      QVERIFY(chooseItemText(p.pmu, "cboLatched", "LATCHED"));
      QVERIFY(chooseItemText(p.sweep, "cboSweepI", "200uA"));
      QVERIFY(chooseItemText(p.sweep, "cboMeasureVI", "Measure Current"));
      QVERIFY(clickButton(p.sweep, "PMUCHSEL_2"));
      QVERIFY(chooseItemText(p.sweep, "cboDela", "300ms"));
      QVERIFY(chooseItemText(p.sweep, "cboMDelay", "2 X"));
      QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtstartV"), "-2"));
      QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtstep"), "250"));
      saved = p.shown();
      savedWords = wordsOf(p.f.session().words());
      QVERIFY(p.setups().saveSetupFile(path));
    }
    // The choices above, as the windows show them.
    QCOMPARE(saved, (QStringList{"±200uA",
                                 "Measure Current",
                                 "Compare Voltage",
                                 "MEASOUT GAIN =0.2",
                                 "I MEAS GAIN = 5",
                                 "TJ = 100degC",
                                 "LATCHED",
                                 "200uA current range",
                                 "Measure Current",
                                 "Compare Voltage",
                                 "MEASOUT GAIN =0.2",
                                 "I MEAS GAIN = 5",
                                 "TJ = 100degC",
                                 "LATCHED",
                                 "200uA",
                                 "Measure Current",
                                 "300ms",
                                 "2 X",
                                 "-2",
                                 "1",
                                 "250",
                                 "1",
                                 "on",
                                 "on",
                                 "off",
                                 "on"}));

    Program fresh;
    QVERIFY(fresh.shown() != saved);
    const std::size_t mark = fresh.f.mark();
    QVERIFY(!fresh.setups().openSetupFile(path, false));
    // Reset, the system word (thermal at 100 degC: 0x38 in bits 2..5, gain 5: bit 6, latched:
    // bit 2 of the latch list), one PMU word for the four alike channels (200 uA, measure
    // current, compare voltage), then the compensation switches. The FIN DAC of the start-up
    // is at its 0 V code, which differs from the reset code.
    const std::vector<std::string> sent = fresh.f.transcript(mark);
    QVERIFY(sent.size() >= 5);
    QCOMPARE(sent.front(), std::string("219"));
    QCOMPARE(sent[1],
             "W " + hex(static_cast<std::uint32_t>(std::get<0>(savedWords))).toStdString());
    QCOMPARE((std::vector<std::string>(sent.end() - 2, sent.end())),
             (std::vector<std::string>{"229=1", "228=1"}));
    QCOMPARE(fresh.shown(), saved);
    QCOMPARE(wordsOf(fresh.f.session().words()), savedWords);
    QCOMPARE(fresh.f.messages().count(), 0);
  }

  // A sweep's CSV file holds the setup it was made with: opened in a fresh program it brings
  // back those choices. Two runs in the history, both ticked, are drawn over the chart in two
  // colours with a legend.
  void runFileOpensAsItsSetupAndTheHistoryOverlaysRuns() {
    QTemporaryDir dir;
    const QString csv = dir.filePath("sweep.csv");
    QStringList before;
    {
      Program p;
      QVERIFY(chooseItemText(p.sweep, "cboSweepI", "20uA"));
      QVERIFY(chooseItemText(p.pmu, "cboCompare", "Compare Voltage"));
      QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtstartV"), "-1"));
      QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtstep"), "500"));
      before = p.shown();
      QVERIFY(p.run());
      QVERIFY(typeText(find<QLineEdit>(p.sweep, "txtendV"), "2"));
      QVERIFY(p.run());
      QVERIFY(!p.sweep->saveCsv(true, csv).has_value());

      ui::RunHistory* history = p.sweep->runHistory();
      QCOMPARE(history->count(), 2);
      history->setTicked(0, true);
      history->setTicked(1, true);
      auto* chart = find<ui::StripChart>(p.sweep, "Strip1");
      QCOMPARE(chart->overlayCount(), 2);
      QVERIFY(chart->legendShown());
      QVERIFY(chart->overlaySeriesColour(0) != chart->overlaySeriesColour(1));
      history->setTicked(0, false);
      QCOMPARE(chart->overlayCount(), 1);
    }
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("# setup: {"));

    Program fresh;
    QVERIFY(!fresh.setups().openSetupFile(csv, false));
    // The second run's end field (2) was typed before it started.
    before[19] = QStringLiteral("2");
    QCOMPARE(fresh.shown(), before);
  }
};

QTEST_MAIN(TestSetupProgram)
#include "test_setup_program.moc"
