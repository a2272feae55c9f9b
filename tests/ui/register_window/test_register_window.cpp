// The register window driven as a user drives it (list choices, clicks, typing and Enter), with
// the serial words and board requests checked on the simulated board's trace: its start-up, the
// write pages, the read pages with what the chip answers, and the little routines.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <tuple>

#include "board/simulated_board.h"
#include "ui/register_window/dac_page.h"
#include "ui/register_window/lazy_page.h"
#include "ui/register_window/register_window.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;
using Words = std::vector<std::int32_t>;
using Transcript = std::vector<std::string>;

namespace {

// The bits a display should show for `value`, highest first.
QString bitsOf(std::int32_t value, int high = 28) {
  return QString::number(static_cast<std::uint32_t>(value), 2)
      .rightJustified(high + 1, QLatin1Char('0'));
}

// One step of a scripted user: "list NAME INDEX" or "click NAME".
bool perform(QWidget* w, const QString& step) {
  const QStringList parts = step.split(QLatin1Char(' '));
  return parts.value(0) == QLatin1String("list")
             ? chooseItem(w, parts.value(1), parts.value(2).toInt())
             : clickButton(w, parts.value(1));
}

}  // namespace

class RegisterWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<UiFixture> f_;
  RegisterWindow* w_ = nullptr;

  // A fresh session with only the register window, started up; `simulateOptions` as for
  // UiFixture.
  void start(const std::string& simulateOptions = {}) {
    f_ = std::make_unique<UiFixture>(simulateOptions);
    Session& s = f_->session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    w_ = qobject_cast<RegisterWindow*>(f_->startWindow(WindowId::Register));
    QVERIFY(w_ != nullptr && QTest::qWaitForWindowExposed(w_));
  }
  const StoredWords& words() { return f_->session().words(); }
  // Sets the stored words up for a case, as the windows compose them.
  void edit(const std::function<void(StoredWords&)>& change) {
    f_->session().bench().composeWords(change);
  }
  board::SimulatedChip& chip() { return f_->session().simulated()->chip(); }
  // The field is drawn when control returns to the event loop, as the user sees it.
  QString serialText() const {
    QCoreApplication::processEvents();
    return textOf(w_, "txtWRITESPI");
  }
  // Clicks the page's tab (the page-change rules run) and returns the page.
  QWidget* openPage(int index) {
    return selectTab(w_, "tabMain", index) ? w_->pages()->widget(index) : nullptr;
  }
  // The traffic of a click on the button.
  Transcript read(QWidget* page, const char* button) {
    const std::size_t mark = f_->mark();
    return clickButton(page, button) ? f_->transcript(mark) : Transcript{"<no button>"};
  }
  // The words a click on the button sent.
  Words press(QWidget* page, const char* button) {
    const std::size_t mark = f_->mark();
    return clickButton(page, button) ? f_->sentWords(mark) : Words{-1};
  }
  // The two alarm lamps of a page, as "OK green" or "TOO HOT red".
  static QStringList lamps(QWidget* page, const char* first, const char* second) {
    QStringList out;
    for (const char* name : {first, second}) {
      auto* b = find<QPushButton>(page, name);
      const QColor c = b->palette().color(QPalette::Button);
      out << b->text() + (c == QColor(0, 128, 0) ? " green" : c == QColor(255, 0, 0) ? " red" : "");
    }
    return out;
  }
  // The LITTLE ROUTINES page on one of its two sub-pages, in the active window (for the focus
  // checks).
  QWidget* routines(int subPage) {
    QApplication::setActiveWindow(w_);
    QWidget* p = openPage(kPageLittleRoutines);
    return p != nullptr && selectTab(p, "tabROUTINES", subPage) ? p : nullptr;
  }

 private slots:
  void init() { start(); }
  void cleanup() { f_.reset(); }

  void startUpTrafficAndState() {
    // The bench's start-up is the program's, with the PMU control window's words, even for the
    // register window alone.
    QCOMPARE(f_->transcript(),
             (Transcript{"search", "connect", "firmware", "224", "W 003FE4A0", "W 003FE4A0",
                         "W 00CD8000", "W 003FE4A0", "W 003FE4A0", "W 003FE4A0", "W 003FE4A0",
                         "W 0F21B300", "229=1", "228=1"}));
    QCOMPARE(f_->messages().count(), 0);
    QCOMPARE(w_->windowTitle(), QStringLiteral("KV4410 Evaluation Board Software"));
    QCOMPARE(serialText(), QStringLiteral("0F21B300"));
    QCOMPARE(boxRow(w_, "txtSYSREG"), bitsOf(0x003FE4A0));
    QCOMPARE(boxRow(w_, "txtPMUREG"), bitsOf(0x0F21B300));
    // Lists show the start-up selections; the force and system force/sense lists their
    // initial texts, drawn like a chosen item (not in the grey that makes a list look disabled).
    QCOMPARE(textsOf(w_, {"cboCurrent", "cboMeasure", "cboCompare", "cboDUTGND", "MEASOUTG",
                          "IMEASG", "TEMPSET", "cboLatched", "cboForce", "cboSysforce"}),
             (QStringList{"±2mA", "Measure Voltage", "Compare Current", "DUTGND PER DEVICE",
                          "MEASOUT GAIN =0.2", "I MEAS GAIN = 10", "TJ = 130degC", "UNLATCHED",
                          "Force Voltage", "SYSTEM FORCE/SENSE Disconnected"}));
    for (const char* name : {"cboForce", "cboSysforce"}) {
      const QPalette colours = find<QComboBox>(w_, name)->palette();
      QCOMPARE(find<QComboBox>(w_, name)->currentIndex(), -1);
      QCOMPARE(colours.color(QPalette::PlaceholderText), colours.color(QPalette::ButtonText));
    }
    for (int i = 0; i < 4; ++i) {
      auto* box = find<QCheckBox>(w_, QStringLiteral("chkPMU_%1").arg(i));
      QVERIFY(!box->isEnabled() && box->isChecked());
    }
    // The pages the start-up does not open are built, in their initial state, when first
    // reached.
    int lazyPages = 0;
    for (int i = 0; i < w_->pages()->count(); ++i) {
      if (auto* page = qobject_cast<ui::LazyPage*>(w_->pages()->widget(i))) {
        QVERIFY(!page->built() && page->content() != nullptr && page->built());
        ++lazyPages;
      }
    }
    QCOMPARE(lazyPages, 7);
    QCOMPARE(boxRow(w_, "txtDAC"), bitsOf(0));
    QVERIFY(find<QRadioButton>(w_, "optCComp_1")->isChecked());
    QVERIFY(find<QRadioButton>(w_, "optCFeedforward_1")->isChecked());
    // The DAC pages' and the little routines' initial codes and lists.
    QCOMPARE(textsOf(w_, {"OFFSETx1_0", "txtFINM_0", "txtFINC_5", "txtFINx1_3", "txtCLLx1_4",
                          "txtCLHx1_5", "txtCPLx1_0", "txtCPHx1_2", "txtCLLM_5", "txtCLHC_4",
                          "cboFINREG", "txtFINSET1", "txtFINSET2", "txtdin", "cboCurrent2"}),
             (QStringList{"A492", "FFFF", "8000", "8000", "0000", "FFFF", "0000", "FFFF", "FFFF",
                          "8000", "Voltage Range", "0000", "8000", "0000", "±5uA"}));
    // Clamp DACs have the voltage and external levels only.
    QCOMPARE(w_->findChildren<QLineEdit*>(QRegularExpression("^txtCLL(M|C|x1)_[0-9]$")).size(), 6);
  }

  // Menu entries of window kinds this session does not have are there but disabled.
  void menusOfAbsentWindowsAreDisabled() {
    for (const char* name : {"mnuPMUControl", "mnuSweeps", "mnuTestProcedure", "mnuAbout"}) {
      QVERIFY2(!w_->findChild<QAction*>(name)->isEnabled(), name);
    }
  }

  // Enter sends a raw word as typed, changing no stored word and no display; leaving the field
  // with Tab only upper-cases a valid text. An invalid text is refused: the field emptied and
  // focused. A message box takes the focus while it is open; that must not check the field a
  // second time (message upon message), and the emptied field may then be left (it once trapped
  // the user in an endless message).
  void serialWordField_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<Words>("sent");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const char* typed, Qt::Key key, const Words& sent,
                        const char* after, const QString& message) {
      QTest::newRow(name) << typed << static_cast<int>(key) << sent << after << message;
    };
    const Qt::Key enter = Qt::Key_Return;
    row("largest", "1fffffff", enter, {0x1FFFFFFF}, "1FFFFFFF", {});
    row("zero", "0", enter, {0}, "00000000", {});
    row("short", "4a0", enter, {0x4A0}, "000004A0", {});
    row("30 bits", "20000000", enter, {}, "", texts::kSerialTooLarge);
    row("32 bits", "FFFFFFFF", enter, {}, "", texts::kSerialTooLarge);
    row("empty", "", enter, {}, "", texts::kNotANumber);
    row("not hex", "12g4", enter, {}, "", texts::kNotANumber);
    row("nine digits", "000000001", enter, {}, "", texts::kNotANumber);
    row("0x prefix", "0x10", enter, {}, "", texts::kNotANumber);
    row("Tab, valid", "2000000a", Qt::Key_Tab, {}, "2000000A", {});
    row("Tab, invalid", "xyz", Qt::Key_Tab, {}, "", texts::kNotANumber);
  }
  void serialWordField() {
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(Words, sent);
    QFETCH(QString, after);
    QFETCH(QString, message);
    QApplication::setActiveWindow(w_);  // for the focus changes
    auto* field = find<QLineEdit>(w_, "txtWRITESPI");
    // The message box takes the focus while it is open, as a modal box does.
    f_->messages().duringShow = [this] {
      find<QPushButton>(w_, "cmdRESET")->setFocus(Qt::MouseFocusReason);
      QTest::qWait(10);
    };
    const std::size_t mark = f_->mark();
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(typeText(field, typed));
    QTest::keyClick(field, static_cast<Qt::Key>(key));
    QTRY_COMPARE(field->text(), after);
    QTest::qWait(20);
    QCOMPARE(f_->sentWords(mark), sent);
    QVERIFY(f_->messages().onlyEntryError(message));
    QCOMPARE((std::tuple{words().sysWord, words().pmuWord, words().dacWord}),
             (std::tuple{0x003FE4A0, 0x0F21B300, 0x00CD8000}));
    if (!message.isEmpty()) {
      QVERIFY(field->hasFocus());
      QTest::keyClick(field, Qt::Key_Tab);
      QTRY_VERIFY(!field->hasFocus());
      QTest::qWait(20);
      QCOMPARE(f_->messages().count(), 1);
    }
  }

  void pageChangeRules() {
    auto* loadFrame = find<QGroupBox>(w_, "fraLOAD");
    auto* channelFrame = find<QGroupBox>(w_, "fraPMUCHSELECT");
    auto* pmu0 = find<QCheckBox>(w_, "chkPMU_0");
    // Thermal shutdown off, then away and back: opening the page sets bit 5 again.
    QVERIFY(chooseItem(w_, "TEMPSET", 0));
    QCOMPARE(serialText(), QStringLiteral("003FE480"));
    // Page, serial field afterwards, /LOAD frame and channel boxes shown, boxes usable.
    const std::tuple<int, const char*, bool, bool, bool> rows[] = {
        {2, "0FCD8000", true, true, true},    {3, "003FE480", false, false, false},
        {9, "003FE480", false, true, true},   {6, "18000000", false, false, false},
        {7, "18C80000", false, false, false}, {0, "003FE4A0", true, true, false},
        {1, "0F21B300", true, true, true}};
    // WRITE PMU REG ORs the channel selection into pmuWord.
    edit([&](StoredWords& w) { w.pmuWord &= 0xFFFFFF; });
    const std::size_t mark = f_->mark();
    for (const auto& [page, serial, load, channels, usable] : rows) {
      QVERIFY(openPage(page));
      QCOMPARE(serialText(), QString::fromLatin1(serial));
      QCOMPARE((std::tuple{page, loadFrame->isVisible(), channelFrame->isVisible(),
                           pmu0->isVisible() && pmu0->isEnabled()}),
               (std::tuple{page, load, channels, usable}));
    }
    QCOMPARE((std::tuple{words().sysWord, words().pmuWord, words().dacWord}),
             (std::tuple{0x003FE4A0, 0x0F21B300, 0x0FCD8000}));
    QVERIFY(f_->sentWords(mark).empty());  // page changes send nothing
  }

  void resetLoadAndAdc() {
    const std::size_t mark = f_->mark();
    QVERIFY(clickButton(w_, "cmdREADADC"));
    QVERIFY(clickButton(w_, "cmdRESET"));
    QCOMPARE(serialText(), QStringLiteral("00000000"));
    auto* load = find<QCheckBox>(w_, "chkLOAD");
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
    QCOMPARE(f_->transcript(mark),
             (Transcript{"232", "233", "219", "226", "227", "222", "226", "222"}));
    // The ADC read before the reset: the channels force 0 V (FIN code 8000), MEASOUT at gain 0.2
    // with the offset: 0.2 * 11.249924 V on a 5 V, 16-bit ADC is 29491.0.
    QCOMPARE(textOf(w_, "lblREADSPI"), QStringLiteral("007333"));
  }

  // No list of the window, on any page, reacts to the keyboard.
  void listsDiscardTypedKeys() {
    const std::size_t mark = f_->mark();
    for (QComboBox* list : w_->findChildren<QComboBox*>()) {
      const int index = list->currentIndex();
      pressKeys(list, {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End, Qt::Key_M,
                       Qt::Key_1, Qt::Key_Space, Qt::Key_Return});
      QVERIFY2(list->currentIndex() == index && !list->view()->isVisible(),
               qPrintable(list->objectName()));
    }
    QVERIFY(f_->sentWords(mark).empty());
  }

  // Selections of a write page only compose and show the word; its write button sends it. A
  // shared setting's list also hands the choice to the bench, which sends the PMU control
  // window's word for it.
  void writePageWords() {
    // Page, the steps (separated by "; "), the word written.
    const std::tuple<int, const char*, std::int32_t> rows[] = {
        {0, "", 0x003FE4A0},
        {0, "list cboLatched 1; list TEMPSET 5", 0x003FE4BC},
        {0, "list TEMPSET 0", 0x003FE480},
        {0, "list TEMPSET 1", 0x003FE4A0},
        {0, "list TEMPSET 4", 0x003FE4B0},
        {0, "click chkCLAMP_2", 0x002FE4A0},
        {0, "click chkALARM_0; click chkALARM_1; click chk10K", 0x003FEFA0},
        {0, "click chkALARM_2", 0x003FE0A0},
        {0, "list cboDUTGND 0", 0x003FF4A0},
        {0, "list IMEASG 1", 0x003FE4E0},
        {0, "click chkCPOLH_0; click chkCPBIASEN", 0x003F84A0},
        {0, "list cboLatched 1; list cboLatched 0", 0x003FE4A0},
        {1, "", 0x0F21B300},
        {1, "click chkPMU_1; click chkPMU_3", 0x0521B300},
        {1, "list cboForce 1", 0x0F29B300},
        {1, "list cboForce 3", 0x0F39B300},
        {1, "list cboCurrent 6", 0x0F233300},
        {1, "list cboCurrent 0", 0x0F203300},
        {1, "list cboMeasure 0", 0x0F219300},
        {1, "list cboMeasure 3", 0x0F21F300},
        {1, "list cboCompare 1", 0x0F21B380},
        {1, "list cboSysforce 3", 0x0F21BF00},
        {1, "list cboSysforce 1", 0x0F21B700},
        {1, "click chkFIN", 0x0F21A300},
        {1, "click chkCPOEN", 0x0F21B200},
        {1, "click chkCLAMPEN", 0x0F21B100},
        {1, "click chkENABLE", 0x0F01B300}};
    for (const auto& [page, steps, written] : rows) {
      start();
      QVERIFY(openPage(page));
      const std::size_t mark = f_->mark();
      for (const QString& step : QString::fromLatin1(steps).split("; ", Qt::SkipEmptyParts)) {
        QVERIFY2(perform(w_, step), qPrintable(step));
      }
      const QString stepText = QString::fromLatin1(steps);
      const bool shared = stepText.contains(QRegularExpression(QStringLiteral(
          "cboCurrent |cboMeasure |cboCompare |MEASOUTG |IMEASG |TEMPSET |cboLatched ")));
      if (!shared && *steps != '\0') {
        QCOMPARE(serialText(), hex(written));
      }
      if (!shared) {
        QVERIFY(f_->sentWords(mark).empty());
      }
      const std::size_t written_at = f_->mark();
      QVERIFY(clickButton(w_, page == 0 ? "cmdWRITESYS" : "cmdWRITEPMU"));
      QCOMPARE(f_->sentWords(written_at), Words{written});
      QCOMPARE(boxRow(w_, page == 0 ? "txtSYSREG" : "txtPMUREG"), bitsOf(written));
      QCOMPARE(f_->messages().count(), 0);
    }
  }

  void measoutGainWarning() {
    const std::size_t mark = f_->mark();
    QVERIFY(chooseItem(w_, "MEASOUTG", 1));
    QWidget* box = f_->session().measoutWarningBox.data();
    QVERIFY(box != nullptr && QTest::qWaitForWindowExposed(box));
    QCOMPARE((QStringList{box->windowTitle(), textOf(box, "lblVersion_0")}),
             (QStringList{"ABOUT",
                          " PLEASE NOW ENSURE THAT LINKS LK10,11,12,13 ARE REMOVED FROM "
                          "THE BOARD."}));
    QCOMPARE(words().sysWord, 0x003FE420);
    QCOMPARE(f_->sentWords(mark), Words{0x003FE420});  // the setting's word, once
    // Cancel puts gain 0.2 back into sysWord and shows it; nothing is sent.
    QVERIFY(clickButton(box, "cmdSysInfo"));
    QVERIFY(!box->isVisible());
    QCOMPARE(serialText(), QStringLiteral("003FE4A0"));
    QCOMPARE(f_->sentWords(mark).size(), std::size_t{1});
    // The list still says gain 1: writing rebuilds bit 7 as 0 and opens the box again; OK keeps
    // gain 1.
    QVERIFY(clickButton(w_, "cmdWRITESYS"));
    QCOMPARE(f_->sentWords(mark), (Words{0x003FE420, 0x003FE420}));
    QVERIFY(clickButton(box, "cmdOK"));
    QCOMPARE(words().sysWord, 0x003FE420);
    // Back to 0.2: no box.
    QVERIFY(chooseItem(w_, "MEASOUTG", 0));
    QVERIFY(!box->isVisible());
    QCOMPARE(words().sysWord, 0x003FE4A0);
  }

  void clearLatchedBits() {
    QVERIFY(openPage(1));
    const std::size_t mark = f_->mark();
    QVERIFY(clickButton(w_, "cmdCLEARLATCHED"));
    QCOMPARE(f_->sentWords(mark), (Words{0x0F21B340, 0x0F21B300}));
    // CLEAR set by another page stays in pmuWord until this button clears it.
    edit([&](StoredWords& w) { w.pmuWord |= 0x40; });
    QVERIFY(clickButton(w_, "cmdWRITEPMU"));
    QCOMPARE(f_->lastWord(), 0x0F21B340);
  }

  // A channel box puts its bit into the PMU word, the DAC request and the DAC display at once,
  // sending nothing. With no channel ticked a PMU word would land in the system control
  // register: it is held back, with one message per user action; DAC words still go.
  void channelBoxes() {
    QVERIFY(openPage(1));
    const std::size_t mark = f_->mark();
    QVERIFY(clickButton(w_, "chkPMU_1"));
    QCOMPARE((std::tuple{words().chanBits, words().pmuWord, words().dacRequestWord & 0x0F000000}),
             (std::tuple{0x0D000000, 0x0D21B300, 0x0D000000}));
    QCOMPARE(serialText(), QStringLiteral("0D21B300"));
    QCOMPARE(boxRow(w_->dacPage(), "txtDAC"), bitsOf(0x0D000000));
    for (int i : {0, 2, 3}) {
      QVERIFY(clickButton(w_, QStringLiteral("chkPMU_%1").arg(i)));
    }
    QVERIFY(f_->transcript(mark).empty());
    QVERIFY(clickButton(w_, "cmdWRITEPMU"));
    QVERIFY(f_->messages().onlyEntryError(texts::kNoChannel));
    QCOMPARE(boxRow(w_, "txtPMUREG"), bitsOf(0x0F21B300));
    // Two refused words in one press: still one message.
    QVERIFY(clickButton(w_, "cmdCLEARLATCHED"));
    QCOMPARE(f_->messages().count(), 2);
    QVERIFY(openPage(2));
    QVERIFY(typeAndEnter(w_, "txtFINx1_5", "1234"));
    QCOMPARE(f_->sentWords(mark), Words{0x00CD1234});
    QCOMPARE(f_->messages().count(), 2);
    QVERIFY(clickButton(w_, "chkPMU_2"));
    QVERIFY(openPage(1));
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
      QVERIFY(openPage(2));
      for (const QString& box : channelsOff) {
        QVERIFY(clickButton(w_, box));
      }
      QVERIFY(selectTab(w_, "tabDACS", subPage));
      const std::size_t mark = f_->mark();
      QVERIFY(typeAndEnter(w_, field, typed));
      QCOMPARE(textOf(w_, field), QString::fromLatin1(after));
      QCOMPARE(f_->sentWords(mark), word < 0 ? Words{} : Words{word});
      QVERIFY(f_->messages().onlyEntryError(message));
      // A refused code keeps the DAC display.
      QCOMPARE(boxRow(w_->dacPage(), "txtDAC"), bitsOf(word < 0 ? 0 : word));
    }
  }

  void compensationButtons() {
    QVERIFY(openPage(3));
    const std::size_t mark = f_->mark();
    for (const char* name : {"optCComp_2", "optCFeedforward_3", "optCFeedforward_2", "optCComp_1",
                             "optCFeedforward_1"}) {
      QVERIFY(clickButton(w_, name));
    }
    QCOMPARE(f_->transcript(mark), (Transcript{"228=2", "229=3", "229=2", "228=1", "229=1"}));
    QCOMPARE(textOf(w_, "optCComp_2"), QStringLiteral("1nF"));
    QCOMPARE(textOf(w_, "optCFeedforward_3"), QStringLiteral("10nF"));
  }

  // ---- read pages ----

  // The system word written, the captions of the read page and whether the shutdown
  // temperature caption is shown; the reply carries the word without its two status bits.
  void readSystemDecodesTheWrittenWord() {
    const std::tuple<std::int32_t, QStringList, QStringList, bool> rows[] = {
        {0x3FE4A0,
         {"lblCLAMPEN_3", "lblCLAMPEN_0", "lblCPOLH_2", "lblCPBIASEN", "lblDUTgnd", "lblGUARDalm",
          "lblCLAMPalm", "lblFORCEsense", "lblGUARDen", "lblGAIN_1", "lblGAIN_0", "READSYSDATA_2",
          "READSYSDATA_1", "READSYSDATA_0"},
         {"CH3 Enabled", "CH0 Enabled", "CPOLH2 Enabled", "CPBIASEN Enabled", "DUTGND/CH Disabled",
          "GUARD ALM Disabled", "CLAMP ALM Enabled", "INT 10K Disabled", "GUARD Disabled",
          "GAIN1 = 1", "GAIN0 = 0", "Enabled", "130degC", "UNLATCHED"},
         true},
        {0x081F44,
         {"lblCLAMPEN_3", "lblCLAMPEN_1", "lblDUTgnd", "lblGUARDalm", "lblCLAMPalm",
          "lblFORCEsense", "lblGUARDen", "lblGAIN_1", "lblGAIN_0", "READSYSDATA_0"},
         {"CH3 Disabled", "CH1 Enabled", "DUTGND/CH Enabled", "GUARD ALM Enabled",
          "CLAMP ALM Enabled", "INT 10K Enabled", "GUARD Enabled", "GAIN1 = 0", "GAIN0 = 1",
          "LATCHED"},
         false},
        {0x38, {"READSYSDATA_2", "READSYSDATA_1"}, {"Enabled", "100degC"}, true},
        {0x28, {"READSYSDATA_2", "READSYSDATA_1"}, {"Enabled", "120degC"}, true},
        {0x18, {"READSYSDATA_2", "READSYSDATA_1"}, {"Disabled", ""}, false}};
    for (const auto& [word, names, captions, temperatureShown] : rows) {
      start();
      QWidget* page = openPage(kPageReadSystem);
      f_->session().SPIout(word);
      QCOMPARE(read(page, "READSYS"), (Transcript{"W 10000000", "R"}));
      const std::uint32_t reply = static_cast<std::uint32_t>(word) & 0x3FFFFCu;
      QCOMPARE(textOf(w_, "lblREADSPI"), hex(reply, 6));
      QCOMPARE(serialText(), QStringLiteral("10000000"));
      QCOMPARE(textsOf(page, names), captions);
      QCOMPARE(find<QLabel>(page, "lblTEMPERATUREOFSHUTDOWN")->isVisible(), temperatureShown);
      QCOMPARE(boxRow(page, "txtRSYS"), bitsOf(reply));
    }
  }

  // Comparators of channels 3 and 0 enabled: captions updated, hidden while the comparator
  // bias is off, shown when it is on.
  void cpolhLabelsFollowTheComparatorBias() {
    QWidget* page = openPage(kPageReadSystem);
    const QStringList names = {"lblCPOLH_0", "lblCPOLH_1", "lblCPOLH_2", "lblCPOLH_3"};
    for (const bool bias : {false, true}) {
      f_->session().SPIout(0x024000 | (bias ? 0x2000 : 0));
      QVERIFY(clickButton(page, "READSYS"));
      QCOMPARE(textOf(page, "lblCPBIASEN"), bias ? "CPBIASEN Enabled" : "CPBIASEN Disabled");
      QCOMPARE(textsOf(page, names), (QStringList{"CPOLH0 Enabled", "CPOLH1 Disabled",
                                                  "CPOLH2 Disabled", "CPOLH3 Enabled"}));
      QCOMPARE(find<QLabel>(page, "lblCPOLH_3")->isVisible(), bias);
    }
  }

  void readPmuReadsTheChosenChannel() {
    f_->session().SPIout(0x022AC880);  // PMU 1 differs from the start-up word of the others
    QWidget* page = openPage(kPageReadPmu);
    QCOMPARE(serialText(), QStringLiteral("18000000"));
    QCOMPARE(read(page, "READPMU"), (Transcript{"W 18000000", "R"}));
    const QStringList names = {"RPMU_0", "RPMU_1", "RPMU_2", "RPMU_3", "RPMU_4",
                               "RPMU_5", "RPMU_6", "RPMU_7", "RPMU_8"};
    QCOMPARE(textsOf(page, names),
             (QStringList{"CHANNEL ENABLED", "FORCE VOLTAGE MODE", "±2mA CURRENT RANGE",
                          "MEASOUT = VSENSE", " FORCE AMP TIED TO FINDAC",
                          "SYSTEM SENSE/FORCE DISCONNECTED", "CLAMP ENABLED", "COMPARATOR ENABLED",
                          "COMPARE CURRENT"}));
    QCOMPARE(lamps(page, "cmdTEMP_2", "cmdTEMP_3"), (QStringList{"OK green", "OK green"}));
    // PMU 1: choosing it sends nothing, the read then asks PMU 1 and decodes its register.
    QVERIFY(clickButton(page, "OptPMUCH_1"));
    QCOMPARE(read(page, "READPMU"), (Transcript{"W 12000000", "R"}));
    QCOMPARE(textsOf(page, names),
             (QStringList{"CHANNEL ENABLED", "FORCE CURRENT MODE", "±EXTERNAL CURRENT RANGE",
                          "MEASOUT = TEMP SENSOR", "FORCE AMP TIED TO FINGND",
                          "SYSTEM SENSE/FORCE DISCONNECTED", "CLAMP DISABLED",
                          "COMPARATOR DISABLED", "COMPARE VOLTAGE"}));
  }

  // The request words that options, lists and page entries compose; none of it sends.
  void requestWordsFollowTheControls() {
    QWidget* pmu = openPage(kPageReadPmu);
    const std::size_t mark = f_->mark();
    QVERIFY(clickButton(pmu, "OptPMUCH_0"));
    QCOMPARE(words().pmuRequestWord, 0x11000000);
    // Page entry ORs PMU 3 back in; the option shown chosen restores a single channel bit.
    openPage(kPageReadSystem);
    openPage(kPageReadPmu);
    QCOMPARE(serialText(), QStringLiteral("19000000"));
    QVERIFY(find<QRadioButton>(pmu, "OptPMUCH_0")->isChecked());
    QVERIFY(clickButton(pmu, "OptPMUCH_0"));
    QCOMPARE(words().pmuRequestWord, 0x11000000);

    QWidget* dac = openPage(kPageReadDac);
    auto* current = find<QComboBox>(dac, "cboCurrentregset");
    auto* clamp = find<QComboBox>(dac, "cboCLLregset");
    QCOMPARE(textsOf(dac, {"cboDAC", "cboCurrentregset", "cboCLLregset"}),
             (QStringList{"FIN DAC", "±5uA", "±Ext Current Range"}));
    // List, entry, request word afterwards, whether the clamp level list is the one shown.
    const std::tuple<const char*, const char*, std::int32_t, bool> steps[] = {
        {"cboCurrentregset", "±2mA", 0x18CB0000, false},
        {"cboRegset", "c reg", 0x188B0000, false},
        {"cboDAC", "CPL DAC", 0x18A30000, false},
        {"cboRegset", "m reg", 0x18630000, false},
        {"cboCurrentregset", "Voltage Range", 0x18650000, false},
        {"cboRegset", "x1 reg", 0x18E50000, false},
        {"cboCurrentregset", "±200uA", 0x18E20000, false},
        {"cboDAC", "CLL DAC", 0x18D20000, true},  // level 2 kept until a clamp level is chosen
        {"cboCLLregset", "±Ext Rsense", 0x18D40000, true},
        {"cboDAC", "CLH DAC", 0x18DC0000, true},
        {"cboDAC", "CPH DAC", 0x18EC0000, false},
        {"cboDAC", "FIN DAC", 0x18CC0000, false}};
    for (const auto& [list, entry, word, clampShown] : steps) {
      QVERIFY2(chooseItemText(dac, list, QString::fromUtf8(entry)), entry);
      QCOMPARE(serialText(), hex(word));
      QCOMPARE((std::tuple{clamp->isVisible(), current->isVisible()}),
               (std::tuple{clampShown, !clampShown}));
    }
    // A channel option leaves one channel bit (and the R/W bit); page entry ORs PMU 3 back in.
    for (int ch : {0, 2, 1}) {
      QVERIFY(clickButton(dac, QStringLiteral("OptDACREAD_%1").arg(ch)));
      QCOMPARE(words().dacRequestWord, 0x10CC0000 | (1 << (24 + ch)));
      QCOMPARE(boxRow(dac, "txtRDAC", 27).left(4), QString("0000").replace(3 - ch, 1, '1'));
    }
    openPage(kPageReadStatus);
    openPage(kPageReadDac);
    QCOMPARE(serialText(), QStringLiteral("1ACC0000"));
    QVERIFY(f_->sentWords(mark).empty());
  }

  // Written word, channel option, DAC, level, kind, request word, code shown; the offset DAC
  // is read first.
  void readDacShowsOffsetAndCode() {
    const std::tuple<std::int32_t, int, const char*, const char*, const char*, std::int32_t>
        rows[] = {{0x08CA1234, 3, "FIN DAC", "±200uA", "x1 reg", 0x18CA0000},
                  {0x024B5678, 1, "FIN DAC", "±2mA", "m reg", 0x124B0000},
                  {0x01AD9ABC, 0, "CPH DAC", "Voltage Range", "c reg", 0x11AD0000},
                  {0x04DD00FF, 2, "CLH DAC", "Voltage Range", "x1 reg", 0x14DD0000}};
    for (const auto& [written, channel, dac, level, kind, request] : rows) {
      start();
      f_->session().SPIout(0x0FC0A492);
      f_->session().SPIout(written);
      QWidget* page = openPage(kPageReadDac);
      QVERIFY(clickButton(page, QStringLiteral("OptDACREAD_%1").arg(channel)));
      QVERIFY(chooseItemText(page, "cboDAC", dac));
      const bool clamp = QLatin1String(dac) == QLatin1String("CLH DAC");
      QVERIFY(chooseItemText(page, clamp ? "cboCLLregset" : "cboCurrentregset", level));
      QVERIFY(chooseItemText(page, "cboRegset", kind));
      QCOMPARE(read(page, "cmdREADDAC"),
               (Transcript{"W 1FC00000", "R", "W " + hex(request).toStdString(), "R"}));
      const std::uint32_t reply = static_cast<std::uint32_t>(written) & 0xFFFFFFu;
      QCOMPARE(textsOf(page, {"txtOFFSET", "txtDaccode"}),
               (QStringList{"0000A492", hex(reply & 0xFFFF)}));
      QCOMPARE(textOf(w_, "lblREADSPI"), hex(reply, 6));
      QCOMPARE(boxRow(page, "txtRDAC", 23), bitsOf(reply, 23));
    }
  }

  // The comparator and alarm reads of the status page; the alarm lamps of the status and PMU
  // pages: green "OK" on a cool die, red "TOO HOT" on a hot one; after cooling the unlatched flags
  // read 1 again, the latched ones stay 0 until "clear latched bits" sends the PMU word with CLEAR.
  void statusReadsAndAlarmLamps() {
    const QStringList ok = {"OK green", "OK green"};
    const QStringList hot = {"TOO HOT red", "TOO HOT red"};
    QWidget* status = openPage(kPageReadStatus);
    QCOMPARE(read(status, "READALARM"), (Transcript{"W 10C00000", "R"}));
    QCOMPARE(lamps(status, "cmdTEMP_0", "cmdTEMP_1"), ok);
    QCOMPARE(boxRow(status, "txtALM", 21).left(2), QStringLiteral("11"));
    QCOMPARE(read(status, "READCOMP"), (Transcript{"W 10400000", "R"}));
    QCOMPARE(boxRow(status, "txtCOMP", 23).left(2), QStringLiteral("01"));  // its mode bits

    start("temp=150");
    status = openPage(kPageReadStatus);
    QVERIFY(clickButton(status, "READALARM"));
    QCOMPARE(lamps(status, "cmdTEMP_0", "cmdTEMP_1"), hot);
    QCOMPARE(boxRow(status, "txtALM", 21).left(2), QStringLiteral("00"));
    QWidget* pmu = openPage(kPageReadPmu);
    QVERIFY(clickButton(pmu, "READPMU"));
    QCOMPARE(lamps(pmu, "cmdTEMP_2", "cmdTEMP_3"), hot);
    chip().setDieTemperature(25.0);
    QVERIFY(clickButton(pmu, "READPMU"));
    QCOMPARE(lamps(pmu, "cmdTEMP_2", "cmdTEMP_3"), (QStringList{"OK green", "TOO HOT red"}));
    status = openPage(kPageReadStatus);
    QVERIFY(clickButton(status, "READALARM"));
    QCOMPARE(lamps(status, "cmdTEMP_0", "cmdTEMP_1"), (QStringList{"TOO HOT red", "OK green"}));
    QCOMPARE(read(status, "Command4"), (Transcript{"W 0F21B340"}));
    QVERIFY(clickButton(status, "READALARM"));
    QCOMPARE(lamps(status, "cmdTEMP_0", "cmdTEMP_1"), ok);
    // Without a channel bit the word would reach the chip as a system control write.
    edit([&](StoredWords& w) { w.pmuWord = 0x0021B300; });
    QCOMPARE(read(status, "Command4"), Transcript{});
    QVERIFY(f_->messages().onlyEntryError(texts::kNoChannel));
  }

  // ---- little routines ----

  // Each register set (-1: none chosen, the defaults 0000 and 8000) puts its level into both
  // FIN x1 writes, sent back to back; choosing only composes.
  void settlingWritesTwoCodesBackToBack() {
    const std::tuple<int, std::int32_t, std::int32_t> rows[] = {
        {-1, 0x0FCD0000, 0x0FCD8000}, {0, 0x0FCD1111, 0x0FCD2222}, {1, 0x0FC81111, 0x0FC82222},
        {2, 0x0FC91111, 0x0FC92222},  {3, 0x0FCA1111, 0x0FCA2222}, {4, 0x0FCB1111, 0x0FCB2222},
        {5, 0x0FCC1111, 0x0FCC2222}};
    for (const auto& [item, first, second] : rows) {
      start();
      QWidget* page = routines(0);
      if (item >= 0) {
        QVERIFY(typeAndEnter(page, "txtFINSET1", "1111"));
        QVERIFY(typeAndEnter(page, "txtFINSET2", "2222"));
        QVERIFY(chooseItem(page, "cboFINREG", item));
      }
      QCOMPARE(press(page, "cmdWRITESET"), (Words{first, second}));
      QCOMPARE(textsOf(page, {"Text2", "Text3"}), (QStringList{hex(first), hex(second)}));
      QCOMPARE(chip().dac(2, (first >> 16) & 0x3F).x1, static_cast<std::uint16_t>(second & 0xFFFF));
    }
  }

  // The main channel boxes choose the channels of both routines, at the moment of the press.
  void mainChannelBoxesChooseTheChannels() {
    QWidget* page = routines(0);
    QVERIFY(chooseItem(page, "cboFINREG", 4));  // composed with all four channels
    for (int ch = 0; ch < 3; ++ch) {
      QVERIFY(clickButton(w_, QStringLiteral("chkPMU_%1").arg(ch)));
    }
    QCOMPARE(press(page, "cmdWRITESET"), (Words{0x08CB0000, 0x08CB8000}));
    QCOMPARE(serialText(), QStringLiteral("08CB8000"));
    QVERIFY(selectTab(page, "tabROUTINES", 1));
    QVERIFY(typeAndEnter(page, "txtdin", "4000"));
    QVERIFY(chooseItemText(page, "cboCurrent1", QStringLiteral("±2mA")));
    QVERIFY(chooseItemText(page, "cboCurrent2", QStringLiteral("±20uA")));
    QCOMPARE(press(page, "cmdRangeChange"), (Words{0x0821B300, 0x08CD4000, 0x0820B300}));
    // PMU 0 was not addressed and keeps the start-up range (±2mA).
    QCOMPARE((std::pair{(chip().pmu(3) >> 15) & 7u, (chip().pmu(0) >> 15) & 7u}),
             (std::pair{1u, 3u}));
  }

  // A bad code is refused on Enter, and a bad code typed without Enter by the routine's button:
  // nothing sent, the message, the field emptied and focused, the displays keep the last words
  // that went out.
  void codeFieldsRefuseBadCodes() {
    // Field, text typed, Enter (false: the button is pressed instead), message.
    const std::tuple<const char*, const char*, bool, QString> rows[] = {
        {"txtFINSET1", "10000", true, texts::kCodeTooLarge},
        {"txtFINSET2", "12g", true, texts::kNotANumber},
        {"txtdin", "", true, texts::kNotANumber},
        {"txtFINSET1", "10000", false, texts::kCodeTooLarge},
        {"txtFINSET2", "FFFFFFFF", false, texts::kCodeTooLarge},
        {"txtFINSET2", "80000000", false, texts::kCodeTooLarge},
        {"txtFINSET1", "xyz", false, texts::kNotANumber},
        {"txtFINSET2", "", false, texts::kNotANumber},
        {"txtdin", "12345", false, texts::kCodeTooLarge}};
    for (const auto& [field, typed, enter, message] : rows) {
      const bool range = QLatin1String(field) == QLatin1String("txtdin");
      const char* button = range ? "cmdRangeChange" : "cmdWRITESET";
      start();
      QWidget* page = routines(range ? 1 : 0);
      // A good press first fills the displays.
      QCOMPARE(press(page, button).size(), std::size_t{range ? 3u : 2u});
      auto* edit = find<QLineEdit>(page, field);
      const std::size_t mark = f_->mark();
      QVERIFY(enter ? typeAndEnter(edit, typed)
                    : (typeText(edit, typed) && clickButton(page, button)));
      QVERIFY(f_->sentWords(mark).empty());
      QVERIFY2(f_->messages().onlyEntryError(message), typed);
      QCOMPARE(edit->text(), QString());
      QVERIFY(edit->hasFocus());
      QCOMPARE(textOf(page, range ? "txtrange1" : "Text2"), range ? "0F203300" : "0FCD0000");
      QCOMPARE(words().pmuWord, 0x0F21B300);
    }
  }

  // First range, the FIN voltage-range code, second range, nothing in between; the routine's
  // PMU writes clear the R/W and mode bits of the stored word, which is restored afterwards.
  void rangeChangeSendsThreeWordsAndRestoresPmuWord() {
    // Stored PMU word, FIN code, first and second range, the words, the chip's range field.
    const std::tuple<std::int32_t, const char*, const char*, const char*, Words, std::uint32_t>
        rows[] = {{0x0F21B300, "8000", "±2mA", "±5uA", {0x0F21B300, 0x0FCD8000, 0x0F203300}, 0},
                  {0x1FE1B340,
                   "0000",
                   "±20uA",
                   "±ext current range",
                   {0x0F20B340, 0x0FCD0000, 0x0F223340},
                   4}};
    for (const auto& [stored, din, first, second, sent, chipRange] : rows) {
      start();
      QWidget* page = routines(1);
      edit([&](StoredWords& w) { w.pmuWord = stored; });
      QVERIFY(typeAndEnter(page, "txtdin", din));
      QVERIFY(chooseItemText(page, "cboCurrent1", QString::fromUtf8(first)));
      QVERIFY(chooseItemText(page, "cboCurrent2", QString::fromUtf8(second)));
      QCOMPARE(press(page, "cmdRangeChange"), sent);
      QCOMPARE(textsOf(page, {"txtrange1", "txtfincode", "txtrange2"}),
               (QStringList{hex(sent[0]), hex(sent[1]), hex(sent[2])}));
      QCOMPARE(words().pmuWord, stored);
      for (int ch = 0; ch < 4; ++ch) {  // the chip stays in the second range
        QCOMPARE((chip().pmu(ch) >> 15) & 7u, chipRange);
      }
    }
  }

  void rangeChangeRefusesWordsWithoutAChannel() {
    start();
    QWidget* page = routines(1);
    // All channel boxes cleared: pmuWord carries no channel bit.
    edit([&](StoredWords& w) { w.chanBits = 0; });
    edit([&](StoredWords& w) { w.pmuWord = 0x0021B300; });
    QVERIFY(chooseItemText(page, "cboCurrent1", QStringLiteral("±2mA")));
    // Neither the PMU words nor the FIN word go out; one message.
    QCOMPARE(press(page, "cmdRangeChange"), Words{});
    QVERIFY(f_->messages().onlyEntryError(texts::kNoChannel));
    QCOMPARE(chip().systemControl(), 0x3FE4A0u);
    QCOMPARE(textOf(page, "txtfincode"), QString());
  }
};

QTEST_MAIN(RegisterWindowTest)
#include "test_register_window.moc"
