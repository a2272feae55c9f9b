// The selector rule and the window hub, alone: a user's choice runs the handler, a choice from
// code runs it only on a change, lists ignore the keyboard, two mirrored selectors settle after
// one exchange, and a window is built and started up on first use before the access goes on.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <memory>

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

// A window with one list, for the hub tests: the register window's or the PMU control window's
// measure list. Its handler records what it saw and may mirror into the other one.
class ListWindow : public QWidget, public ManagedWindow {
 public:
  ListWindow(WindowHub& hub, WindowId id, std::vector<std::string>& log, Session* session)
      : hub_(hub),
        id_(id == WindowId::Register ? Mirrored::RegisterMeasure : Mirrored::PmuMeasure),
        log_(log) {
    setObjectName(id == WindowId::Register ? QStringLiteral("one") : QStringLiteral("two"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QComboBox(this);
    list_->setObjectName(mirroredSelector(id_).objectName);
    list_->addItems(kItems);
    layout->addWidget(list_);
    selector = new Selector(
        list_, QStringLiteral("pick one"),
        [this](int index) {
          log_.push_back(objectName().toStdString() + " handler " + std::to_string(index));
          if (mirrorTo) {
            hub_.mirror(*mirrorTo, index);
          }
        },
        session);
    hub_.registerSelector(id_, selector);
    log_.push_back(objectName().toStdString() + " created");
  }
  QWidget* widget() override { return this; }
  void startUp() override {
    log_.push_back(objectName().toStdString() +
                   " start-up, visible=" + (isVisible() ? "yes" : "no"));
    if (startUpAction) {
      startUpAction();
    }
  }

  Selector* selector = nullptr;
  std::optional<Mirrored> mirrorTo;
  std::function<void()> startUpAction;
  QComboBox* list() const { return list_; }

 private:
  WindowHub& hub_;
  Mirrored id_;
  std::vector<std::string>& log_;
  QComboBox* list_ = nullptr;
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
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->placeholderText(), QStringLiteral("pick one"));
    QCOMPARE(selector.index(), -1);
    QVERIFY(showAndWait(&window));
    QVERIFY(chooseItem(list, 2));
    QVERIFY(chooseItem(list, 2));
    for (int s : {2, 1, 1, 0, 2, 0, -1, -1, 7}) {
      selector.select(s);
    }
    QCOMPARE(runs, (QList<int>{2, 2, 1, 0, 2, 0, -1}));
    QCOMPARE(selector.handlerRuns(), 7);
  }

