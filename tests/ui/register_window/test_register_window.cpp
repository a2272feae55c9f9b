// The register window driven as a user drives it (list choices, clicks, typing and Enter), with
// the serial words and board requests checked on the simulated board's trace.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <tuple>

#include "board/simulated_board.h"
#include "ui/common/session.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;
using Words = std::vector<std::int32_t>;

namespace {

// The bits a display should show for `word`, highest first.
QString bitsOf(std::int32_t word) {
  return QString::number(static_cast<std::uint32_t>(word), 2).rightJustified(29, QLatin1Char('0'));
}

// One step of a scripted user: "list NAME INDEX", "click NAME", "page INDEX", "dacs INDEX".
bool perform(QWidget* w, const QString& step) {
  const QStringList parts = step.split(QLatin1Char(' '));
  const QString& verb = parts.value(0);
  if (verb == QLatin1String("list")) {
    return chooseItem(w, parts.value(1), parts.value(2).toInt());
  }
  if (verb == QLatin1String("click")) {
    return clickButton(w, parts.value(1));
  }
  return selectTab(w, verb == QLatin1String("page") ? "tabMain" : "tabDACS",
                   parts.value(1).toInt());
}

}  // namespace

class RegisterWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<UiFixture> f_;
  QWidget* w_ = nullptr;

  // A fresh session with only the register window, started up; the trace then holds the
  // start-up traffic.
  void start() {
    w_ = nullptr;
    f_ = std::make_unique<UiFixture>();
    Session& s = f_->session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    w_ = f_->startWindow(WindowId::Register);
    QVERIFY(w_ != nullptr && QTest::qWaitForWindowExposed(w_));
  }
  StoredWords& words() { return f_->session().words; }
  QString serialText() const { return textOf(w_, "txtWRITESPI"); }
  template <typename T>
  T* get(const QString& name) const {
    return find<T>(w_, name);
  }
  bool activate() {
    w_->activateWindow();
    QApplication::setActiveWindow(w_);
    return QTest::qWaitForWindowActive(w_);
  }
  // Exactly one recorded entry error with this text (none when `text` is empty).
  bool messageIs(const QString& text) const {
    return text.isEmpty() ? f_->messages().count() == 0 : f_->messages().onlyEntryError(text);
  }

 private slots:
  void init() { start(); }
  void cleanup() { f_.reset(); }

  void startUpTrafficAndState() {
    QCOMPARE(f_->transcript(),
             (std::vector<std::string>{"search", "connect", "firmware", "224", "W 003FE4A0",
                                       "W 003FE4A0", "W 0F21B300", "229=1", "228=1"}));
    QCOMPARE(f_->messages().count(), 0);
    QCOMPARE(w_->windowTitle(), QStringLiteral("KV4410 Evaluation Board Software"));
    QCOMPARE((std::tuple{words().sysWord, words().pmuWord, words().chanBits, words().dacWord}),
             (std::tuple{0x003FE4A0, 0x0F21B300, 0x0F000000, 0}));
    QCOMPARE(serialText(), QStringLiteral("0F21B300"));
    QCOMPARE(boxRow(w_, "txtSYSREG"), bitsOf(0x003FE4A0));
    QCOMPARE(boxRow(w_, "txtPMUREG"), bitsOf(0x0F21B300));
    QCOMPARE(boxRow(w_, "txtDAC"), bitsOf(0));
    // Lists show the start-up selections; the force and system force/sense lists their
    // initial texts.
    QStringList shown;
    for (const char* name : {"cboCurrent", "cboMeasure", "cboCompare", "cboDUTGND", "MEASOUTG",
                             "IMEASG", "TEMPSET", "cboLatched", "cboForce", "cboSysforce"}) {
      shown << textOf(w_, name);
    }
    QCOMPARE(shown, (QStringList{"±2mA", "Measure Voltage", "Compare Current", "DUTGND PER DEVICE",
                                 "MEASOUT GAIN =0.2", "I MEAS GAIN = 10", "TJ = 130degC",
                                 "UNLATCHED", "Force Voltage", "SYSTEM FORCE/SENSE Disconnected"}));
    QCOMPARE(get<QComboBox>("cboForce")->currentIndex(), -1);
    for (int i = 0; i < 4; ++i) {
      QVERIFY(!get<QCheckBox>(QStringLiteral("chkPMU_%1").arg(i))->isEnabled());
      QVERIFY(get<QCheckBox>(QStringLiteral("chkPMU_%1").arg(i))->isChecked());
    }
    QVERIFY(get<QRadioButton>("optCComp_1")->isChecked());
    QVERIFY(get<QRadioButton>("optCFeedforward_1")->isChecked());
  }

  void pagesAndMenusInOrder() {
    auto* tabs = get<QTabWidget>("tabMain");
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i) {
      pages << tabs->tabText(i);
    }
    QCOMPARE(pages,
             (QStringList{"WRITE SYSTEM CONTROL REG", "WRITE PMU REG", "WRITE DAC REG",
                          "COMPENSATION SELECTION", "ABOUT", "READ SYSTEM CONTROL REG",
                          "READ PMU REG", "READ DAC REG", "READ STATUS REG", "LITTLE ROUTINES"}));
    QCOMPARE(get<QTabWidget>("tabDACS")->tabText(1), QStringLiteral("CLL + CLH DACs"));
    QMenuBar* bar = qobject_cast<QMainWindow*>(w_)->menuBar();
    QStringList entries;
    for (QAction* a : bar->actions()) {
      entries << a->text();
    }
    for (QAction* a : bar->actions().at(0)->menu()->actions()) {
      if (!a->isSeparator()) {
        entries << a->text();
      }
    }
    QCOMPARE(entries,
             (QStringList{"File", "Help", "Main PMU Control Window", "Voltage Current Sweeps",
                          "Automated Test Procedure", "Board Traffic", "Exit"}));
    // No other window kinds in this session: their entries are there but disabled.
    for (const char* name : {"mnuPMUControl", "mnuSweeps", "mnuAbout"}) {
      QVERIFY2(!w_->findChild<QAction*>(name)->isEnabled(), name);
    }
  }

  // The lists of WRITE PMU REG show their initial text like a chosen item, not in the greyed
  // hint colour that makes a list look disabled.
  void listsDrawTheirInitialTextAsText() {
    for (const char* name : {"cboForce", "cboSysforce"}) {
      auto* list = get<QComboBox>(QString::fromLatin1(name));
      QCOMPARE(list->currentIndex(), -1);
      QCOMPARE(list->palette().color(QPalette::PlaceholderText),
               list->palette().color(QPalette::ButtonText));
    }
  }

  // A raw word goes out as typed and changes no stored word and no display.
  void serialWordEnter() {
    const std::tuple<const char*, Words, QString, const char*> rows[] = {
        {"1fffffff", {0x1FFFFFFF}, {}, "1FFFFFFF"},
        {"0", {0}, {}, "00000000"},
        {"4a0", {0x4A0}, {}, "000004A0"},
        {"20000000", {}, texts::kSerialTooLarge, ""},
        {"FFFFFFFF", {}, texts::kSerialTooLarge, ""},
        {"", {}, texts::kNotANumber, ""},
        {"12g4", {}, texts::kNotANumber, ""},
        {"000000001", {}, texts::kNotANumber, ""},
        {"0x10", {}, texts::kNotANumber, ""}};
    for (const auto& [typed, sent, message, after] : rows) {
      start();
      f_->clearTrace();
      QVERIFY(typeAndEnter(w_, "txtWRITESPI", typed));
      QCOMPARE(f_->sentWords(), sent);
      QCOMPARE(serialText(), QString::fromLatin1(after));
      QVERIFY(messageIs(message));
      QCOMPARE((std::tuple{words().sysWord, words().pmuWord, words().dacWord}),
               (std::tuple{0x003FE4A0, 0x0F21B300, 0}));
      QCOMPARE(boxRow(w_, "txtPMUREG"), bitsOf(0x0F21B300));
    }
  }

  void serialWordFocusLoss() {
    QVERIFY(activate());
    auto* field = get<QLineEdit>("txtWRITESPI");
    f_->clearTrace();
    // A valid text is only upper-cased: nothing sent, no range test.
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeText(field, QStringLiteral("2000000a")));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(field->text(), QStringLiteral("2000000A"));
    QCOMPARE(f_->messages().count(), 0);
    // An invalid text: the message, the field emptied and focused.
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeText(field, QStringLiteral("xyz")));
    QTest::keyClick(field, Qt::Key_Tab);
    QTRY_COMPARE(f_->messages().count(), 1);
    QVERIFY(messageIs(texts::kNotANumber));
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
    auto* field = get<QLineEdit>("txtWRITESPI");
    auto* elsewhere = get<QPushButton>("cmdRESET");
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

  void pageChangeRules() {
    auto* loadFrame = get<QGroupBox>("fraLOAD");
    auto* channelFrame = get<QGroupBox>("fraPMUCHSELECT");
    auto* pmu0 = get<QCheckBox>("chkPMU_0");
    // Thermal shutdown off, then away and back: opening the page sets bit 5 again.
    QVERIFY(chooseItem(w_, "TEMPSET", 0));
    QCOMPARE(serialText(), QStringLiteral("003FE480"));
    // Page, serial field afterwards, /LOAD frame and channel boxes shown, boxes usable.
    const std::tuple<int, const char*, bool, bool, bool> rows[] = {
        {2, "0F000000", true, true, true},    {3, "003FE480", false, false, false},
        {9, "003FE480", false, true, true},   {6, "18000000", false, false, false},
        {7, "18C80000", false, false, false}, {0, "003FE4A0", true, true, false},
        {1, "0F21B300", true, true, true}};
    // WRITE PMU REG ORs the channel selection into pmuWord.
    words().pmuWord &= 0xFFFFFF;
    for (const auto& [page, serial, load, channels, usable] : rows) {
      QVERIFY(perform(w_, QStringLiteral("page %1").arg(page)));
      QCOMPARE(serialText(), QString::fromLatin1(serial));
      QCOMPARE((std::tuple{page, loadFrame->isVisible(), channelFrame->isVisible(),
                           pmu0->isVisible() && pmu0->isEnabled()}),
               (std::tuple{page, load, channels, usable}));
    }
    QCOMPARE((std::tuple{words().sysWord, words().pmuWord, words().dacWord}),
             (std::tuple{0x003FE4A0, 0x0F21B300, 0x0F000000}));
    QVERIFY(f_->sentWords(9).empty());  // page changes send nothing
  }

  void channelSelection() {
    QVERIFY(perform(w_, "page 1"));
    f_->clearTrace();
    QVERIFY(clickButton(w_, "chkPMU_1"));
    QCOMPARE((std::tuple{words().chanBits, words().pmuWord, words().dacRequestWord & 0x0F000000}),
             (std::tuple{0x0D000000, 0x0D21B300, 0x0D000000}));
    QCOMPARE(serialText(), QStringLiteral("0D21B300"));
    QCOMPARE(boxRow(w_, "txtDAC"), bitsOf(0x0D000000));
    QVERIFY(clickButton(w_, "chkPMU_1"));
    QCOMPARE(words().pmuWord, 0x0F21B300);
    QVERIFY(f_->trace().empty());
  }

  void resetLoadAndAdc() {
    f_->clearTrace();
    QVERIFY(clickButton(w_, "cmdRESET"));
    QCOMPARE(serialText(), QStringLiteral("00000000"));
    QCOMPARE(words().sysWord, 0x003FE4A0);
    auto* load = get<QCheckBox>("chkLOAD");
    QCOMPARE(load->text(), QStringLiteral("/LOAD is low"));
    QVERIFY(clickButton(load));
    QCOMPARE(load->text(), QStringLiteral("/LOAD is high"));
    QVERIFY(clickButton(load));
    QCOMPARE(load->text(), QStringLiteral("/LOAD is low"));
    // The pulse ticks the box, which drives /LOAD high through its own handler, but only when
    // it was low.
    QVERIFY(clickButton(w_, "cmdPULSELOAD"));
    QVERIFY(load->isChecked());
    QVERIFY(clickButton(w_, "cmdPULSELOAD"));
    QCOMPARE(f_->transcript(),
             (std::vector<std::string>{"219", "226", "227", "222", "226", "222"}));
    f_->clearTrace();
    QVERIFY(clickButton(w_, "cmdREADADC"));
    QCOMPARE(f_->requestNumbers(), (std::vector<int>{232, 233}));
    const TraceRequest adc = f_->requestsOf(233).at(0);
    QCOMPARE(textOf(w_, "lblREADSPI"), hex(adc.data.at(0) | (adc.data.at(1) << 8), 6));
  }

  void listsDiscardTypedKeys() {
    QVERIFY(activate());
    f_->clearTrace();
    for (const char* name : {"cboDUTGND", "MEASOUTG", "IMEASG", "TEMPSET", "cboLatched", "page 1",
                             "cboForce", "cboCurrent", "cboMeasure", "cboCompare", "cboSysforce"}) {
      if (QLatin1String(name) == QLatin1String("page 1")) {
        QVERIFY(perform(w_, name));
        continue;
      }
      auto* list = get<QComboBox>(name);
      const int index = list->currentIndex();
      list->setFocus(Qt::MouseFocusReason);
      pressKeys(list, {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_M,
                       Qt::Key_1, Qt::Key_Space, Qt::Key_Return});
      QCOMPARE(list->currentIndex(), index);
      QVERIFY(!list->view()->isVisible());
    }
    QCOMPARE((std::tuple{words().sysWord, words().pmuWord}), (std::tuple{0x003FE4A0, 0x0F21B300}));
    QVERIFY(f_->sentWords().empty());
  }

  // Selections of a write page only compose and show the word; its write button sends it.
  void writePageWords() {
    const std::tuple<int, QStringList, std::int32_t> rows[] = {
        {0, {}, 0x003FE4A0},
        {0, {"list cboLatched 1", "list TEMPSET 5"}, 0x003FE4BC},
        {0, {"list TEMPSET 0"}, 0x003FE480},
        {0, {"list TEMPSET 1"}, 0x003FE4A0},
        {0, {"list TEMPSET 4"}, 0x003FE4B0},
        {0, {"click chkCLAMP_2"}, 0x002FE4A0},
        {0, {"click chkALARM_0", "click chkALARM_1", "click chk10K"}, 0x003FEFA0},
        {0, {"click chkALARM_2"}, 0x003FE0A0},
        {0, {"list cboDUTGND 0"}, 0x003FF4A0},
        {0, {"list IMEASG 1"}, 0x003FE4E0},
        {0, {"click chkCPOLH_0", "click chkCPBIASEN"}, 0x003F84A0},
        {0, {"list cboLatched 1", "list cboLatched 0"}, 0x003FE4A0},
        {1, {}, 0x0F21B300},
        {1, {"click chkPMU_1", "click chkPMU_3"}, 0x0521B300},
        {1, {"list cboForce 1"}, 0x0F29B300},
        {1, {"list cboForce 3"}, 0x0F39B300},
        {1, {"list cboCurrent 6"}, 0x0F233300},
        {1, {"list cboCurrent 0"}, 0x0F203300},
        {1, {"list cboMeasure 0"}, 0x0F219300},
        {1, {"list cboMeasure 3"}, 0x0F21F300},
        {1, {"list cboCompare 1"}, 0x0F21B380},
        {1, {"list cboSysforce 3"}, 0x0F21BF00},
        {1, {"list cboSysforce 1"}, 0x0F21B700},
        {1, {"click chkFIN"}, 0x0F21A300},
        {1, {"click chkCPOEN"}, 0x0F21B200},
        {1, {"click chkCLAMPEN"}, 0x0F21B100},
        {1, {"click chkENABLE"}, 0x0F01B300}};
    for (const auto& [page, steps, written] : rows) {
      start();
      QVERIFY(perform(w_, QStringLiteral("page %1").arg(page)));
      f_->clearTrace();
      for (const QString& step : steps) {
        QVERIFY2(perform(w_, step), qPrintable(step));
        QCOMPARE(serialText(), hex(page == 0 ? words().sysWord : words().pmuWord));
      }
      QVERIFY(f_->sentWords().empty());
      QVERIFY(clickButton(w_, page == 0 ? "cmdWRITESYS" : "cmdWRITEPMU"));
      QCOMPARE(f_->sentWords(), Words{written});
      QCOMPARE(boxRow(w_, page == 0 ? "txtSYSREG" : "txtPMUREG"), bitsOf(written));
      QCOMPARE(f_->messages().count(), 0);
    }
  }

  void measoutGainWarning() {
    f_->clearTrace();
    QVERIFY(chooseItem(w_, "MEASOUTG", 1));
    QWidget* box = f_->session().measoutWarningBox.data();
    QVERIFY(box != nullptr && QTest::qWaitForWindowExposed(box));
    QCOMPARE(box->windowTitle(), QStringLiteral("ABOUT"));
    QCOMPARE(textOf(box, "lblVersion_0"),
             QStringLiteral(" PLEASE NOW ENSURE THAT LINKS LK10,11,12,13 ARE REMOVED FROM THE "
                            "BOARD."));
    QCOMPARE(words().sysWord, 0x003FE420);
    // Cancel puts gain 0.2 back into sysWord and shows it; nothing is sent.
    QVERIFY(clickButton(box, "cmdSysInfo"));
    QVERIFY(!box->isVisible());
    QCOMPARE(serialText(), QStringLiteral("003FE4A0"));
    QVERIFY(f_->sentWords().empty());
    // The list still says gain 1: writing rebuilds bit 7 as 0 and opens the box again; OK keeps
    // gain 1.
    QVERIFY(clickButton(w_, "cmdWRITESYS"));
    QCOMPARE(f_->sentWords(), Words{0x003FE420});
    QVERIFY(clickButton(box, "cmdOK"));
    QCOMPARE(words().sysWord, 0x003FE420);
    // Back to 0.2: no box.
    QVERIFY(chooseItem(w_, "MEASOUTG", 0));
    QVERIFY(!box->isVisible());
    QCOMPARE(words().sysWord, 0x003FE4A0);
  }

  void clearLatchedBits() {
    QVERIFY(perform(w_, "page 1"));
    f_->clearTrace();
    QVERIFY(clickButton(w_, "cmdCLEARLATCHED"));
    QCOMPARE(f_->sentWords(), (Words{0x0F21B340, 0x0F21B300}));
    // CLEAR set by another page stays in pmuWord until this button clears it.
    words().pmuWord |= 0x40;
    QVERIFY(clickButton(w_, "cmdWRITEPMU"));
    QCOMPARE(f_->lastWord(), 0x0F21B340);
  }

  // With no channel ticked a PMU word would land in the system control register: it is held
  // back, with one message per user action; DAC words still go.
  void pmuWordNeedsAChannel() {
    QVERIFY(perform(w_, "page 1"));
    for (int i = 0; i < 4; ++i) {
      QVERIFY(clickButton(w_, QStringLiteral("chkPMU_%1").arg(i)));
    }
    f_->clearTrace();
    QVERIFY(clickButton(w_, "cmdWRITEPMU"));
    QVERIFY(messageIs(texts::kNoChannel));
    QCOMPARE(boxRow(w_, "txtPMUREG"), bitsOf(0x0F21B300));
    // Two refused words in one press: still one message.
    QVERIFY(clickButton(w_, "cmdCLEARLATCHED"));
    QCOMPARE(f_->messages().count(), 2);
    QVERIFY(f_->sentWords().empty());
    QVERIFY(perform(w_, "page 2"));
    QVERIFY(typeAndEnter(w_, "txtFINx1_5", "1234"));
    QCOMPARE(f_->sentWords(), Words{0x00CD1234});
    QCOMPARE(f_->messages().count(), 2);
    QVERIFY(perform(w_, "page 1"));
    QVERIFY(clickButton(w_, "chkPMU_2"));
    QVERIFY(clickButton(w_, "cmdWRITEPMU"));
    QCOMPARE(f_->lastWord(), 0x0421B300);
  }

  // DAC fields act on Enter: sub-page, field, text typed, channels cleared first, the field
  // afterwards, the word sent (-1: refused with `message`).
  void dacFields() {
    const std::tuple<int, const char*, const char*, QStringList, const char*, std::int32_t, QString>
        rows[] = {
            {1, "txtCLHM_5", "7", {"chkPMU_0", "chkPMU_2", "chkPMU_3"}, "0007", 0x025D0007, {}},
            {0, "OFFSETx1_0", "A492", {}, "A492", 0x0FC0A492, {}},
            {0, "txtFINx1_2", "1234", {}, "1234", 0x0FCA1234, {}},
            {0, "txtFINx1_0", "ffff", {}, "FFFF", 0x0FC8FFFF, {}},
            {2, "txtCPLx1_3", "0000abcd", {}, "ABCD", 0x0FE3ABCD, {}},
            {2, "txtCPHC_0", "a", {}, "000A", 0x0FA8000A, {}},
            {0, "txtFINC_1", "0ffff", {}, "0FFFF", 0x0F89FFFF, {}},
            {1, "txtCLLx1_4", "1", {}, "0001", 0x0FD40001, {}},
            {2, "txtCPHM_4", "8000", {}, "8000", 0x0F6C8000, {}},
            {0, "txtFINC_4", "10000", {}, "", -1, texts::kCodeTooLarge},
            {0, "txtFINM_1", "FFFFFFFF", {}, "", -1, texts::kCodeTooLarge},
            {2, "txtCPHC_5", "", {}, "", -1, texts::kNotANumber},
            {1, "txtCLLx1_5", "12 3", {}, "", -1, texts::kNotANumber},
            {0, "txtFINx1_3", "000001234", {}, "", -1, texts::kNotANumber}};
    for (const auto& [subPage, field, typed, channelsOff, after, word, message] : rows) {
      start();
      QVERIFY(perform(w_, "page 2"));
      for (const QString& box : channelsOff) {
        QVERIFY(clickButton(w_, box));
      }
      QVERIFY(perform(w_, QStringLiteral("dacs %1").arg(subPage)));
      f_->clearTrace();
      QVERIFY(typeAndEnter(w_, field, typed));
      QCOMPARE(textOf(w_, field), QString::fromLatin1(after));
      QCOMPARE(f_->sentWords(), word < 0 ? Words{} : Words{word});
      QVERIFY(messageIs(message));
      // A refused code keeps the stored word of the page and the display.
      QCOMPARE(words().dacWord, word < 0 ? words().chanBits : word);
      QCOMPARE(boxRow(w_, "txtDAC"), bitsOf(word < 0 ? 0 : word));
    }
    // Every field of a row sends its own text with its own level.
    QVERIFY(perform(w_, "dacs 2"));
    f_->clearTrace();
    Words expected;
    for (int level = 0; level <= 5; ++level) {
      QVERIFY(typeAndEnter(w_, QStringLiteral("txtCPHC_%1").arg(level), QString::number(level)));
      expected.push_back(0x0FA80000 | (level << 16) | level);
    }
    QCOMPARE(f_->sentWords(), expected);
  }

  void initialDacTexts() {
    QStringList shown;
    for (const char* name : {"OFFSETx1_0", "txtFINM_0", "txtFINC_5", "txtFINx1_3", "txtCLLx1_4",
                             "txtCLHx1_5", "txtCPLx1_0", "txtCPHx1_2", "txtCLLM_5", "txtCLHC_4"}) {
      shown << textOf(w_, name);
    }
    QCOMPARE(shown, (QStringList{"A492", "FFFF", "8000", "8000", "0000", "FFFF", "0000", "FFFF",
                                 "FFFF", "8000"}));
    // Clamp DACs have the voltage and external levels only.
    const QRegularExpression clamp(QStringLiteral("^txtCLL(M|C|x1)_[0-9]$"));
    QCOMPARE(w_->findChildren<QLineEdit*>(clamp).size(), 6);
    const QRegularExpression fin(QStringLiteral("^txtFIN(M|C|x1)_[0-9]$"));
    QCOMPARE(w_->findChildren<QLineEdit*>(fin).size(), 18);
  }

  void compensationButtons() {
    QVERIFY(perform(w_, "page 3"));
    f_->clearTrace();
    for (const char* name : {"optCComp_2", "optCFeedforward_3", "optCFeedforward_2", "optCComp_1",
                             "optCFeedforward_1"}) {
      QVERIFY(clickButton(w_, name));
    }
    QCOMPARE(f_->transcript(),
             (std::vector<std::string>{"228=2", "229=3", "229=2", "228=1", "229=1"}));
    QVERIFY(!get<QRadioButton>("optCFeedforward_3")->isChecked());
    QCOMPARE(textOf(w_, "optCComp_2"), QStringLiteral("1nF"));
    QCOMPARE(textOf(w_, "optCFeedforward_3"), QStringLiteral("10nF"));
  }
};

QTEST_MAIN(RegisterWindowTest)
#include "test_register_window.moc"
