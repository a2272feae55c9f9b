// The test procedure window on the simulated board: its load, a passing and a failing run with
// their verdicts, a second run from an empty list, and the clipboard copy.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>
#include <algorithm>

#include "ui/sweeps/sweep_window.h"
#include "ui/test_procedure/test_procedure_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

// Opens the window from the register window's File menu.
ui::TestProcedureWindow* openFromMenu(UiFixture& f) {
  ui::registerWindows(f.session());
  QWidget* main = f.startWindow(WindowId::Register);
  auto* entry = main->findChild<QAction*>(QStringLiteral("mnuTestProcedure"));
  if (entry == nullptr || !entry->isEnabled()) {
    return nullptr;
  }
  entry->trigger();
  return dynamic_cast<ui::TestProcedureWindow*>(f.session().hub().window(WindowId::TestProcedure));
}

QStringList listed(QWidget* w) {
  QStringList lines;
  auto* list = find<QListWidget>(w, "lstTest");
  for (int i = 0; i < list->count(); ++i) {
    lines << list->item(i)->text();
  }
  return lines;
}

}  // namespace

class TestTestProcedureWindow : public QObject {
  Q_OBJECT

 private slots:
  void passesGreenOnTheDefaultLoadAndCopiesItsList() {
    UiFixture f;
    const std::size_t beforeLoad = f.mark();
    ui::TestProcedureWindow* w = openFromMenu(f);
    QVERIFY(w != nullptr && w->isVisible());
    QCOMPARE((QStringList{w->windowTitle(), textOf(w, "Label1")}),
             (QStringList{"KV4410 Test Procedure", "KV4410 Quad PMU test Procedure"}));
    // The register window's start-up comes first; the test window's load follows it.
    const std::vector<std::string> load = f.transcript(beforeLoad);
    QVERIFY(load.size() >= 5);
    QCOMPARE(
        std::vector<std::string>(load.end() - 5, load.end()),
        (std::vector<std::string>{"W 003FE4A0", "W 003FE4A0", "W 0F21F300", "229=1", "228=1"}));

    const std::size_t beforeTest = f.mark();
    auto* result = find<QPushButton>(w, "cmdResult");
    QVERIFY(clickButton(w, "cmdWRITEPMU"));
    QVERIFY(w->testRunning() && !result->isVisible());
    w->cmdWRITEPMU_Click();  // Start Test while a test runs does nothing
    QTRY_VERIFY_WITH_TIMEOUT(!w->testRunning(), 10000);
    const std::vector<std::string> test = f.transcript(beforeTest);
    QCOMPARE(f.sentWords(beforeTest).size(), std::size_t{30});
    QCOMPARE(std::count(test.begin(), test.end(), "233"), std::ptrdiff_t{16});  // ADC reads

    const QStringList lines = listed(w);
    QCOMPARE(lines.size(), 49);
    QCOMPARE(lines.first(), QStringLiteral("4187296\t253883136"));
    QCOMPARE(lines.count(QStringLiteral("----------PASS-----------")), 16);
    QVERIFY(result->isVisible());
    QCOMPARE(result->text(), QStringLiteral("PASS"));
    QCOMPARE(result->palette().color(QPalette::Button), QColor(0x00, 0xC0, 0x00));
    QCOMPARE(f.session().words().pmuWord, 0x08219300);

    // RESET sends the chip reset only; the serial-word field keeps the test's last word.
    QWidget* main = f.session().hub().window(WindowId::Register)->widget();
    QCOMPARE(textOf(main, "txtWRITESPI"), QStringLiteral("0FCD0000"));
    const std::size_t beforeReset = f.mark();
    QVERIFY(clickButton(w, "cmdRESET"));
    QCoreApplication::processEvents();
    QCOMPARE(f.transcript(beforeReset), std::vector<std::string>{"219"});
    QCOMPARE(textOf(main, "txtWRITESPI"), QStringLiteral("0FCD0000"));

    QApplication::clipboard()->setText(QStringLiteral("old"));
    QVERIFY(clickButton(w, "cmdcopy2clip"));
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    QVERIFY(copied.startsWith(QStringLiteral("4187296\t253883136\r\n---------------------")));
  }

