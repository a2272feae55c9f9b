// The register window driven as a user drives it (list choices, clicks, typing and Enter), with
// the serial words and board requests checked on the simulated board's trace.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "ui/common/mirrored_selectors.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/window_apis.h"
#include "ui/register_window/register_window.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;

namespace {

QString hex8(std::int32_t word) {
  return QString::number(static_cast<std::uint32_t>(word), 16)
      .toUpper()
      .rightJustified(8, QLatin1Char('0'));
}

// The bits a display should show for `word`, highest first.
QString bitsOf(std::int32_t word) {
  return QString::number(static_cast<std::uint32_t>(word), 2).rightJustified(29, QLatin1Char('0'));
}

// One step of a scripted user: "list NAME INDEX", "click NAME", "page INDEX", "dacs INDEX".
bool perform(QWidget* w, const QString& step) {
  const QStringList parts = step.split(QLatin1Char(' '));
  if (parts.value(0) == QLatin1String("list")) {
    return chooseItem(w, parts.value(1), parts.value(2).toInt());
  }
  if (parts.value(0) == QLatin1String("click")) {
    return clickButton(w, parts.value(1));
  }
  if (parts.value(0) == QLatin1String("page")) {
    return selectTab(w, QStringLiteral("tabMain"), parts.value(1).toInt());
  }
  if (parts.value(0) == QLatin1String("dacs")) {
    return selectTab(w, QStringLiteral("tabDACS"), parts.value(1).toInt());
  }
  qWarning("unknown step %s", qPrintable(step));
  return false;
}

// Stands in for the PMU control window: the lists the register window mirrors into, a start-up
// that selects and sends as that window's does (a PMU word while no channel is selected yet),
// and the "Last PMU REG Write" field.
class FakePmuControl : public QWidget, public ManagedWindow, public PmuControlApi {
 public:
  explicit FakePmuControl(Session& session) : session_(session) {
    setObjectName(QStringLiteral("frmPMUControl"));
    for (const Mirrored id :
         {Mirrored::PmuMeasure, Mirrored::PmuCompare, Mirrored::PmuLatched, Mirrored::PmuThermal,
          Mirrored::PmuCurrentGain, Mirrored::PmuMeasoutGain}) {
      auto* list = new QComboBox(this);
      list->setObjectName(mirroredSelector(id).objectName);
      list->addItems({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                      QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")});
      const QString listName = list->objectName();
      auto* selector = new Selector(
          list, QString(),
          [this, listName](int index) {
            log.push_back(listName + QStringLiteral("=") + QString::number(index));
            if (listName == QLatin1String("cboMeasure")) {
              // Composes and sends at once, as that window does, and mirrors back.
              session_.sendPmuWord((session_.words.pmuWord & 0xFFFFFF) | session_.words.chanBits);
              session_.hub().mirror(Mirrored::RegisterMeasure, index);
            }
          },
          &session_);
      session_.hub().registerSelector(id, selector);
    }
  }
  QWidget* widget() override { return this; }
  void startUp() override {
    log.push_back(QStringLiteral("start-up"));
    session_.hub().selector(Mirrored::PmuMeasure)->select(0);
  }
  void showLastPmuWrite(std::int32_t word) override { lastPmuWrite = word; }

  QStringList log;
  std::int32_t lastPmuWrite = -1;

 private:
  Session& session_;
};

}  // namespace

class RegisterWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<UiFixture> f_;
  QWidget* w_ = nullptr;

  // A fresh session with only the register window (plus `withPmuControl`: the stand-in PMU
  // control window), started up; the trace then holds the start-up traffic.
  void start(bool withPmuControl = false) {
    w_ = nullptr;
    f_.reset();
    f_ = std::make_unique<UiFixture>();
    Session& s = f_->session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    if (withPmuControl) {
      s.hub().setFactory(WindowId::PmuControl, [&s] { return new FakePmuControl(s); });
    }
    w_ = f_->startWindow(WindowId::Register);
    QVERIFY(w_ != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(w_));
  }
  RegisterWindow* window() const { return dynamic_cast<RegisterWindow*>(w_); }
  StoredWords& words() { return f_->session().words; }
  QString serialText() const { return find<QLineEdit>(w_, QStringLiteral("txtWRITESPI"))->text(); }
  template <typename T>
  T* get(const QString& name) const {
    T* widget = find<T>(w_, name);
    if (widget == nullptr) {
      qWarning("%s missing", qPrintable(name));
    }
    return widget;
  }
  // The texts of a register display's boxes NAME_28 ... NAME_0.
  QString boxes(const QString& name) const {
    QString text;
    for (int bit = 28; bit >= 0; --bit) {
      auto* box = find<QLineEdit>(w_, QStringLiteral("%1_%2").arg(name).arg(bit));
      text += box != nullptr ? box->text() : QStringLiteral("?");
    }
    return text;
  }
  bool activate() {
    w_->activateWindow();
    QApplication::setActiveWindow(w_);
    return QTest::qWaitForWindowActive(w_);
  }

 private slots:
  void init() { start(); }
  void cleanup() {
    w_ = nullptr;
    f_.reset();
  }

  // ---- start-up -----------------------------------------------------------------------------