  void checkBoxStartsWithoutHandlerAndFollowsTheRule() {
    QWidget window;
    auto* box = new QCheckBox(QStringLiteral("box"), &window);
    QList<int> runs;
    Selector selector(
        box, true, [&runs](int on) { runs << on; }, nullptr);
    QVERIFY(box->isChecked());
    QVERIFY(runs.isEmpty());

    selector.select(1);  // already ticked
    QVERIFY(runs.isEmpty());
    selector.select(0);
    QCOMPARE(runs, (QList<int>{0}));
    QVERIFY(!box->isChecked());

    QVERIFY(showAndWait(&window));
    QVERIFY(clickButton(box));
    QCOMPARE(runs, (QList<int>{0, 1}));
    QVERIFY(box->isChecked());
    selector.runHandler();
    QCOMPARE(runs, (QList<int>{0, 1, 1}));
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

  void mirroredPairSettlesAfterOneExchange() {
    std::vector<std::string> log;
    WindowHub hub;
    hub.setFactory(WindowId::Register, [&] {
      auto* w = new ListWindow(hub, WindowId::Register, log, nullptr);
      w->mirrorTo = Mirrored::PmuMeasure;
      return w;
    });
    hub.setFactory(WindowId::PmuControl, [&] {
      auto* w = new ListWindow(hub, WindowId::PmuControl, log, nullptr);
      w->mirrorTo = Mirrored::RegisterMeasure;
      return w;
    });
    auto* one = dynamic_cast<ListWindow*>(hub.window(WindowId::Register));
    auto* two = dynamic_cast<ListWindow*>(hub.window(WindowId::PmuControl));
    QVERIFY(one != nullptr && two != nullptr);
    QVERIFY(showAndWait(one));
    log.clear();

    QVERIFY(chooseItem(one->list(), 2));
    QCOMPARE(two->list()->currentIndex(), 2);
    QCOMPARE(one->selector->handlerRuns(), 1);
    QCOMPARE(two->selector->handlerRuns(), 1);
    QCOMPARE(log, (std::vector<std::string>{"one handler 2", "two handler 2"}));

    // From the other side, by code: the same single exchange.
    two->selector->select(0);
    QCOMPARE(one->list()->currentIndex(), 0);
    QCOMPARE(one->selector->handlerRuns(), 2);
    QCOMPARE(two->selector->handlerRuns(), 2);
    hub.destroyAll();
  }

  void firstUseCreatesHiddenAndStartsUpBeforeTheSelection() {
    std::vector<std::string> log;
    WindowHub hub;
    int created = 0;
    hub.setFactory(WindowId::PmuControl, [&] {
      ++created;
      auto* w = new ListWindow(hub, WindowId::PmuControl, log, nullptr);
      // Its start-up sets its own list and reaches back into itself through the hub: the hub
      // must hand out the window being started, not build a second one.
      w->startUpAction = [&hub, w] {
        w->selector->select(0);
        QCOMPARE(hub.window(WindowId::PmuControl), static_cast<ManagedWindow*>(w));
        hub.mirror(Mirrored::PmuMeasure, 0);
      };
      return w;
    });
    QVERIFY(hub.available(WindowId::PmuControl));
    QVERIFY(!hub.exists(WindowId::PmuControl));

    hub.mirror(Mirrored::PmuMeasure, 1);
    QCOMPARE(created, 1);
    QVERIFY(hub.exists(WindowId::PmuControl));
    QCOMPARE(log, (std::vector<std::string>{"two created", "two start-up, visible=no",
                                            "two handler 0", "two handler 1"}));
    QVERIFY(!hub.window(WindowId::PmuControl)->widget()->isVisible());

    // A later use finds the same window; a selection equal to the present one does nothing.
    hub.mirror(Mirrored::PmuMeasure, 1);
    QCOMPARE(created, 1);
    QCOMPARE(log.size(), std::size_t{4});
    hub.destroyAll();
    QVERIFY(!hub.exists(WindowId::PmuControl));
  }

  // A window the program does not have is left alone; a window deleted elsewhere leaves the
  // hub with its selectors.
  void unavailableAndDeletedWindowsLeaveTheHub() {
    std::vector<std::string> log;
    WindowHub hub;
    QVERIFY(!hub.available(WindowId::Sweep));
    hub.mirror(Mirrored::SweepCurrentRange, 3);  // must not crash or create
    QCOMPARE(hub.window(WindowId::Sweep), nullptr);
    hub.setFactory(WindowId::PmuControl,
                   [&] { return new ListWindow(hub, WindowId::PmuControl, log, nullptr); });
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
    QVERIFY(deliverGuarded([] { return true; }, report));
    QVERIFY(reports.isEmpty());
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
    f.clearTrace();

    selector.select(1);  // from code: silent
    QCOMPARE(f.messages().count(), 0);

    QVERIFY(chooseItem(list, 2));  // a user's choice: one message for both refusals
    QCOMPARE(f.messages().count(), 1);
    QCOMPARE(f.messages().last().text, texts::kNoChannel);
    QCOMPARE(f.messages().last().title, texts::kEntryError);
    QVERIFY(f.messages().last().icon == MessageIcon::Warning);

    QVERIFY(chooseItem(list, 0));  // the next action may show it again
    QCOMPARE(f.messages().count(), 2);
    QVERIFY(f.sentWords().empty());

    // A word with a channel bit goes out unchanged.
    QVERIFY(f.session().sendPmuWord(0x0121B300));
    QCOMPARE(f.sentWords(), (std::vector<std::int32_t>{0x0121B300}));
  }
};

QTEST_MAIN(SelectorTest)
#include "test_selector.moc"
