// A seeded random walk over every window of the program on the simulated board: list choices,
// clicks, typed entries with Enter, page switches, menu entries, sweeps and the channel test
// advancing from the event loop, every message box answered as it opens. Checks that nothing
// crashes, that no box stays open once answered, and that every word reaching the board is
// well-formed. KV4410_MONKEY_SEED (default 4410) and KV4410_MONKEY_ACTIONS (default 20000)
// choose the walk; the regression rows replay other seeds with fewer actions.
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QtTest>
#include <random>
#include <set>

#include "ui/sweeps/sweep_window.h"
#include "ui/test_procedure/test_procedure_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

const QStringList kEdgeTexts = {"0",   "FFFF", "10000", "1FFFF", "-0",   "1e308",   "nan",
                                "inf", "-1",   "",      "  ",    "0x10", "1,5",     "2.5.1",
                                "5",   "-5",   "12.5",  "1e-9",  "€",    "1FFFFFFF"};
// Controls that end the program, open a file dialog or start another program.
// Controls that end the program or wait in a file dialog.
const QStringList kSkipped = {"cmdEXIT",          "mnuExit",           "menuExit",
                              "cmdSaveCsv1",      "cmdSaveCsv2",       "frmAbout.cmdSysInfo",
                              "cmdHistorySave",   "cmdHistoryRestore", "mnuOpenSetup",
                              "mnuSaveSetup",     "mnuRecentSetup_0",  "mnuRecentSetup_1",
                              "mnuRecentSetup_2", "mnuRecentSetup_3",  "mnuRecentSetup_4"};
const char* const kKinds[] = {"QComboBox", "QAbstractButton", "QTabWidget", "QLineEdit"};
const char* const kShortSweep[][2] = {
    {"txtstartV", "-1"}, {"txtendV", "1"}, {"txtstep", "250"}, {"txtForceV", "1.5"}};
const QString kMeasout = QStringLiteral("frmMeasoutWarning");
constexpr WindowId kWindows[] = {WindowId::Register,      WindowId::PmuControl, WindowId::Sweep,
                                 WindowId::TestProcedure, WindowId::About,      WindowId::Traffic};

// A write the chip takes as the system control register (no channel bit, mode 00) must be the
// stored system word: a PMU word without a channel bit would arrive there. A DAC write's
// address (bits 21..16) must be one of the map's: offset 0, FIN 8..13, CLL 20..21, CLH 28..29,
// CPL 32..37, CPH 40..45; a code above FFFF would spill into it. Read requests keep only the
// first check: the DAC read page keeps a level the chosen group lacks until one is chosen.
const char* malformed(std::uint32_t word, std::int32_t sysWord) {
  const unsigned channels = (word >> 24) & 0xF, mode = (word >> 22) & 3, a = (word >> 16) & 0x3F;
  const bool write = (word & 0x10000000) == 0;
  const bool inMap = a == 0 || (a >= 8 && a <= 13) || a == 20 || a == 21 || a == 28 || a == 29 ||
                     (a >= 32 && a <= 37) || (a >= 40 && a <= 45);
  return (word & 0xE0000000) != 0 ? "bits 29..31 set"
         : write && channels == 0 && mode == 0 && word != static_cast<std::uint32_t>(sysWord)
             ? "a system control write that is not sysWord"
         : write && channels != 0 && mode != 0 && !inMap ? "a DAC address outside the map"
                                                         : nullptr;
}