  void startUpTrafficAndState() {
    const std::vector<std::string> expected = {"search",     "connect",    "firmware",
                                               "224",        "W 003FE4A0", "W 003FE4A0",
                                               "W 0F21B300", "229=1",      "228=1"};
    QCOMPARE(f_->transcript(), expected);
    QCOMPARE(f_->messages().count(), 0);
    QCOMPARE(w_->windowTitle(), QStringLiteral("KV4410 Evaluation Board Software"));
    QVERIFY(w_->isVisible());

    QCOMPARE(words().sysWord, 0x003FE4A0);
    QCOMPARE(words().pmuWord, 0x0F21B300);
    QCOMPARE(words().chanBits, 0x0F000000);
    QCOMPARE(words().dacWord, 0);
    QCOMPARE(serialText(), QStringLiteral("0F21B300"));
    QCOMPARE(boxes(QStringLiteral("txtSYSREG")), bitsOf(0x003FE4A0));
    QCOMPARE(boxes(QStringLiteral("txtPMUREG")), bitsOf(0x0F21B300));
    QCOMPARE(boxes(QStringLiteral("txtDAC")), bitsOf(0));

    // Lists show the start-up selections; the force and system force/sense lists none.
    const QList<QPair<QString, QString>> lists = {
        {"cboCurrent", "±2mA"},
        {"cboMeasure", "Measure Voltage"},
        {"cboCompare", "Compare Current"},
        {"cboDUTGND", "DUTGND PER DEVICE"},
        {"MEASOUTG", "MEASOUT GAIN =0.2"},
        {"IMEASG", "I MEAS GAIN = 10"},
        {"TEMPSET", "TJ = 130degC"},
        {"cboLatched", "UNLATCHED"},
    };
    for (const auto& [name, text] : lists) {
      QCOMPARE(get<QComboBox>(name)->currentText(), text);
    }
    QCOMPARE(get<QComboBox>(QStringLiteral("cboForce"))->currentIndex(), -1);
    QCOMPARE(get<QComboBox>(QStringLiteral("cboForce"))->placeholderText(),
             QStringLiteral("Force Voltage"));
    QCOMPARE(get<QComboBox>(QStringLiteral("cboSysforce"))->currentIndex(), -1);
    QCOMPARE(get<QComboBox>(QStringLiteral("cboSysforce"))->placeholderText(),
             QStringLiteral("SYSTEM FORCE/SENSE Disconnected"));

    for (int i = 0; i < 4; ++i) {
      QVERIFY(get<QCheckBox>(QStringLiteral("chkCPOLH_%1").arg(i))->isEnabled());
      QVERIFY(!get<QCheckBox>(QStringLiteral("chkPMU_%1").arg(i))->isEnabled());
      QVERIFY(get<QCheckBox>(QStringLiteral("chkPMU_%1").arg(i))->isChecked());
    }
    QVERIFY(get<QPushButton>(QStringLiteral("cmdREADADC"))->isVisible());
    QVERIFY(get<QRadioButton>(QStringLiteral("optCComp_1"))->isChecked());
    QVERIFY(get<QRadioButton>(QStringLiteral("optCFeedforward_1"))->isChecked());
    QCOMPARE(get<QTabWidget>(QStringLiteral("tabMain"))->currentIndex(), 0);
    QCOMPARE(get<QTabWidget>(QStringLiteral("tabDACS"))->currentIndex(), 0);
  }

  void pagesAndMenusInOrder() {
    auto* tabs = get<QTabWidget>(QStringLiteral("tabMain"));
    const QStringList pages = {"WRITE SYSTEM CONTROL REG",
                               "WRITE PMU REG",
                               "WRITE DAC REG",
                               "COMPENSATION SELECTION",
                               "ABOUT",
                               "READ SYSTEM CONTROL REG",
                               "READ PMU REG",
                               "READ DAC REG",
                               "READ STATUS REG",
                               "LITTLE ROUTINES"};
    QCOMPARE(tabs->count(), pages.size());
    for (int i = 0; i < pages.size(); ++i) {
      QCOMPARE(tabs->tabText(i), pages.at(i));
    }
    auto* dacs = get<QTabWidget>(QStringLiteral("tabDACS"));
    QCOMPARE(dacs->count(), 3);
    QCOMPARE(dacs->tabText(1), QStringLiteral("CLL + CLH DACs"));

    auto* bar = qobject_cast<QMainWindow*>(w_)->menuBar();
    QStringList menus;
    for (QAction* a : bar->actions()) {
      menus << a->text();
    }
    QCOMPARE(menus, (QStringList{"File", "Help"}));
    QStringList fileEntries;
    for (QAction* a : bar->actions().at(0)->menu()->actions()) {
      if (!a->isSeparator()) {
        fileEntries << a->text();
      }
    }
    QCOMPARE(fileEntries, (QStringList{"Main PMU Control Window", "Voltage Current Sweeps",
                                       "Automated Test Procedure", "Exit"}));
    // No other window kinds in this session: their entries are there but disabled.
    QVERIFY(!w_->findChild<QAction*>(QStringLiteral("mnuPMUControl"))->isEnabled());
    QVERIFY(!w_->findChild<QAction*>(QStringLiteral("mnuSweeps"))->isEnabled());
    QVERIFY(!w_->findChild<QAction*>(QStringLiteral("mnuAbout"))->isEnabled());
  }

