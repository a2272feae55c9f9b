// The setup entries of the File menus on a bench over the simulated board: a setup saved and
// opened on a fresh bench sends the documented words and leaves the same state, refused files
// send nothing and name why, the recent list keeps five paths newest first, the menus follow
// it, and --setup is read from the command line.
#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "../../measure/test_doubles.h"
#include "app/command_line.h"
#include "bench/bench.h"
#include "board/board_factory.h"
#include "ui/common/setup_actions.h"
#include "ui/common/window_menus.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using Lines = QStringList;

namespace {

// A started bench on its own simulated board, with the requests it sends as "W 0F21B300",
// "R", "219" or "229=1", and the setup entries on it.
struct Rig {
  measure::testing::FakeClock clock{100.0};
  measure::testing::SilentReporter reporter;
  uitest::RecordingMessageSink messages;
  bench::Bench bench{simulated(), reporter, clock};
  Lines sent;
  SweepFields shown;  // the sweep window's fields as the access sees them
  SetupActions actions{
      bench, messages,
      SweepFieldsAccess{[this] { return shown; }, [this](const SweepFields& f) { shown = f; }}};
  Lines asked;  // the plan the dialog showed; empty when it was not shown

  Rig() {
    bench.startUp("/opt/kv4410/KV4410SPI.hex");
    bench.observeTraffic([this](const board::BoardLink::RequestRecord& r) {
      sent << (r.request == 221 ? (r.in ? QStringLiteral("R")
                                        : QStringLiteral("W ") + uitest::hex(r.index, 4) +
                                              uitest::hex(r.value, 4))
               : r.value != 0   ? QStringLiteral("%1=%2").arg(r.request).arg(r.value)
                                : QString::number(r.request));
    });
    actions.confirm = [this](const QString&, const QStringList& plan, QWidget*) {
      asked = plan;
      return true;
    };
  }
  static board::OpenedBoard simulated() {
    std::string error;
    board::BoardOptions options;
    options.simulate = true;
    return board::openBoard(options, error);
  }
};

// A submenu's entry as it shows now (entries it replaced are deleted only later).
QAction* entryNamed(QMenu* menu, const char* name) {
  for (QAction* action : menu->actions()) {
    if (action->objectName() == QLatin1String(name)) {
      return action;
    }
  }
  return nullptr;
}

}  // namespace

class SetupActionsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString file(const QString& name) const { return dir_.filePath(name); }
  static void write(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
  }

 private slots:
  void initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("kv4410-test"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("settings"));
  }
  void init() { QSettings(QStringLiteral("kv4410-test"), QStringLiteral("kv4410")).clear(); }

  void savedSetupOpensOnAFreshBenchWithTheDocumentedWords() {
    Rig day;
    QCOMPARE(day.bench.setCurrentGain(bench::CurrentGain::Five), std::nullopt);  // bit 6 of SYS
    QCOMPARE(day.bench.setChannels(0x3), std::nullopt);
    // FIN DAC level 5 is address 13; x1 writes are mode 11: 03 | C0 | 0D in bits 31..16.
    QCOMPARE(day.bench.writeDac(DacGroup::Fin, 5, DacRegister::X1, 0x9000), std::nullopt);
    QCOMPARE(day.sent, (Lines{"W 003FE4E0", "W 03CD9000"}));
    day.shown = {{-1.5, 2.0, 250.0}, 0.75};
    QVERIFY(day.actions.saveSetupFile(file("day.json")));
    QFile saved(file("day.json"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray json = saved.readAll();
    QVERIFY(json.contains("\"board\": \"simulated\""));
    QVERIFY(json.contains("\"start\": -1.5"));

    Rig next;
    QSignalSpy opened(&next.actions, &SetupActions::setupOpened);
    QCOMPARE(next.actions.openSetupFile(file("day.json"), true), std::nullopt);
    const Lines plan{"219", "W 003FE4E0", "W 0F21B300", "W 03CD9000", "229=1", "228=1"};
    QCOMPARE(next.sent, plan);
    QCOMPARE(next.asked.size(), 6);
    QCOMPARE(next.asked[0], QStringLiteral("219  chip reset"));
    QCOMPARE(next.asked[1], QStringLiteral("W 003FE4E0  write to the system control register"));
    QCOMPARE(next.asked[2],
             QStringLiteral("W 0F21B300  write to the PMU register of PMU 0, PMU 1, PMU 2, PMU 3"));
    QVERIFY2(next.asked[3].startsWith("W 03CD9000  write to the DAC x1 (input) register of PMU 0, "
                                      "PMU 1; address 13 = FIN DAC") &&
                 next.asked[3].endsWith("; code 9000 (36864)"),
             qPrintable(next.asked[3]));
    QCOMPARE(next.asked[5], QStringLiteral("228=1  compensation capacitor switch"));
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened[0][0].toString(), file("day.json"));
    QCOMPARE(next.messages.count(), 0);
    QCOMPARE(next.shown.sweep.startVolts, -1.5);
    QCOMPARE(next.shown.sweep.endVolts, 2.0);
    QCOMPARE(next.shown.sweep.stepMillivolts, 250.0);
    QCOMPARE(next.shown.forceVolts, 0.75);
    const StoredWords& a = day.bench.words();
    const StoredWords& b = next.bench.words();
    QCOMPARE(b.sysWord, a.sysWord);
    QCOMPARE(b.pmuWord, a.pmuWord);
    QCOMPARE(b.chanBits, a.chanBits);
    QCOMPARE(b.dacWord, 0x03CD9000);
    QCOMPARE(b.pmuRequestWord, a.pmuRequestWord);
    QCOMPARE(b.dacRequestWord, a.dacRequestWord);
    const bench::SettingValues s = day.bench.settings(), t = next.bench.settings();
    QCOMPARE(t.currentGain, bench::CurrentGain::Five);
    QCOMPARE(t.currentRange, s.currentRange);
    QCOMPARE(t.measure, s.measure);
    QCOMPARE(t.compare, s.compare);
    QCOMPARE(t.measoutGain, s.measoutGain);
    QCOMPARE(t.thermal, s.thermal);
    QCOMPARE(t.alarmLatch, s.alarmLatch);
    QCOMPARE(t.sweepChannels, s.sweepChannels);
    QCOMPARE(t.cycleDelay, s.cycleDelay);
    QCOMPARE(t.sampleDelay, s.sampleDelay);

    // A run's CSV file carries the same setup on its comment line, opened without asking.
    const QString line = day.actions.setupLine();
    QVERIFY(line.startsWith(QStringLiteral("# setup: {\"format\":1,\"program\":")));
    QVERIFY(line.contains(QStringLiteral("\"board\":\"simulated\"")));
    QVERIFY(!line.contains(QLatin1Char('\n')));
    write(file("run.csv"), "# KV4410 Voltage sweep\n" + line.toUtf8() + "\nDAC,V\n0,1\n");
    Rig third;
    QCOMPARE(third.actions.openSetupFile(file("run.csv"), false), std::nullopt);
    QCOMPARE(third.sent, plan);
    QVERIFY(third.asked.isEmpty());
    // A sweep window built later starts from the opened fields.
    SweepFields late;
    third.actions.setSweepFieldsAccess({{}, [&late](const SweepFields& f) { late = f; }});
    QCOMPARE(late.sweep.stepMillivolts, 250.0);
    QCOMPARE(late.forceVolts, 0.75);
  }

  void refusedFilesSendNothingAndNameWhy() {
    Rig day;
    QVERIFY(day.actions.saveSetupFile(file("good.json")));
    QFile good(file("good.json"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    QByteArray bad = good.readAll();
    QVERIFY(bad.contains("\"currentRange\": 3"));
    bad.replace("\"currentRange\": 3", "\"currentRange\": 9");
    write(file("notjson.json"), "{ not json");
    write(file("newer.json"), "{\"format\": 99}");
    write(file("bad.json"), bad);
    const std::pair<const char*, const char*> cases[] = {
        {"notjson.json", "not a setup file: not JSON"},
        {"newer.json", "setup format 99 is newer than this program reads (1)"},
        {"bad.json", "settings.currentRange: 9 is not one of 0..4"}};
    for (const auto& [name, reason] : cases) {
      Rig rig;
      QCOMPARE(rig.actions.openSetupFile(file(name), true), std::optional<QString>(reason));
      QCOMPARE(rig.sent, Lines{});
      QVERIFY(rig.asked.isEmpty());
      QCOMPARE(rig.messages.count(), 1);
      QCOMPARE(rig.messages.last().title, QStringLiteral("Open Setup"));
      QCOMPARE(rig.messages.last().text,
               file(name) + " was not opened: " + reason + ".\nNothing was sent to the board.");
    }
    // A run holds the board: refused before the dialog, nothing sent.
    Rig busy;
    QCOMPARE(busy.bench.startTimeRun(1.0), std::nullopt);
    busy.sent.clear();
    QCOMPARE(busy.actions.openSetupFile(file("good.json"), true),
             std::optional<QString>("The measurement versus time is running."));
    QCOMPARE(busy.sent, Lines{});
    QVERIFY(busy.asked.isEmpty());
    // A save that cannot be written says why and changes nothing.
    QVERIFY(!busy.actions.saveSetupFile(file("good.json/inside.json")));
    QVERIFY(busy.messages.last().text.startsWith("The setup was not saved to " +
                                                 file("good.json/inside.json") + ": "));
    QCOMPARE(busy.actions.recentSetups(), QStringList{file("good.json")});
  }

  void recentSetupsKeepFiveNewestFirstAndTheMenusShowThem() {
    Rig rig;
    QMainWindow window;
    WindowHub hub;
    const std::function<void()> refresh = installWindowMenus(&window, WindowId::Sweep, hub);
    auto* open = window.findChild<QAction*>(QStringLiteral("mnuOpenSetup"));
    auto* recent = window.findChild<QMenu*>(QStringLiteral("mnuRecentSetups"));
    QVERIFY(open != nullptr && window.findChild<QAction*>(QStringLiteral("mnuSaveSetup")));
    QVERIFY(recent != nullptr);
    QVERIFY(!open->isEnabled());
    QVERIFY(!recent->menuAction()->isEnabled());
    hub.setSetupActions(&rig.actions);
    refresh();
    QVERIFY(open->isEnabled());
    auto* none = entryNamed(recent, "mnuRecentSetupNone");
    QVERIFY(none != nullptr && !none->isEnabled() && none->text() == QStringLiteral("(none)"));

    for (const char* name : {"a.json", "b.json", "c.json", "d.json", "e.json", "f.json"}) {
      QVERIFY(rig.actions.saveSetupFile(file(name)));
    }
    QCOMPARE(rig.actions.recentSetups(),
             (QStringList{file("f.json"), file("e.json"), file("d.json"), file("c.json"),
                          file("b.json")}));
    QCOMPARE(rig.actions.openSetupFile(file("c.json"), true), std::nullopt);
    QCOMPARE(rig.actions.recentSetups(),
             (QStringList{file("c.json"), file("f.json"), file("e.json"), file("d.json"),
                          file("b.json")}));
    QVERIFY(QFile::remove(file("e.json")));
    rig.sent.clear();
    rig.actions.openRecent(file("e.json"), &window);
    QCOMPARE(rig.sent, Lines{});
    QCOMPARE(rig.messages.last().text,
             file("e.json") + " no longer exists. It was taken off the recent setups.");
    QCOMPARE(rig.actions.recentSetups(),
             (QStringList{file("c.json"), file("f.json"), file("d.json"), file("b.json")}));

    refresh();
    QCOMPARE(recent->actions().size(), 4);
    auto* first = entryNamed(recent, "mnuRecentSetup_0");
    auto* last = entryNamed(recent, "mnuRecentSetup_3");
    QVERIFY(first != nullptr && last != nullptr);
    QCOMPARE(first->text(), QStringLiteral("1 c.json"));
    QCOMPARE(first->toolTip(), file("c.json"));
    QCOMPARE(last->text(), QStringLiteral("4 b.json"));
    rig.sent.clear();
    last->trigger();
    QCOMPARE(rig.sent.first(), QStringLiteral("219"));
    QCOMPARE(rig.actions.recentSetups().first(), file("b.json"));
  }

  void theDialogListsThePlanAndCancelSendsNothing() {
    Rig rig;
    QVERIFY(rig.actions.saveSetupFile(file("plan.json")));
    rig.actions.confirm = nullptr;  // the real dialog
    rig.sent.clear();
    QStringList shown;
    const auto answer = [&shown](const char* button) {
      QTimer::singleShot(0, [&shown, button] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog != nullptr && dialog->objectName() == QStringLiteral("dlgOpenSetup"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Open Setup"));
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("lstSetupPlan"));
        QVERIFY(list != nullptr);
        shown.clear();
        for (int i = 0; i < list->count(); ++i) {
          shown << list->item(i)->text();
        }
        auto* b = dialog->findChild<QPushButton*>(QLatin1String(button));
        QVERIFY(b != nullptr);
        b->click();
      });
    };
    answer("cmdCancelSetup");
    QCOMPARE(rig.actions.openSetupFile(file("plan.json"), true), std::nullopt);
    QCOMPARE(rig.sent, Lines{});
    QCOMPARE(shown.first(), QStringLiteral("219  chip reset"));
    QCOMPARE(shown.last(), QStringLiteral("228=1  compensation capacitor switch"));
    answer("cmdOpenSetup");
    QCOMPARE(rig.actions.openSetupFile(file("plan.json"), true), std::nullopt);
    QCOMPARE(rig.sent.size(), shown.size());
    QCOMPARE(rig.sent.first(), QStringLiteral("219"));
  }

  void setupIsReadFromTheCommandLine() {
    app::CommandLine command;
    QCOMPARE(app::readCommandLine({"kv4410", "--simulate", "--setup", "day.json"}, command),
             std::nullopt);
    QVERIFY(command.board.simulate);
    QCOMPARE(command.setup, std::optional<QString>("day.json"));
    app::CommandLine plain;
    QCOMPARE(app::readCommandLine({"kv4410"}, plain), std::nullopt);
    QCOMPARE(plain.setup, std::nullopt);
    QCOMPARE(app::readCommandLine({"kv4410", "--setup"}, plain), std::optional<int>(2));
  }
};

QTEST_MAIN(SetupActionsTest)
#include "test_setup_actions.moc"