struct Monkey {
  UiFixture f;
  std::mt19937 rng;
  std::vector<QWidget*> windows;
  QStringList problems;
  std::optional<std::uint32_t> rawWord;

  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  }

  explicit Monkey(std::uint32_t seed) : rng(seed) {
    ui::registerWindows(f.session());
    f.onTrace = [this](const std::string& line) {
      unsigned value = 0, index = 0;
      int end = 0;
      std::sscanf(line.c_str(), "request 221 value=%x index=%x out%n", &value, &index, &end);
      if (end > 0 && !windows.empty()) {
        const std::uint32_t word = (index << 16) | value;
        const bool typed = rawWord && *rawWord == word;
        if (const char* fault = typed ? nullptr : malformed(word, f.session().words().sysWord)) {
          problems << hex(word) + ": " + fault;
        }
        // While the channel test holds the board only its own words go out.
        static const std::set<std::uint32_t> testWords = {
            0x003FE4A0, 0x0F21F300, 0x0121B300, 0x0221B300, 0x0421B300, 0x0821B300, 0x01219300,
            0x02219300, 0x04219300, 0x08219300, 0x0FCDFFFF, 0x0FCD8000, 0x0FCD0000};
        if (f.session().boardExclusive() && testWords.count(word) == 0) {
          problems << hex(word) + ": sent while the channel test holds the board";
        }
      }
    };
    // Each box is a real modal one, answered from inside its own event loop.
    f.messages().duringShow = [this] {
      const RecordedMessage m = f.messages().last();
      QTimer::singleShot(0, [this] { answerBoxes(); });
      ui::MessageBoxSink().show(m.icon, m.title, m.text);
    };
    for (WindowId id : kWindows) {
      f.session().hub().show(id);
      windows.push_back(f.session().hub().window(id)->widget());
    }
  }

  void act() {
    const std::size_t w = pick(windows.size());
    if (!windows[w]->isVisible()) {
      f.session().hub().show(kWindows[w]);
    }
    std::vector<QObject*> usable;
    for (QObject* c : windows[w]->findChildren<QObject*>()) {
      auto* widget = qobject_cast<QWidget*>(c);
      auto* action = qobject_cast<QAction*>(c);
      // Menu entries (one in four) and visible, enabled lists, buttons, pages and fields.
      const bool on = widget != nullptr
                          ? widget->isVisible() && widget->isEnabled() &&
                                std::any_of(std::begin(kKinds), std::end(kKinds),
                                            [c](const char* k) { return c->inherits(k); }) &&
                                !c->property("readOnly").toBool()
                          : action != nullptr && action->isEnabled() && action->menu() == nullptr &&
                                pick(4) == 0;
      if (on && !kSkipped.contains(c->objectName()) &&
          !kSkipped.contains(windows[w]->objectName() + "." + c->objectName())) {
        usable.push_back(c);
      }
    }
    QObject* c = usable.empty() ? nullptr : usable[pick(usable.size())];
    if (auto* list = qobject_cast<QComboBox*>(c)) {
      chooseItem(list, static_cast<int>(pick(list->count())));
    } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
      // Half the sweeps start from a short valid range, the others from whatever was typed.
      for (int i = 0; button->objectName().startsWith("cmdPlot") && pick(2) == 0 && i < 4; ++i) {
        find<QLineEdit>(windows[2], kShortSweep[i][0])->setText(kShortSweep[i][1]);
      }
      clickButton(button);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
      selectTab(tabs, tabs->objectName(), static_cast<int>(pick(tabs->count())));
    } else if (auto* action = qobject_cast<QAction*>(c)) {
      action->trigger();
    } else if (auto* field = qobject_cast<QLineEdit*>(c)) {
      QString garbage(static_cast<int>(pick(12)), QChar());
      std::generate(garbage.begin(), garbage.end(), [&] { return QChar(char16_t(32 + pick(95))); });
      const QString texts[] = {
          kEdgeTexts[static_cast<int>(pick(kEdgeTexts.size()))], garbage,
          QString::number(std::uniform_real_distribution<double>(-15, 15)(rng), 'g', 1 + pick(8)),
          QString::number(pick(0x20000), 16),
          QString(static_cast<int>(200 + pick(2000)),
                  QChar(u'0' + static_cast<char16_t>(pick(10))))};
      const QString text = texts[pick(std::size(texts))];
      // Long texts and texts beyond Latin-1 are pasted, not typed key by key.
      (text.size() > 20 || text.toLatin1() != text.toUtf8()) ? field->setText(text)
                                                             : (void)typeText(field, text);
      if (pick(4) != 0) {
        bool hex = false;
        // A raw word typed into the serial-word field goes out as it is, on this Enter only.
        if (const std::uint32_t typed = text.toUInt(&hex, 16);
            field->objectName() == "txtWRITESPI" && hex) {
          rawWord = typed;
        }
        QTest::keyClick(field, Qt::Key_Return);
        rawWord.reset();
      }
    }
    QApplication::processEvents();
    answerBoxes();
    QApplication::processEvents();
    if (answerBoxes() > 0) {
      problems << QStringLiteral("a box stayed open after it was answered");
    }
  }

  // Answers every open box; returns how many there were.
  int answerBoxes() {
    int open = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      QAbstractButton* answer = box != nullptr ? box->buttons().value(0)
                                : top->objectName() == kMeasout
                                    ? find<QAbstractButton>(top, pick(2) ? "cmdOK" : "cmdSysInfo")
                                    : nullptr;
      if (top->isVisible() && answer != nullptr) {
        answer->click();
        ++open;
      }
    }
    return open;
  }
};

}  // namespace

class TestMonkey : public QObject {
  Q_OBJECT

 private slots:
  // The walk the environment asks for, then shorter walks on other seeds (a seed that once
  // found a fault joins them).
  void walk() {
    const auto env = [](const char* name, int fallback) {
      return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
    };
    const std::pair<int, int> walks[] = {
        {env("KV4410_MONKEY_SEED", 4410), env("KV4410_MONKEY_ACTIONS", 20000)},
        {1, 2000},
        {2, 2000}};
    for (const auto& [seed, actions] : walks) {
      Monkey m(static_cast<std::uint32_t>(seed));
      auto* test = dynamic_cast<ui::TestProcedureWindow*>(m.windows[3]);
      for (int i = 0, duringTest = 0; i < actions && m.problems.size() < 5; ++i) {
        m.act();
        // A few actions while the channel test holds the board, then wait for its end as a
        // user would, so that the walk goes on reaching the board.
        duringTest = test->testRunning() ? duringTest + 1 : 0;
        if (duringTest == 20) {
          QTRY_VERIFY_WITH_TIMEOUT(!test->testRunning(), 30000);
        }
      }
      // STOP, then every run reaches its end.
      find<QAbstractButton>(m.windows[2], "cmdSTOP")->click();
      QTRY_VERIFY_WITH_TIMEOUT(
          !dynamic_cast<ui::SweepWindow*>(m.windows[2])->running() &&
              !dynamic_cast<ui::TestProcedureWindow*>(m.windows[3])->testRunning(),
          30000);
      qInfo("seed %d, %d actions: %zu words sent, %d boxes", seed, actions, m.f.sentWords().size(),
            m.f.messages().count());
      QVERIFY2(m.problems.isEmpty(), qPrintable(m.problems.join(QLatin1Char('\n'))));
      // A walk that reached the board (about one word per four actions), not one that idled.
      QVERIFY(m.f.sentWords().size() > static_cast<std::size_t>(actions / 10));
    }
  }
};

QTEST_MAIN(TestMonkey)
#include "test_monkey.moc"