  // The lists of WRITE PMU REG show their initial text like a chosen item, not in the greyed
  // hint colour that makes a list look disabled.
  void listsDrawTheirInitialTextAsText() {
    start();
    for (const char* name : {"cboForce", "cboSysforce"}) {
      auto* list = get<QComboBox>(QString::fromLatin1(name));
      QCOMPARE(list->currentIndex(), -1);
      QCOMPARE(list->palette().color(QPalette::PlaceholderText),
               list->palette().color(QPalette::ButtonText));
    }
  }

  // With a PMU control window: start-up mirrors into it, its own start-up runs inside step 4
  // while no channel is selected (its PMU word is held back, silently), it gets the start-up
  // PMU word for its "Last PMU REG Write" field, and it is shown after the main window.
  void startUpWithPmuControlWindow() {
    start(true);
    auto* pmu = dynamic_cast<FakePmuControl*>(f_->session().hub().window(WindowId::PmuControl));
    QVERIFY(pmu != nullptr);
    QCOMPARE(f_->messages().count(), 0);
    for (std::int32_t word : f_->sentWords()) {
      // System words (no channel bit) are only the two start-up writes.
      if ((word & 0x0F000000) == 0) {
        QCOMPARE(word, 0x003FE4A0);
      }
    }
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{0x003FE4A0, 0x003FE4A0, 0x0F21B300}));
    QCOMPARE(pmu->log.value(0), QStringLiteral("start-up"));
    QVERIFY(pmu->log.contains(QStringLiteral("cboCompare=0")));
    QVERIFY(pmu->log.contains(QStringLiteral("cboMeasout=0")));
    QVERIFY(pmu->log.contains(QStringLiteral("cboMeasI=0")));
    QVERIFY(pmu->log.contains(QStringLiteral("cboTemp=2")));
    QVERIFY(pmu->log.contains(QStringLiteral("cboLatched=0")));
    // Both windows agree on the measure list after the exchange.
    QCOMPARE(get<QComboBox>(QStringLiteral("cboMeasure"))->currentIndex(), 1);
    QCOMPARE(pmu->findChild<QComboBox*>(QStringLiteral("cboMeasure"))->currentIndex(), 1);
    QCOMPARE(pmu->lastPmuWrite, 0x0F21B300);
    QVERIFY(pmu->isVisible());
    QVERIFY(w_->findChild<QAction*>(QStringLiteral("mnuPMUControl"))->isEnabled());

