// A seeded random walk over every window of the program on the simulated board: list choices,
// clicks, typed entries with Enter, page switches, menu entries, sweeps and the channel test
// advancing from the event loop, every message box answered as it opens. Checks that nothing
// crashes, that no box stays open once answered, and that every word reaching the board is
// well-formed. KV4410_MONKEY_SEED (default 4410) and KV4410_MONKEY_ACTIONS (default 20000)
// choose the walk; the regression rows replay seeds with fewer actions.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <random>

#include "ui/sweeps/sweep_window.h"
#include "ui/test_procedure/test_procedure_window.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

// DAC addresses of the register map: offset 0, FIN 8..13, CLL 20..21, CLH 28..29, CPL 32..37,
// CPH 40..45.
bool dacAddressInMap(unsigned a) {
  return a == 0 || (a >= 8 && a <= 13) || a == 20 || a == 21 || a == 28 || a == 29 ||
         (a >= 32 && a <= 37) || (a >= 40 && a <= 45);
}

const QStringList kEdgeTexts = {"0",   "FFFF", "10000", "1FFFF", "-0",   "1e308",   "nan",
                                "inf", "-1",   "",      "  ",    "0x10", "1,5",     "2.5.1",
                                "5",   "-5",   "12.5",  "1e-9",  "€",    "1FFFFFFF"};
const QStringList kSkipped = {"cmdEXIT", "mnuExit", "menuExit", "cmdSaveCsv1", "cmdSaveCsv2"};
constexpr WindowId kWindows[] = {WindowId::Register,      WindowId::PmuControl, WindowId::Sweep,
                                 WindowId::TestProcedure, WindowId::About,      WindowId::Traffic};

class Monkey {
 public:
  explicit Monkey(std::uint32_t seed) : rng_(seed) {
    ui::registerWindows(f_.session());
    f_.onTrace = [this](const std::string& line) { checkWord(line); };
    f_.messages().duringShow = [this] {
      const RecordedMessage m = f_.messages().last();
      QTimer::singleShot(0, [this] { answerBoxes(); });
      ui::MessageBoxSink().show(m.icon, m.title, m.text);
    };
    for (WindowId id : kWindows) {
      f_.session().hub().show(id);
      QWidget* w = f_.session().hub().window(id)->widget();
      windows_.push_back({id, w, controls(w), w->findChildren<QAction*>()});
      if (auto* sweep = dynamic_cast<ui::SweepWindow*>(w)) {
        QObject::connect(sweep, &ui::SweepWindow::runEnded, [this] { ++runs; });
      }
      if (auto* test = dynamic_cast<ui::TestProcedureWindow*>(w)) {
        QObject::connect(test, &ui::TestProcedureWindow::testFinished, [this] { ++runs; });
      }
    }
  }

  QStringList problems;
  int words = 0, answered = 0, runs = 0;

