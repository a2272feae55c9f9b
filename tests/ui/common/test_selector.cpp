// The selector rule, the lists bound to the bench's settings and the window hub: a user's
// choice runs the handler, a choice from code runs it only on a change, a setting's new value
// is shown without running anything, lists ignore the keyboard, and a window is built and
// started up on first use before the access goes on.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include "ui/common/guarded_application.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/setting_lists.h"
#include "ui/common/window_hub.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;

namespace {

const QStringList kItems = {QStringLiteral("first"), QStringLiteral("second"),
                            QStringLiteral("third")};

// A window with a list, for the hub tests; it logs its creation, its start-up and its
// handler's runs.
class ListWindow : public QWidget, public ManagedWindow {
 public:
  ListWindow(WindowHub& hub, std::vector<std::string>& log) : hub_(hub), log_(log) {
    auto* list = new QComboBox(this);
    list->addItems(kItems);
    selector = new Selector(
        list, QStringLiteral("pick one"),
        [this](int index) { log_.push_back("handler " + std::to_string(index)); }, nullptr);
    log_.push_back("created");
  }
  QWidget* widget() override { return this; }
  // Sets its own list and reaches back into itself through the hub, which must hand out the
  // window being started, not build a second one.
  void startUp() override {
    log_.push_back(isVisible() ? "start-up, visible" : "start-up, hidden");
    selector->select(0);
    QCOMPARE(hub_.window(WindowId::PmuControl), static_cast<ManagedWindow*>(this));
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

  void firstUseCreatesHiddenAndStartsUpBeforeTheAccessGoesOn() {
    std::vector<std::string> log;
    WindowHub hub;
    int created = 0;
    hub.setFactory(WindowId::PmuControl, [&] {
      ++created;
      return new ListWindow(hub, log);
    });
    QVERIFY(hub.available(WindowId::PmuControl) && !hub.exists(WindowId::PmuControl));
    QVERIFY(!hub.available(WindowId::Sweep));
    QCOMPARE(hub.window(WindowId::Sweep), nullptr);

    ManagedWindow* w = hub.window(WindowId::PmuControl);
    QCOMPARE(log, (std::vector<std::string>{"created", "start-up, hidden", "handler 0"}));
    QVERIFY(!w->widget()->isVisible());
    // A later use finds the same window without starting it again.
    QCOMPARE(hub.window(WindowId::PmuControl), w);
    QCOMPARE(created, 1);
    // A window deleted elsewhere leaves the hub.
    delete w;
    QVERIFY(!hub.exists(WindowId::PmuControl));
    hub.window(WindowId::PmuControl);
    QCOMPARE(created, 2);
    hub.destroyAll();
    QVERIFY(!hub.exists(WindowId::PmuControl));
  }

  // Two lists bound to one setting: a user's choice in one sends the PMU control window's word
  // once, and the other list shows the new item without running its handler; a value set by
  // the bench itself (as an opened setup sets it) moves both lists and sends nothing more.
  void boundListsFollowTheSettingWithoutRunningHandlers() {
    UiFixture f;
    Session& session = f.session();
    QVERIFY(!session.bench().startUp(session.firmware.path));
    QWidget window;
    std::vector<int> composed;
    Selector* registerList =
        makeSettingList(&window, session, bench::View::RegisterWindow, bench::Setting::Compare,
                        QStringLiteral("Compare Current"),
                        {[&composed](int index) { composed.push_back(index); }, {}});
    int shown = 0;
    Selector* pmuList =
        makeSettingList(&window, session, bench::View::PmuControl, bench::Setting::Compare,
                        QStringLiteral("Compare Current"), {{}, [&shown] { ++shown; }});
    QVERIFY(showAndWait(&window));
    const std::size_t mark = f.mark();
    QVERIFY(chooseItem(registerList->list(), 1));  // "Compare Voltage"
    QCOMPARE(composed, std::vector<int>{1});
    QCOMPARE(pmuList->list()->currentIndex(), 1);
    QCOMPARE(pmuList->handlerRuns(), 0);
    QCOMPARE(shown, 1);
    QCOMPARE(f.sentWords(mark), (std::vector<std::int32_t>{0x0F21B380}));

    // Choosing the item shown: the register window's list sends nothing again.
    QVERIFY(chooseItem(registerList->list(), 1));
    QCOMPARE(f.sentWords(mark).size(), std::size_t{1});
    QCOMPARE(shown, 1);
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