    // A user's choice here reaches the other window at once, and settles.
    f_->messages().clear();
    QVERIFY(selectTab(w_, QStringLiteral("tabMain"), 1));
    QVERIFY(chooseItem(w_, QStringLiteral("cboCompare"), 1));
    QCOMPARE(pmu->findChild<QComboBox*>(QStringLiteral("cboCompare"))->currentIndex(), 1);
  }

  // ---- serial-word field ----------------------------------------------------------------------

  void serialWordEnter_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("fieldAfter");
    QTest::newRow("largest word") << "1fffffff" << QList<int>{0x1FFFFFFF} << ""
                                  << "1FFFFFFF";
    QTest::newRow("zero") << "0" << QList<int>{0} << ""
                          << "00000000";
    QTest::newRow("short word") << "4a0" << QList<int>{0x4A0} << ""
                                << "000004A0";
    QTest::newRow("one above") << "20000000" << QList<int>{} << texts::kSerialTooLarge << "";
    QTest::newRow("all ones") << "FFFFFFFF" << QList<int>{} << texts::kSerialTooLarge << "";
    QTest::newRow("empty") << "" << QList<int>{} << texts::kNotANumber << "";
    QTest::newRow("not hex") << "12g4" << QList<int>{} << texts::kNotANumber << "";
    QTest::newRow("nine digits") << "000000001" << QList<int>{} << texts::kNotANumber << "";
    QTest::newRow("prefix") << "0x10" << QList<int>{} << texts::kNotANumber << "";
  }
  void serialWordEnter() {
    QFETCH(QString, typed);
    QFETCH(QList<int>, sent);
    QFETCH(QString, message);
    QFETCH(QString, fieldAfter);
    const StoredWords before = words();
    f_->clearTrace();
    QVERIFY(typeAndEnter(w_, QStringLiteral("txtWRITESPI"), typed));
    std::vector<std::int32_t> expected(sent.begin(), sent.end());
    QCOMPARE(f_->sentWords(), expected);
    QCOMPARE(serialText(), fieldAfter);
    if (message.isEmpty()) {
      QCOMPARE(f_->messages().count(), 0);
    } else {
      QCOMPARE(f_->messages().count(), 1);
      QCOMPARE(f_->messages().last().text, message);
      QCOMPARE(f_->messages().last().title, texts::kEntryError);
      QVERIFY(f_->messages().last().icon == MessageIcon::Exclamation);
    }
    // A raw word changes no stored word and no display.
    QCOMPARE(words().sysWord, before.sysWord);
    QCOMPARE(words().pmuWord, before.pmuWord);
    QCOMPARE(words().dacWord, before.dacWord);
    QCOMPARE(boxes(QStringLiteral("txtPMUREG")), bitsOf(0x0F21B300));
  }

  void serialWordFocusLoss() {
    QVERIFY(activate());
    auto* field = get<QLineEdit>(QStringLiteral("txtWRITESPI"));
    f_->clearTrace();

    // A valid text is only upper-cased: nothing sent, no range test.
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeText(field, QStringLiteral("2000000a")));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(field->text(), QStringLiteral("2000000A"));
    QVERIFY(!field->hasFocus());
    QCOMPARE(f_->messages().count(), 0);

    // An invalid text: the message, the field emptied and focused.
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeText(field, QStringLiteral("xyz")));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(f_->messages().count(), 1);
    QCOMPARE(f_->messages().last().text, texts::kNotANumber);
    QCOMPARE(field->text(), QString());
    QTRY_VERIFY(field->hasFocus());

    // The empty field may be left now (it used to trap the user in an endless message).
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_VERIFY(!field->hasFocus());
    QTest::qWait(20);
    QCOMPARE(f_->messages().count(), 1);
    QVERIFY(f_->sentWords().empty());
  }

  // A message box takes the focus from the field while it is open; that must not run the
  // field's check a second time (which would stack message upon message).
  void serialWordMessageDoesNotRecheckWhileOpen() {
    QVERIFY(activate());
    auto* field = get<QLineEdit>(QStringLiteral("txtWRITESPI"));
    auto* elsewhere = get<QPushButton>(QStringLiteral("cmdRESET"));
    f_->messages().duringShow = [elsewhere](const RecordedMessage&) {
      elsewhere->setFocus(Qt::MouseFocusReason);
      QTest::qWait(10);
    };
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeAndEnter(field, QStringLiteral("nothex")));
    QTest::qWait(20);
    QCOMPARE(f_->messages().count(), 1);

    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeText(field, QStringLiteral("q")));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(f_->messages().count(), 2);
    QTest::qWait(20);
    QCOMPARE(f_->messages().count(), 2);
    f_->messages().duringShow = nullptr;
  }

  // ---- common controls ----------------------------------------------------------------------

  void pageChangeRules() {
    auto* loadFrame = get<QGroupBox>(QStringLiteral("fraLOAD"));
    auto* channelFrame = get<QGroupBox>(QStringLiteral("fraPMUCHSELECT"));
    auto* pmu0 = get<QCheckBox>(QStringLiteral("chkPMU_0"));

    // Thermal shutdown off, then away and back: opening the page sets bit 5 again.
    QVERIFY(chooseItem(w_, QStringLiteral("TEMPSET"), 0));
    QCOMPARE(words().sysWord, 0x003FE480);
    QCOMPARE(serialText(), QStringLiteral("003FE480"));

    QVERIFY(perform(w_, QStringLiteral("page 2")));  // WRITE DAC REG
    QCOMPARE(words().dacWord, 0x0F000000);
    QCOMPARE(serialText(), QStringLiteral("0F000000"));
    QVERIFY(loadFrame->isVisible() && channelFrame->isVisible());
    QVERIFY(pmu0->isVisible() && pmu0->isEnabled());

    QVERIFY(perform(w_, QStringLiteral("page 3")));  // COMPENSATION SELECTION
    QCOMPARE(serialText(), QStringLiteral("003FE480"));
    QVERIFY(!loadFrame->isVisible() && !channelFrame->isVisible());

    QVERIFY(perform(w_, QStringLiteral("page 9")));  // LITTLE ROUTINES
    QVERIFY(!loadFrame->isVisible() && channelFrame->isVisible() && pmu0->isVisible());

    QVERIFY(perform(w_, QStringLiteral("page 6")));  // READ PMU REG
    QVERIFY((words().pmuRequestWord & 0x18000000) == 0x18000000);
    QCOMPARE(serialText(), hex8(words().pmuRequestWord));

    QVERIFY(perform(w_, QStringLiteral("page 7")));  // READ DAC REG
    QVERIFY((words().dacRequestWord & 0x18C80000) == 0x18C80000);
    QCOMPARE(serialText(), hex8(words().dacRequestWord));

    QVERIFY(perform(w_, QStringLiteral("page 0")));
    QCOMPARE(words().sysWord, 0x003FE4A0);
    QCOMPARE(serialText(), QStringLiteral("003FE4A0"));
    QVERIFY(loadFrame->isVisible() && channelFrame->isVisible());
    QVERIFY(!pmu0->isVisible());

    // WRITE PMU REG ORs the channel selection into pmuWord.
    words().pmuWord &= 0xFFFFFF;
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    QCOMPARE(words().pmuWord, 0x0F21B300);
    QCOMPARE(serialText(), QStringLiteral("0F21B300"));
    QVERIFY(f_->sentWords(9).empty());  // page changes send nothing
  }

  void channelSelection() {
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    f_->clearTrace();
    QVERIFY(clickButton(w_, QStringLiteral("chkPMU_1")));
    QCOMPARE(words().chanBits, 0x0D000000);
    QCOMPARE(words().pmuWord, 0x0D21B300);
    QVERIFY((words().dacRequestWord & 0x0F000000) == 0x0D000000);
    QCOMPARE(serialText(), QStringLiteral("0D21B300"));
    QCOMPARE(boxes(QStringLiteral("txtDAC")), bitsOf(0x0D000000));
    QVERIFY(clickButton(w_, QStringLiteral("chkPMU_1")));
    QCOMPARE(words().chanBits, 0x0F000000);
    QCOMPARE(words().pmuWord, 0x0F21B300);
    QVERIFY(f_->trace().empty());
  }

  void resetLoadAndAdc() {
    f_->clearTrace();
    const StoredWords before = words();
    QVERIFY(clickButton(w_, QStringLiteral("cmdRESET")));
    QCOMPARE(f_->transcript(), (std::vector<std::string>{"219"}));
    QCOMPARE(serialText(), QStringLiteral("00000000"));
    QCOMPARE(words().sysWord, before.sysWord);
    QCOMPARE(words().pmuWord, before.pmuWord);

    auto* load = get<QCheckBox>(QStringLiteral("chkLOAD"));
    QCOMPARE(load->text(), QStringLiteral("/LOAD is low"));
    f_->clearTrace();
    QVERIFY(clickButton(load));
    QCOMPARE(f_->transcript(), (std::vector<std::string>{"226"}));
    QCOMPARE(load->text(), QStringLiteral("/LOAD is high"));
    QVERIFY(clickButton(load));
    QCOMPARE(f_->transcript(), (std::vector<std::string>{"226", "227"}));
    QCOMPARE(load->text(), QStringLiteral("/LOAD is low"));

    // The pulse ticks the box, which drives /LOAD high through its own handler...
    f_->clearTrace();
    QVERIFY(clickButton(w_, QStringLiteral("cmdPULSELOAD")));
    QCOMPARE(f_->transcript(), (std::vector<std::string>{"222", "226"}));
    QVERIFY(load->isChecked());
    QCOMPARE(load->text(), QStringLiteral("/LOAD is high"));
    // ...but only when it was low.
    QVERIFY(clickButton(w_, QStringLiteral("cmdPULSELOAD")));
    QCOMPARE(f_->transcript(), (std::vector<std::string>{"222", "226", "222"}));

    f_->clearTrace();
    QVERIFY(clickButton(w_, QStringLiteral("cmdREADADC")));
    QCOMPARE(f_->requestNumbers(), (std::vector<int>{232, 233}));
    const TraceRequest adc = f_->requestsOf(233).at(0);
    QCOMPARE(adc.data.size(), std::size_t{3});
    const int reading = adc.data[0] | (adc.data[1] << 8);
    QCOMPARE(get<QLabel>(QStringLiteral("lblREADSPI"))->text(),
             QString::number(reading, 16).toUpper().rightJustified(6, QLatin1Char('0')));
  }

  void listsDiscardTypedKeys() {
    QVERIFY(activate());
    const QStringList systemLists = {"cboDUTGND", "MEASOUTG", "IMEASG", "TEMPSET", "cboLatched"};
    const QStringList pmuLists = {"cboForce", "cboCurrent", "cboMeasure", "cboCompare",
                                  "cboSysforce"};
    f_->clearTrace();
    const StoredWords before = words();
    auto check = [this, &before](const QStringList& names) {
      for (const QString& name : names) {
        auto* list = get<QComboBox>(name);
        const int index = list->currentIndex();
        list->setFocus(Qt::MouseFocusReason);
        pressKeys(list, {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_M,
                         Qt::Key_1, Qt::Key_Space, Qt::Key_Return});
        QCOMPARE(list->currentIndex(), index);
        QVERIFY(!list->view()->isVisible());
      }
      QCOMPARE(words().sysWord, before.sysWord);
      QCOMPARE(words().pmuWord, before.pmuWord);
    };
    check(systemLists);
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    check(pmuLists);
    QVERIFY(f_->sentWords().empty());
  }

  // ---- WRITE SYSTEM CONTROL REG -------------------------------------------------------------

  void systemWords_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("written");
    QTest::newRow("start-up selections") << QStringList{} << 0x003FE4A0;
    QTest::newRow("latched, 100 degC")
        << QStringList{"list cboLatched 1", "list TEMPSET 5"} << 0x003FE4BC;
    QTest::newRow("thermal disabled") << QStringList{"list TEMPSET 0"} << 0x003FE480;
    QTest::newRow("thermal enabled = 130 degC") << QStringList{"list TEMPSET 1"} << 0x003FE4A0;
    QTest::newRow("110 degC") << QStringList{"list TEMPSET 4"} << 0x003FE4B0;
    QTest::newRow("CH2 clamp off") << QStringList{"click chkCLAMP_2"} << 0x002FE4A0;
    QTest::newRow("guard function, guard alarm, 10k")
        << QStringList{"click chkALARM_0", "click chkALARM_1", "click chk10K"} << 0x003FEFA0;
    QTest::newRow("clamp alarm off") << QStringList{"click chkALARM_2"} << 0x003FE0A0;
    QTest::newRow("DUTGND per channel") << QStringList{"list cboDUTGND 0"} << 0x003FF4A0;
    QTest::newRow("I meas gain 5") << QStringList{"list IMEASG 1"} << 0x003FE4E0;
    QTest::newRow("CPOLH0 and comparator bias off")
        << QStringList{"click chkCPOLH_0", "click chkCPBIASEN"} << 0x003F84A0;
    QTest::newRow("unlatched again clears only bit 2")
        << QStringList{"list cboLatched 1", "list cboLatched 0"} << 0x003FE4A0;
  }
  void systemWords() {
    QFETCH(QStringList, steps);
    QFETCH(int, written);
    f_->clearTrace();
    for (const QString& step : steps) {
      QVERIFY2(perform(w_, step), qPrintable(step));
      // A selection composes and shows the word; it sends nothing.
      QCOMPARE(serialText(), hex8(words().sysWord));
    }
    QVERIFY(f_->sentWords().empty());
    QVERIFY(clickButton(w_, QStringLiteral("cmdWRITESYS")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{written}));
    QCOMPARE(words().sysWord, written);
    QCOMPARE(boxes(QStringLiteral("txtSYSREG")), bitsOf(written));
    QCOMPARE(f_->messages().count(), 0);
  }

  void measoutGainWarning() {
    Session& s = f_->session();
    f_->clearTrace();
    QVERIFY(chooseItem(w_, QStringLiteral("MEASOUTG"), 1));
    QWidget* box = s.measoutWarningBox.data();
    QVERIFY(box != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QCOMPARE(box->windowTitle(), QStringLiteral("ABOUT"));
    QCOMPARE(box->findChild<QLabel*>(QStringLiteral("lblVersion_0"))->text(),
             QStringLiteral(" PLEASE NOW ENSURE THAT LINKS LK10,11,12,13 ARE REMOVED FROM THE "
                            "BOARD."));
    QCOMPARE(words().sysWord, 0x003FE420);
    QVERIFY(f_->sentWords().empty());

    // Cancel puts gain 0.2 back into sysWord and shows it; nothing is sent.
    QVERIFY(clickButton(box->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))));
    QVERIFY(!box->isVisible());
    QCOMPARE(words().sysWord, 0x003FE4A0);
    QCOMPARE(serialText(), QStringLiteral("003FE4A0"));
    QVERIFY(f_->sentWords().empty());

    // The list still says gain 1: writing rebuilds bit 7 as 0 and opens the box again.
    QVERIFY(clickButton(w_, QStringLiteral("cmdWRITESYS")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{0x003FE420}));
    QVERIFY(box->isVisible());

    // OK keeps gain 1.
    QVERIFY(clickButton(box->findChild<QPushButton*>(QStringLiteral("cmdOK"))));
    QVERIFY(!box->isVisible());
    QCOMPARE(words().sysWord, 0x003FE420);
    QCOMPARE(f_->sentWords().size(), std::size_t{1});

    // Back to 0.2: no box.
    QVERIFY(chooseItem(w_, QStringLiteral("MEASOUTG"), 0));
    QVERIFY(!box->isVisible());
    QCOMPARE(words().sysWord, 0x003FE4A0);
  }

  // ---- WRITE PMU REG ------------------------------------------------------------------------

  void pmuWords_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("written");
    QTest::newRow("start-up selections") << QStringList{} << 0x0F21B300;
    QTest::newRow("PMU1 and PMU3 cleared")
        << QStringList{"click chkPMU_1", "click chkPMU_3"} << 0x0521B300;
    QTest::newRow("force current") << QStringList{"list cboForce 1"} << 0x0F29B300;
    QTest::newRow("Hi-Z FOH current") << QStringList{"list cboForce 3"} << 0x0F39B300;
    QTest::newRow("enable int range") << QStringList{"list cboCurrent 6"} << 0x0F233300;
    QTest::newRow("5uA range") << QStringList{"list cboCurrent 0"} << 0x0F203300;
    QTest::newRow("measure current") << QStringList{"list cboMeasure 0"} << 0x0F219300;
    QTest::newRow("Hi-Z measout") << QStringList{"list cboMeasure 3"} << 0x0F21F300;
    QTest::newRow("compare voltage") << QStringList{"list cboCompare 1"} << 0x0F21B380;
    QTest::newRow("system force/sense connected")
        << QStringList{"list cboSysforce 3"} << 0x0F21BF00;
    QTest::newRow("sys-force hi-z, sense conn") << QStringList{"list cboSysforce 1"} << 0x0F21B700;
    QTest::newRow("FIN to ground") << QStringList{"click chkFIN"} << 0x0F21A300;
    QTest::newRow("comparator output off") << QStringList{"click chkCPOEN"} << 0x0F21B200;
    QTest::newRow("clamp off") << QStringList{"click chkCLAMPEN"} << 0x0F21B100;
    QTest::newRow("channel disabled") << QStringList{"click chkENABLE"} << 0x0F01B300;
  }
  void pmuWords() {
    QFETCH(QStringList, steps);
    QFETCH(int, written);
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    f_->clearTrace();
    for (const QString& step : steps) {
      QVERIFY2(perform(w_, step), qPrintable(step));
      QCOMPARE(serialText(), hex8(words().pmuWord));
    }
    QVERIFY(f_->sentWords().empty());
    QVERIFY(clickButton(w_, QStringLiteral("cmdWRITEPMU")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{written}));
    QCOMPARE(boxes(QStringLiteral("txtPMUREG")), bitsOf(written));
    QCOMPARE(f_->messages().count(), 0);
  }

  void clearLatchedBits() {
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    f_->clearTrace();
    QVERIFY(clickButton(w_, QStringLiteral("cmdCLEARLATCHED")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{0x0F21B340, 0x0F21B300}));
    QCOMPARE(words().pmuWord, 0x0F21B300);
    // CLEAR set by another page stays in pmuWord until this button clears it.
    words().pmuWord |= 0x40;
    f_->clearTrace();
    QVERIFY(clickButton(w_, QStringLiteral("cmdWRITEPMU")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{0x0F21B340}));
  }

  // With no channel ticked a PMU word would land in the system control register: it is held
  // back, with one message per user action.
  void pmuWordNeedsAChannel() {
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    for (int i = 0; i < 4; ++i) {
      QVERIFY(clickButton(w_, QStringLiteral("chkPMU_%1").arg(i)));
    }
    QCOMPARE(words().chanBits, 0);
    f_->clearTrace();
    QCOMPARE(f_->messages().count(), 0);

    QVERIFY(clickButton(w_, QStringLiteral("cmdWRITEPMU")));
    QVERIFY(f_->sentWords().empty());
    QCOMPARE(f_->messages().count(), 1);
    QCOMPARE(f_->messages().last().text, texts::kNoChannel);
    QCOMPARE(f_->messages().last().title, texts::kEntryError);
    QVERIFY(f_->messages().last().icon == MessageIcon::Warning);
    QCOMPARE(boxes(QStringLiteral("txtPMUREG")), bitsOf(0x0F21B300));

    // Two refused words in one press: still one message.
    QVERIFY(clickButton(w_, QStringLiteral("cmdCLEARLATCHED")));
    QVERIFY(f_->sentWords().empty());
    QCOMPARE(f_->messages().count(), 2);

    // A DAC word keeps going out without channel bits (the chip ignores it).
    QVERIFY(perform(w_, QStringLiteral("page 2")));
    QVERIFY(typeAndEnter(w_, QStringLiteral("txtFINx1_5"), QStringLiteral("1234")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{0x00CD1234}));
    QCOMPARE(f_->messages().count(), 2);

    // One channel back: the PMU word goes to it.
    QVERIFY(perform(w_, QStringLiteral("page 1")));
    QVERIFY(clickButton(w_, QStringLiteral("chkPMU_2")));
    f_->clearTrace();
    QVERIFY(clickButton(w_, QStringLiteral("cmdWRITEPMU")));
    QCOMPARE(f_->sentWords(), (std::vector<std::int32_t>{0x0421B300}));
  }

  // ---- WRITE DAC REG ------------------------------------------------------------------------

  void dacFields_data() {
    QTest::addColumn<int>("subPage");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("channelsOff");
    QTest::addColumn<QString>("fieldAfter");
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QString>("message");
    const QStringList all;
    QTest::newRow("CLH m reg, voltage range, PMU1 only")
        << 1 << "txtCLHM_5"
        << "7" << QStringList{"chkPMU_0", "chkPMU_2", "chkPMU_3"} << "0007"
        << QList<int>{0x025D0007} << "";
    QTest::newRow("offset DAC as shown") << 0 << "OFFSETx1_0"
                                         << "A492" << all << "A492" << QList<int>{0x0FC0A492} << "";
    QTest::newRow("FIN x1, 200uA") << 0 << "txtFINx1_2"
                                   << "1234" << all << "1234" << QList<int>{0x0FCA1234} << "";
    QTest::newRow("lower case") << 0 << "txtFINx1_0"
                                << "ffff" << all << "FFFF" << QList<int>{0x0FC8FFFF} << "";
    QTest::newRow("eight digits keep the last four")
        << 2 << "txtCPLx1_3"
        << "0000abcd" << all << "ABCD" << QList<int>{0x0FE3ABCD} << "";
    QTest::newRow("one digit padded") << 2 << "txtCPHC_0"
                                      << "a" << all << "000A" << QList<int>{0x0FA8000A} << "";
    QTest::newRow("five digits in range keep their length")
        << 0 << "txtFINC_1"
        << "0ffff" << all << "0FFFF" << QList<int>{0x0F89FFFF} << "";
    QTest::newRow("CLL x1 current ranges") << 1 << "txtCLLx1_4"
                                           << "1" << all << "0001" << QList<int>{0x0FD40001} << "";
    QTest::newRow("CPH m reg, ext") << 2 << "txtCPHM_4"
                                    << "8000" << all << "8000" << QList<int>{0x0F6C8000} << "";
    QTest::newRow("too large") << 0 << "txtFINC_4"
                               << "10000" << all << "" << QList<int>{} << texts::kCodeTooLarge;
    QTest::newRow("negative eight digits")
        << 0 << "txtFINM_1"
        << "FFFFFFFF" << all << "" << QList<int>{} << texts::kCodeTooLarge;
    QTest::newRow("empty") << 2 << "txtCPHC_5"
                           << "" << all << "" << QList<int>{} << texts::kNotANumber;
    QTest::newRow("blank inside") << 1 << "txtCLLx1_5"
                                  << "12 3" << all << "" << QList<int>{} << texts::kNotANumber;
    QTest::newRow("nine digits") << 0 << "txtFINx1_3"
                                 << "000001234" << all << "" << QList<int>{} << texts::kNotANumber;
  }
  void dacFields() {
    QFETCH(int, subPage);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QStringList, channelsOff);
    QFETCH(QString, fieldAfter);
    QFETCH(QList<int>, sent);
    QFETCH(QString, message);
    QVERIFY(perform(w_, QStringLiteral("page 2")));
    for (const QString& box : channelsOff) {
      QVERIFY(clickButton(w_, box));
    }
    QVERIFY(perform(w_, QStringLiteral("dacs %1").arg(subPage)));
    f_->clearTrace();
    const std::int32_t dacWordBefore = words().dacWord;
    QVERIFY(typeAndEnter(w_, field, typed));
    QCOMPARE(get<QLineEdit>(field)->text(), fieldAfter);
    std::vector<std::int32_t> expected(sent.begin(), sent.end());
    QCOMPARE(f_->sentWords(), expected);
    if (message.isEmpty()) {
      QCOMPARE(f_->messages().count(), 0);
      QCOMPARE(words().dacWord, expected.back());
      QCOMPARE(serialText(), hex8(expected.back()));
      QCOMPARE(boxes(QStringLiteral("txtDAC")), bitsOf(expected.back()));
    } else {
      QCOMPARE(f_->messages().count(), 1);
      QCOMPARE(f_->messages().last().text, message);
      QCOMPARE(f_->messages().last().title, texts::kEntryError);
      QVERIFY(f_->messages().last().icon == MessageIcon::Exclamation);
      QCOMPARE(words().dacWord, dacWordBefore);
    }
  }

  void dacFieldsHoldTheirOwnCodes() {
    QVERIFY(perform(w_, QStringLiteral("page 2")));
    QVERIFY(perform(w_, QStringLiteral("dacs 2")));
    // Every CPH c reg field sends its own text with its own level.
    for (int level = 0; level <= 5; ++level) {
      QVERIFY(typeText(get<QLineEdit>(QStringLiteral("txtCPHC_%1").arg(level)),
                       QStringLiteral("%1").arg(0x100 + level, 0, 16)));
    }
    f_->clearTrace();
    for (int level = 0; level <= 5; ++level) {
      QTest::keyClick(get<QLineEdit>(QStringLiteral("txtCPHC_%1").arg(level)), Qt::Key_Return);
    }
    std::vector<std::int32_t> expected;
    for (int level = 0; level <= 5; ++level) {
      expected.push_back(0x0FA80000 | (level << 16) | (0x100 + level));
    }
    QCOMPARE(f_->sentWords(), expected);
  }

  void initialDacTexts() {
    const QList<QPair<QString, QString>> texts = {{"OFFSETx1_0", "A492"}, {"txtFINM_0", "FFFF"},
                                                  {"txtFINC_5", "8000"},  {"txtFINx1_3", "8000"},
                                                  {"txtCLLx1_4", "0000"}, {"txtCLHx1_5", "FFFF"},
                                                  {"txtCPLx1_0", "0000"}, {"txtCPHx1_2", "FFFF"},
                                                  {"txtCLLM_5", "FFFF"},  {"txtCLHC_4", "8000"}};
    for (const auto& [name, text] : texts) {
      QCOMPARE(get<QLineEdit>(name)->text(), text);
    }
    QCOMPARE(
        w_->findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^txtCLL(M|C|x1)_[0-9]$")))
            .size(),
        6);
    QCOMPARE(
        w_->findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^txtFIN(M|C|x1)_[0-9]$")))
            .size(),
        18);
    QVERIFY(get<QLineEdit>(QStringLiteral("txtCLLM_3")) == nullptr);
  }

  void showDacPageFromOutside() {
    f_->clearTrace();
    RegisterWindowApi* api = window();
    api->showDacPage(2);
    QCOMPARE(get<QTabWidget>(QStringLiteral("tabMain"))->currentIndex(), 2);
    QCOMPARE(get<QTabWidget>(QStringLiteral("tabDACS"))->currentIndex(), 2);
    QCOMPARE(words().dacWord, 0x0F000000);
    api->showDacPage(1);
    QCOMPARE(get<QTabWidget>(QStringLiteral("tabDACS"))->currentIndex(), 1);
    QVERIFY(f_->sentWords().empty());
  }

  // ---- COMPENSATION SELECTION ---------------------------------------------------------------

  void compensationButtons() {
    QVERIFY(perform(w_, QStringLiteral("page 3")));
    f_->clearTrace();
    for (const char* name : {"optCComp_2", "optCFeedforward_3", "optCFeedforward_2", "optCComp_1",
                             "optCFeedforward_1"}) {
      QVERIFY(clickButton(w_, QString::fromLatin1(name)));
    }
    QCOMPARE(f_->transcript(),
             (std::vector<std::string>{"228=2", "229=3", "229=2", "228=1", "229=1"}));
    QVERIFY(get<QRadioButton>(QStringLiteral("optCFeedforward_1"))->isChecked());
    QVERIFY(!get<QRadioButton>(QStringLiteral("optCFeedforward_3"))->isChecked());
    QCOMPARE(get<QRadioButton>(QStringLiteral("optCComp_2"))->text(), QStringLiteral("1nF"));
    QCOMPARE(get<QRadioButton>(QStringLiteral("optCFeedforward_3"))->text(),
             QStringLiteral("10nF"));
  }
};

QTEST_MAIN(RegisterWindowTest)
#include "test_register_window.moc"
