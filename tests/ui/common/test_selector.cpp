// The selector rule and the window hub, alone: a user's choice runs the handler, a choice from
// code runs it only on a change, lists ignore the keyboard, and a window is built and started up
// on first use before the access goes on.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include "ui/common/guarded_application.h"
#include "ui/common/mirrored_selectors.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;

namespace {

const QStringList kItems = {QStringLiteral("first"), QStringLiteral("second"),
                            QStringLiteral("third")};

// A window with the PMU control window's measure list, for the hub tests; it logs its creation,
// its start-up and its handler's runs.
class ListWindow : public QWidget, public ManagedWindow {
 public:
  ListWindow(WindowHub& hub, std::vector<std::string>& log) : hub_(hub), log_(log) {
    auto* list = new QComboBox(this);
    list->addItems(kItems);
    selector = new Selector(
        list, QStringLiteral("pick one"),
        [this](int index) { log_.push_back("handler " + std::to_string(index)); }, nullptr);
    hub.registerSelector(Mirrored::PmuMeasure, selector);
    log_.push_back("created");
  }
  QWidget* widget() override { return this; }
  // Sets its own list and reaches back into itself through the hub, which must hand out the
  // window being started, not build a second one.
  void startUp() override {
    log_.push_back(isVisible() ? "start-up, visible" : "start-up, hidden");
    hub_.startSelector(Mirrored::PmuMeasure, 0);
    QCOMPARE(hub_.window(WindowId::PmuControl), static_cast<ManagedWindow*>(this));
    hub_.mirror(Mirrored::PmuMeasure, 0);
  }

  Selector* selector = nullptr;

 private:
  WindowHub& hub_;
  std::vector<std::string>& log_;
};

}  // namespace

class SelectorTest : public QObject {
  Q_OBJECT

 private slots:
  // A list starts with no entry and its initial text; a user's choice runs the handler even
  // for the same entry, a choice from code only on a change (-1 or out of range: none).
  void handlerRunsOnUserChoiceAndOnChangeFromCode() {
    QWidget window;
    auto* list = new QComboBox(&window);
    list->addItems(kItems);
    QList<int> runs;
    Selector selector(
        list, QStringLiteral("pick one"), [&runs](int i) { runs << i; }, nullptr);
    QCOMPARE((std::pair{list->currentIndex(), selector.index()}), (std::pair{-1, -1}));
    QCOMPARE(list->placeholderText(), QStringLiteral("pick one"));
    QVERIFY(showAndWait(&window));
    QVERIFY(chooseItem(list, 2));
    QVERIFY(chooseItem(list, 2));
    for (int s : {2, 1, 1, 0, 2, 0, -1, -1, 7}) {
      selector.select(s);
    }
    QCOMPARE(runs, (QList<int>{2, 2, 1, 0, 2, 0, -1}));
    QCOMPARE(selector.handlerRuns(), 7);
  }

  void listsDiscardEveryKeyAndTheWheel() {
    QWidget window;
    auto* list = new QComboBox(&window);
    list->addItems(kItems);
    int runs = 0;
    Selector selector(
        list, QStringLiteral("pick one"), [&runs](int) { ++runs; }, nullptr);
    QVERIFY(showAndWait(&window));
    list->setFocus();
    pressKeys(list, {Qt::Key_Down, Qt::Key_Down, Qt::Key_End, Qt::Key_S, Qt::Key_T, Qt::Key_Space,
                     Qt::Key_F4, Qt::Key_Return});
    QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
    QWheelEvent wheel(QPointF(5, 5), list->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list, &wheel);
    QCOMPARE(list->currentIndex(), -1);
    QVERIFY(!list->view()->isVisible());
    QCOMPARE(runs, 0);

    // Tab and Shift+Tab (Backtab, as the keyboard sends it) still move the focus on from the
    // list, as from any other control; with two controls both lead to the other one.
    auto* other = new QLineEdit(&window);
    other->show();
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
      list->setFocus();
      QTest::keyClick(list, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
      QVERIFY(other->hasFocus());
    }

    // After a choice, keys still change nothing.
    QVERIFY(chooseItem(list, 1));
    pressKeys(list, {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_F});
    QCOMPARE(list->currentIndex(), 1);
    QCOMPARE(runs, 1);
  }