  void act() {
    const Window& w = windows_[pick(windows_.size())];
    if (!w.widget->isVisible()) {
      f_.session().hub().show(w.id);
    }
    std::vector<QWidget*> usable;
    for (QWidget* c : w.controls) {
      if (c->isVisible() && c->isEnabled()) {
        usable.push_back(c);
      }
    }
    if (pick(20) == 0 && !w.menu.empty()) {
      QAction* a = w.menu[pick(w.menu.size())];
      if (a->isEnabled() && !kSkipped.contains(a->objectName()) && !a->menu()) {
        a->trigger();
      }
    } else if (!usable.empty()) {
      use(usable[pick(usable.size())]);
    }
    QApplication::processEvents();
    answerBoxes();
    QApplication::processEvents();
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible() && (qobject_cast<QMessageBox*>(top) != nullptr ||
                               top->objectName() == QLatin1String("frmMeasoutWarning"))) {
        problems << QStringLiteral("box left open: ") + top->windowTitle();
      }
    }
  }

  // Stops the sweeps and lets every run reach its end.
  bool finishRuns() {
    auto* sweep = dynamic_cast<ui::SweepWindow*>(f_.session().hub().window(WindowId::Sweep));
    auto* test =
        dynamic_cast<ui::TestProcedureWindow*>(f_.session().hub().window(WindowId::TestProcedure));
    if (sweep->running()) {
      find<QAbstractButton>(sweep, "cmdSTOP")->click();
    }
    QDeadlineTimer deadline(30000);
    while ((sweep->running() || test->testRunning()) && !deadline.hasExpired()) {
      QApplication::processEvents();
      answerBoxes();
    }
    return !sweep->running() && !test->testRunning();
  }

 private:
  struct Window {
    WindowId id;
    QWidget* widget;
    std::vector<QWidget*> controls;
    QList<QAction*> menu;
  };
  UiFixture f_;
  std::mt19937 rng_;
  std::vector<Window> windows_;

  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }

  static std::vector<QWidget*> controls(QWidget* window) {
    std::vector<QWidget*> out;
    for (QWidget* c : window->findChildren<QWidget*>()) {
      auto* field = qobject_cast<QLineEdit*>(c);
      const bool about = window->objectName() == QLatin1String("frmAbout");
      if ((qobject_cast<QComboBox*>(c) != nullptr || qobject_cast<QAbstractButton*>(c) != nullptr ||
           qobject_cast<QTabWidget*>(c) != nullptr || (field != nullptr && !field->isReadOnly())) &&
          !kSkipped.contains(c->objectName()) &&
          !(about && c->objectName() == QLatin1String("cmdSysInfo"))) {
        out.push_back(c);
      }
    }
    return out;
  }

  QString randomText() {
    switch (pick(6)) {
      case 0:
        return kEdgeTexts[static_cast<int>(pick(kEdgeTexts.size()))];
      case 1:
        return QString::number(std::uniform_real_distribution<double>(-15, 15)(rng_), 'g',
                               1 + pick(8));
      case 2:
        return QString::number(pick(0x20000), 16);
      case 3: {
        QString s;
        for (std::size_t n = pick(12); n > 0; --n) {
          s += QChar(static_cast<char16_t>(32 + pick(95)));
        }
        return s;
      }
      case 4:
        return QString(static_cast<int>(200 + pick(2000)),
                       QChar(u'0' + static_cast<char16_t>(pick(10))));
      default:
        return QString::number(pick(100));
    }
  }

  void use(QWidget* c) {
    if (auto* list = qobject_cast<QComboBox*>(c)) {
      chooseItem(list, static_cast<int>(pick(list->count())));
    } else if (auto* button = qobject_cast<QAbstractButton*>(c)) {
      clickButton(button);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
      selectTab(tabs, tabs->objectName(), static_cast<int>(pick(tabs->count())));
    } else if (auto* field = qobject_cast<QLineEdit*>(c)) {
      const QString text = randomText();
      // Long texts and texts beyond Latin-1 are pasted, not typed key by key.
      if (text.size() > 20 || text.toLatin1() != text.toUtf8()) {
        field->setText(text);
      } else {
        typeText(field, text);
      }
      if (pick(4) != 0) {
        QTest::keyClick(field, Qt::Key_Return);
      }
    }
  }

  // Every serial word that reaches the board (request 221 OUT), checked as it is sent.
  void checkWord(const std::string& line) {
    unsigned value = 0, index = 0;
    char direction[4] = {};
    if (std::sscanf(line.c_str(), "request 221 value=%x index=%x %3s", &value, &index, direction) !=
            3 ||
        std::string(direction) != "out") {
      return;
    }
    const std::uint32_t word = (index << 16) | value;
    ++words;
    const auto* raw =
        find<QLineEdit>(windows_.empty() ? nullptr : windows_[0].widget, "txtWRITESPI");
    bool ok = false;
    const std::uint32_t typed = raw != nullptr ? raw->text().toUInt(&ok, 16) : 0;
    const unsigned channels = (word >> 24) & 0xF, mode = (word >> 22) & 3;
    const bool write = (word & 0x10000000) == 0;
    const char* fault =
        (word & 0xE0000000) != 0 ? "bits 29..31 set"
        : ok && typed == word    ? nullptr  // a raw word typed into the serial-word field
        : write && channels == 0 && mode == 0 &&
                word != static_cast<std::uint32_t>(f_.session().words.sysWord)
            ? "a system control write that is not sysWord (a PMU word without a channel?)"
        // Read requests are left out: the DAC read page keeps a level that the chosen group
        // lacks until a level of that group is chosen.
        : write && channels != 0 && mode != 0 && !dacAddressInMap((word >> 16) & 0x3F)
            ? "a DAC address outside the map (a code above FFFF?)"
            : nullptr;
    if (fault != nullptr) {
      problems << QStringLiteral("%1: %2").arg(hex(word), QLatin1String(fault));
    }
  }

  void answerBoxes() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible()) {
        continue;
      }
      if (auto* box = qobject_cast<QMessageBox*>(top);
          box != nullptr && !box->buttons().isEmpty()) {
        box->buttons().first()->click();
        ++answered;
      } else if (top->objectName() == QLatin1String("frmMeasoutWarning")) {
        find<QAbstractButton>(top, pick(2) == 0 ? "cmdOK" : "cmdSysInfo")->click();
        ++answered;
      }
    }
  }
};

int envOr(const char* name, int fallback) {
  bool ok = false;
  const int v = qEnvironmentVariable(name).toInt(&ok);
  return ok ? v : fallback;
}

}  // namespace

class TestMonkey : public QObject {
  Q_OBJECT

 private slots:
  void walk_data() {
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("actions");
    QTest::newRow("env") << envOr("KV4410_MONKEY_SEED", 4410)
                         << envOr("KV4410_MONKEY_ACTIONS", 20000);
    // Seeds that once failed, replayed shorter.
    for (int seed : {1, 2}) {
      QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << 2000;
    }
  }
  void walk() {
    QFETCH(int, seed);
    QFETCH(int, actions);
    Monkey monkey(static_cast<std::uint32_t>(seed));
    for (int i = 0; i < actions && monkey.problems.size() < 5; ++i) {
      monkey.act();
    }
    QVERIFY(monkey.finishRuns());
    qInfo("%d actions: %d words sent, %d boxes answered, %d runs", actions, monkey.words,
          monkey.answered, monkey.runs);
    QVERIFY2(monkey.problems.isEmpty(), qPrintable(monkey.problems.join(QLatin1Char('\n'))));
  }
};

QTEST_MAIN(TestMonkey)
#include "test_monkey.moc"