  void failsRedWhenALoadDrawsTooLittleCurrentAndRestartsEmpty() {
    UiFixture f("load1=9000");
    ui::TestProcedureWindow* w = openFromMenu(f);
    QVERIFY(w != nullptr);
    auto* result = find<QPushButton>(w, "cmdResult");
    QVERIFY(clickButton(w, "cmdWRITEPMU"));
    QTRY_VERIFY_WITH_TIMEOUT(!w->testRunning(), 10000);
    const QStringList lines = listed(w);
    QCOMPARE(lines.count(QStringLiteral("----------PASS-----------")), 14);
    QCOMPARE(lines.filter(QStringLiteral("*FAILURE*")).size(), 2);
    QCOMPARE(result->text(), QStringLiteral("FAILURE"));
    QCOMPARE(result->palette().color(QPalette::Button), QColor(0xC0, 0x00, 0x00));

    QVERIFY(clickButton(w, "cmdWRITEPMU"));
    QVERIFY(listed(w).isEmpty() && !result->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!w->testRunning(), 10000);
    QCOMPARE(listed(w), lines);
  }

  // One run holds the board at a time. The test asked for during a time run is refused with a
  // message naming the run and sends nothing. While the test runs, the other windows' controls
  // are disabled, a word from elsewhere is dropped with a note in the status bar, and no window
  // is built (a window's start-up sends); afterwards everything works again.
  void oneRunHoldsTheBoard() {
    UiFixture f;
    ui::TestProcedureWindow* w = openFromMenu(f);
    QVERIFY(w != nullptr);
    ui::WindowHub& hub = f.session().hub();
    auto* sweep = dynamic_cast<ui::SweepWindow*>(hub.window(WindowId::Sweep));
    QVERIFY(sweep != nullptr && showAndWait(sweep));
    find<QTabWidget>(sweep, "SSTab1")->setCurrentIndex(1);
    QVERIFY(chooseItem(sweep, "cboDela", 1));  // 100 ms a reading
    QVERIFY(typeText(find<QLineEdit>(sweep, "txtForceV"), QStringLiteral("1")));
    QSignalSpy ended(sweep, &ui::SweepWindow::runEnded);
    QVERIFY(clickButton(sweep, "cmdPlotit"));
    QTRY_VERIFY_WITH_TIMEOUT(find<QListWidget>(sweep, "List2")->count() >= 2, 5000);
    std::size_t mark = f.mark();
    QVERIFY(clickButton(w, "cmdWRITEPMU"));
    QVERIFY(!w->testRunning());
    QCOMPARE(f.messages().last().text,
             QStringLiteral("The board is busy: the measurement versus time is running. Start "
                            "the channel test when it has ended."));
    QCOMPARE(f.sentWords(mark), std::vector<std::int32_t>{});
    QVERIFY(clickButton(sweep, "cmdSTOP"));
    QVERIFY(ended.count() > 0 || ended.wait(5000));

    QWidget* main = hub.window(WindowId::Register)->widget();
    QVERIFY(!hub.exists(WindowId::Traffic) && hub.available(WindowId::Traffic));
    QVERIFY(clickButton(w, "cmdWRITEPMU"));
    QVERIFY(w->testRunning());
    QVERIFY(!find<QPushButton>(sweep, "cmdPlot")->isEnabled());
    QVERIFY(!find<QPushButton>(main, "cmdWRITESYS")->isEnabled());
    QVERIFY(!hub.available(WindowId::Traffic));
    mark = f.mark();
    f.session().SPIout(0x0F21B300);
    QCOMPARE(textOf(main, "lblBoardStatus"),
             QStringLiteral("Not sent: the channel test holds the board until it ends."));
    QTRY_VERIFY_WITH_TIMEOUT(!w->testRunning(), 10000);
    const std::vector<std::int32_t> sent = f.sentWords(mark);
    QCOMPARE(sent.size(), std::size_t{30});  // the test's own words only
    QVERIFY(std::find(sent.begin(), sent.end(), 0x0F21B300) == sent.end());
    QVERIFY(find<QPushButton>(sweep, "cmdPlot")->isEnabled());
    QVERIFY(find<QPushButton>(main, "cmdWRITESYS")->isEnabled());
    QVERIFY(hub.available(WindowId::Traffic));
  }
};

QTEST_MAIN(TestTestProcedureWindow)
#include "test_test_procedure_window.moc"