  void firstUseCreatesHiddenAndStartsUpBeforeTheSelection() {
    std::vector<std::string> log;
    WindowHub hub;
    int created = 0;
    hub.setFactory(WindowId::PmuControl, [&] {
      ++created;
      return new ListWindow(hub, log);
    });
    QVERIFY(hub.available(WindowId::PmuControl) && !hub.exists(WindowId::PmuControl));

    hub.mirror(Mirrored::PmuMeasure, 1);
    QCOMPARE(created, 1);
    QVERIFY(hub.exists(WindowId::PmuControl));
    QCOMPARE(log,
             (std::vector<std::string>{"created", "start-up, hidden", "handler 0", "handler 1"}));
    QVERIFY(!hub.window(WindowId::PmuControl)->widget()->isVisible());

    // A later use finds the same window; a selection equal to the present one does nothing.
    hub.mirror(Mirrored::PmuMeasure, 1);
    QCOMPARE(created, 1);
    QCOMPARE(log.size(), std::size_t{4});
    hub.destroyAll();
    QVERIFY(!hub.exists(WindowId::PmuControl));
  }

  // A window built when opened: mirroring keeps the latest choice instead of building it, the
  // window starts from that choice, and afterwards mirroring reaches it as any other.
  void windowBuiltWhenOpenedStartsFromTheLatestChoice() {
    std::vector<std::string> log;
    WindowHub hub;
    hub.setFactory(WindowId::PmuControl, [&] { return new ListWindow(hub, log); });
    hub.buildWhenOpened(WindowId::PmuControl);
    hub.mirror(Mirrored::PmuMeasure, 1);
    hub.mirror(Mirrored::PmuMeasure, 2);
    QVERIFY(!hub.exists(WindowId::PmuControl) && log.empty());
    QVERIFY(hub.pendingChoice(Mirrored::PmuMeasure) == std::optional<int>(2));
    hub.show(WindowId::PmuControl);
    QCOMPARE(log,
             (std::vector<std::string>{"created", "start-up, hidden", "handler 2", "handler 0"}));
    QVERIFY(!hub.pendingChoice(Mirrored::PmuMeasure).has_value());
    hub.mirror(Mirrored::PmuMeasure, 1);
    QCOMPARE(log.back(), std::string("handler 1"));
    hub.destroyAll();
  }

  // A window the program does not have is left alone; a window deleted elsewhere leaves the
  // hub with its selectors.
  void unavailableAndDeletedWindowsLeaveTheHub() {
    std::vector<std::string> log;
    WindowHub hub;
    QVERIFY(!hub.available(WindowId::Sweep));
    hub.mirror(Mirrored::SweepCurrentRange, 3);  // must not crash or create
    QCOMPARE(hub.window(WindowId::Sweep), nullptr);
    hub.setFactory(WindowId::PmuControl, [&] { return new ListWindow(hub, log); });
    ManagedWindow* w = hub.window(WindowId::PmuControl);
    QVERIFY(hub.selector(Mirrored::PmuMeasure) != nullptr);
    delete w;
    QVERIFY(!hub.exists(WindowId::PmuControl));
    QCOMPARE(hub.selector(Mirrored::PmuMeasure), nullptr);
  }

  // An exception out of a handler is reported, and the event loop goes on.
  void guardReportsWhatEscapesAHandler() {
    QStringList reports;
    const auto report = [&reports](const QString& text) { reports << text; };
    QVERIFY(deliverGuarded([] { return true; }, report) && reports.isEmpty());
    QVERIFY(!deliverGuarded([]() -> bool { throw std::out_of_range("no field X"); }, report));
    QCOMPARE(reports, QStringList{"An internal error stopped this action: no field X"});
  }

  // The channel message: once per user action, never for a choice made by code.
  void channelMessageOncePerUserActionAndNeverFromCode() {
    UiFixture f;
    QWidget window;
    auto* list = new QComboBox(&window);
    list->addItems(kItems);
    Selector selector(
        list, QStringLiteral("pick one"),
        [&f](int) {
          // Two refused PMU words in one action (no channel bit in either).
          QVERIFY(!f.session().sendPmuWord(0x0021B300));
          QVERIFY(!f.session().sendPmuWord(0x0021B340));
        },
        &f.session());
    QVERIFY(showAndWait(&window));
    const std::size_t mark = f.mark();
    selector.select(1);  // from code: silent
    QCOMPARE(f.messages().count(), 0);
    QVERIFY(chooseItem(list, 2));  // a user's choice: one message for both refusals
    QVERIFY(f.messages().onlyEntryError(texts::kNoChannel));
    QVERIFY(chooseItem(list, 0));  // the next action may show it again
    QCOMPARE(f.messages().count(), 2);
    QVERIFY(f.sentWords(mark).empty());
  }
};

QTEST_MAIN(SelectorTest)
#include "test_selector.moc"
