// The "LITTLE ROUTINES" page on the simulated board: the settling step and the range change,
// their words back to back, and the presses that must send nothing.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

#include "board/simulated_board.h"
#include "ui/common/entry_checks.h"
#include "ui/common/session.h"
#include "ui/register_window/little_routines_page.h"
#include "ui/register_window/register_window.h"
#include "ui/register_window/register_window_context.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;

namespace {

class PlainContext : public RegisterWindowContext {
 public:
  explicit PlainContext(Session& s) : session_(s) {}
  Session& session() override { return session_; }
  void showReadField(const QString& text) override { readField = text; }
  QString readField;

 private:
  Session& session_;
};

// The page on a connected simulated board, with the start-up's stored words.
struct Bench {
  Bench() : context(fixture.session()), page(context) {
    Session& s = fixture.session();
    s.link().LoadUSB(s.firmwarePath);
    s.words.chanBits = 0x0F000000;
    s.words.pmuWord = 0x0F21B300;
    s.SPIout(0x003FE4A0);
    s.SPIout(0x0F21B300);
    page.resize(1000, 500);
    showAndWait(&page);
    page.activateWindow();
  }

  Session& session() { return fixture.session(); }
  board::SimulatedChip& chip() { return fixture.session().simulated()->chip(); }
  void showSubPage(int index) { find<QTabWidget>(&page, "tabROUTINES")->setCurrentIndex(index); }
  QString text(const QString& name) { return find<QLineEdit>(&page, name)->text(); }

  UiFixture fixture;
  PlainContext context;
  LittleRoutinesPage page;
};

// The page inside the whole register window, after its start-up.
struct MainBench {
  MainBench() {
    Session& s = fixture.session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    window = qobject_cast<RegisterWindow*>(fixture.startWindow(WindowId::Register));
    if (window != nullptr) {
      showAndWait(window);
      window->pages()->setCurrentIndex(kPageLittleRoutines);
      page = window->pages()->widget(kPageLittleRoutines);
    }
  }
  UiFixture fixture;
  RegisterWindow* window = nullptr;
  QWidget* page = nullptr;
};

}  // namespace

class TestLittleRoutines : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTwoSubPages();
  void settlingWithTheDefaults();
  void settlingLevelOfEachRegisterSet_data();
  void settlingLevelOfEachRegisterSet();
  void settlingUsesTheChannelsOfTheMoment();
  void codeFieldsCheckOnEnter_data();
  void codeFieldsCheckOnEnter();
  void settlingRefusesUnconfirmedBadCodes_data();
  void settlingRefusesUnconfirmedBadCodes();
  void rangeChangeSendsThreeWordsAndRestoresPmuWord();
  void rangeChangeToTheExternalRange();
  void rangeChangeRefusesABadCode();
  void rangeChangeRefusesWordsWithoutAChannel();
  void rangeListsIgnoreKeys();
  void mainWindowChannelBoxesChooseTheChannels();
  void mainWindowUpdateWithoutChannelsIsRefused();
};

void TestLittleRoutines::showsTheTwoSubPages() {
  Bench b;
  auto* tabs = find<QTabWidget>(&b.page, "tabROUTINES");
  QVERIFY(tabs != nullptr);
  QCOMPARE(tabs->count(), 2);
  QCOMPARE(tabs->tabText(0), QStringLiteral("SETTLING TIME TRANSITIONS"));
  QCOMPARE(tabs->tabText(1), QStringLiteral("RANGE CHANGE TRANSITIONS"));
  // The range-change text keeps its trailing blank.
  QVERIFY(find<QLabel>(&b.page, "lblRANGECHANGETEXT")->text().endsWith(QStringLiteral(". ")));
  auto* finReg = find<QComboBox>(&b.page, "cboFINREG");
  QCOMPARE(finReg->currentIndex(), -1);
  QCOMPARE(finReg->placeholderText(), QStringLiteral("Voltage Range"));
  QCOMPARE(finReg->itemText(3), QStringLiteral("±200mA"));
  QCOMPARE(find<QComboBox>(&b.page, "cboCurrent2")->itemText(4),
           QStringLiteral("±ext current range"));
  QCOMPARE(b.text("txtFINSET1"), QStringLiteral("0000"));
  QCOMPARE(b.text("txtFINSET2"), QStringLiteral("8000"));
  QCOMPARE(b.text("txtdin"), QStringLiteral("0000"));
}

void TestLittleRoutines::settlingWithTheDefaults() {
  Bench b;
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdWRITESET"));
  // Back to back: nothing else between the two FIN x1 writes.
  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 0FCD0000", "W 0FCD8000"}));
  QCOMPARE(b.text("Text2"), QStringLiteral("0FCD0000"));
  QCOMPARE(b.text("Text3"), QStringLiteral("0FCD8000"));
  for (int ch = 0; ch < 4; ++ch) {
    QCOMPARE(b.chip().dac(ch, 13).x1, std::uint16_t{0x8000});
  }
  QCOMPARE(b.page.firstSettlingWord(), 0x0FCD0000);
  QCOMPARE(b.page.secondSettlingWord(), 0x0FCD8000);
}

void TestLittleRoutines::settlingLevelOfEachRegisterSet_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<int>("first");
  QTest::addColumn<int>("second");
  QTest::newRow("Voltage Range") << 0 << 0x0FCD1111 << 0x0FCD2222;
  QTest::newRow("±5uA") << 1 << 0x0FC81111 << 0x0FC82222;
  QTest::newRow("±20uA") << 2 << 0x0FC91111 << 0x0FC92222;
  QTest::newRow("±200mA is level 2") << 3 << 0x0FCA1111 << 0x0FCA2222;
  QTest::newRow("±2mA") << 4 << 0x0FCB1111 << 0x0FCB2222;
  QTest::newRow("±Ext Rsense") << 5 << 0x0FCC1111 << 0x0FCC2222;
}

void TestLittleRoutines::settlingLevelOfEachRegisterSet() {
  QFETCH(int, item);
  QFETCH(int, first);
  QFETCH(int, second);
  Bench b;
  QVERIFY(typeAndEnter(&b.page, "txtFINSET1", "1111"));
  QVERIFY(typeAndEnter(&b.page, "txtFINSET2", "2222"));
  std::size_t mark = b.fixture.mark();
  QVERIFY(chooseItem(&b.page, "cboFINREG", item));
  // Choosing the register set only composes.
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(b.page.firstSettlingWord(), first & 0x0FFF0000);

  mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdWRITESET"));
  QCOMPARE(b.fixture.sentWords(mark), (std::vector<std::int32_t>{first, second}));
  const int address = (first >> 16) & 0x3F;
  QCOMPARE(b.chip().dac(2, address).x1, std::uint16_t{0x2222});
}

void TestLittleRoutines::settlingUsesTheChannelsOfTheMoment() {
  Bench b;
  QVERIFY(chooseItem(&b.page, "cboFINREG", 4));  // composed with all four channels
  b.session().words.chanBits = 0x02000000;       // then only PMU 1 is ticked
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdWRITESET"));
  QCOMPARE(b.fixture.sentWords(mark), (std::vector<std::int32_t>{0x02CB0000, 0x02CB8000}));
}

void TestLittleRoutines::codeFieldsCheckOnEnter_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");    // the field afterwards
  QTest::addColumn<QString>("message");  // "" when accepted
  for (const char* field : {"txtFINSET1", "txtFINSET2", "txtdin"}) {
    QTest::addRow("%s a", field) << field << "a"
                                 << "000A"
                                 << "";
    QTest::addRow("%s 0000abcd", field) << field << "0000abcd"
                                        << "ABCD"
                                        << "";
    QTest::addRow("%s 10000", field) << field << "10000"
                                     << "" << texts::kCodeTooLarge;
    QTest::addRow("%s FFFFFFFF", field) << field << "FFFFFFFF"
                                        << "" << texts::kCodeTooLarge;
    QTest::addRow("%s 12g", field) << field << "12g"
                                   << "" << texts::kNotANumber;
    QTest::addRow("%s empty", field) << field << ""
                                     << "" << texts::kNotANumber;
  }
}

void TestLittleRoutines::codeFieldsCheckOnEnter() {
  QFETCH(QString, field);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QFETCH(QString, message);
  Bench b;
  b.showSubPage(field == QStringLiteral("txtdin") ? 1 : 0);
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(&b.page, field, typed));
  QCOMPARE(b.text(field), shown);
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  if (message.isEmpty()) {
    QCOMPARE(b.fixture.messages().count(), 0);
  } else {
    QCOMPARE(b.fixture.messages().count(), 1);
    QCOMPARE(b.fixture.messages().last().title, kEntryErrorTitle);
    QCOMPARE(b.fixture.messages().last().text, message);
    QVERIFY(find<QLineEdit>(&b.page, field)->hasFocus());
  }
}

void TestLittleRoutines::settlingRefusesUnconfirmedBadCodes_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("message");
  QTest::newRow("first 10000") << "txtFINSET1"
                               << "10000" << texts::kCodeTooLarge;
  QTest::newRow("second FFFFFFFF") << "txtFINSET2"
                                   << "FFFFFFFF" << texts::kCodeTooLarge;
  QTest::newRow("second 80000000 (negative)") << "txtFINSET2"
                                              << "80000000" << texts::kCodeTooLarge;
  QTest::newRow("first xyz") << "txtFINSET1"
                             << "xyz" << texts::kNotANumber;
  QTest::newRow("second empty") << "txtFINSET2"
                                << "" << texts::kNotANumber;
}

void TestLittleRoutines::settlingRefusesUnconfirmedBadCodes() {
  QFETCH(QString, field);
  QFETCH(QString, typed);
  QFETCH(QString, message);
  Bench b;
  QVERIFY(clickButton(&b.page, "cmdWRITESET"));  // a good press first fills the displays
  auto* edit = find<QLineEdit>(&b.page, field);
  QVERIFY(typeText(edit, typed));  // typed, never confirmed with Enter
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdWRITESET"));
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(b.fixture.messages().count(), 1);
  QCOMPARE(b.fixture.messages().last().title, kEntryErrorTitle);
  QCOMPARE(b.fixture.messages().last().text, message);
  QCOMPARE(edit->text(), QString());
  QVERIFY(edit->hasFocus());
  // The displays keep the last words that went out.
  QCOMPARE(b.text("Text2"), QStringLiteral("0FCD0000"));
  QCOMPARE(b.text("Text3"), QStringLiteral("0FCD8000"));
}

void TestLittleRoutines::rangeChangeSendsThreeWordsAndRestoresPmuWord() {
  Bench b;
  b.showSubPage(1);
  QVERIFY(typeAndEnter(&b.page, "txtdin", "8000"));
  QVERIFY(chooseItemText(&b.page, "cboCurrent1", QStringLiteral("±2mA")));
  QVERIFY(chooseItemText(&b.page, "cboCurrent2", QStringLiteral("±5uA")));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdRangeChange"));
  // First range (011), the FIN voltage-range code, second range (000), nothing in between.
  QCOMPARE(b.fixture.transcript(mark),
           (std::vector<std::string>{"W 0F21B300", "W 0FCD8000", "W 0F203300"}));
  QCOMPARE(b.text("txtrange1"), QStringLiteral("0F21B300"));
  QCOMPARE(b.text("txtfincode"), QStringLiteral("0FCD8000"));
  QCOMPARE(b.text("txtrange2"), QStringLiteral("0F203300"));
  QCOMPARE(b.page.rangeChangeFinWord(), 0x0FCD8000);
  QCOMPARE(b.session().words.pmuWord, 0x0F21B300);
  // The chip stays in the second range.
  for (int ch = 0; ch < 4; ++ch) {
    QCOMPARE((b.chip().pmu(ch) >> 15) & 7u, 0u);
  }
}

void TestLittleRoutines::rangeChangeToTheExternalRange() {
  Bench b;
  b.showSubPage(1);
  // A stored word with the R/W and mode bits set: the routine's PMU writes clear them.
  b.session().words.pmuWord = 0x1FE1B340;
  QVERIFY(chooseItemText(&b.page, "cboCurrent1", QStringLiteral("±20uA")));
  QVERIFY(chooseItemText(&b.page, "cboCurrent2", QStringLiteral("±ext current range")));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdRangeChange"));
  QCOMPARE(b.fixture.sentWords(mark),
           (std::vector<std::int32_t>{0x0F20B340, 0x0FCD0000, 0x0F223340}));
  QCOMPARE(b.session().words.pmuWord, 0x1FE1B340);
}

void TestLittleRoutines::rangeChangeRefusesABadCode() {
  Bench b;
  b.showSubPage(1);
  auto* din = find<QLineEdit>(&b.page, "txtdin");
  QVERIFY(typeText(din, "12345"));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdRangeChange"));
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(b.fixture.messages().count(), 1);
  QCOMPARE(b.fixture.messages().last().text, texts::kCodeTooLarge);
  QCOMPARE(din->text(), QString());
  QVERIFY(din->hasFocus());
  QCOMPARE(b.text("txtrange1"), QString());
  QCOMPARE(b.session().words.pmuWord, 0x0F21B300);
}

void TestLittleRoutines::rangeChangeRefusesWordsWithoutAChannel() {
  Bench b;
  b.showSubPage(1);
  // All channel boxes cleared: pmuWord carries no channel bit.
  b.session().words.chanBits = 0;
  b.session().words.pmuWord = 0x0021B300;
  QVERIFY(chooseItemText(&b.page, "cboCurrent1", QStringLiteral("±2mA")));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(&b.page, "cmdRangeChange"));
  // Neither the PMU words nor the FIN word go out; one message.
  QCOMPARE(b.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(b.fixture.messages().count(texts::kNoChannel), 1);
  QCOMPARE(b.fixture.messages().count(), 1);
  QCOMPARE(b.session().words.pmuWord, 0x0021B300);
  QCOMPARE(b.chip().systemControl(), 0x3FE4A0u);
  QCOMPARE(b.text("txtfincode"), QString());
}

void TestLittleRoutines::rangeListsIgnoreKeys() {
  Bench b;
  b.showSubPage(1);
  for (const char* name : {"cboCurrent1", "cboCurrent2"}) {
    auto* list = find<QComboBox>(&b.page, name);
    list->setFocus();
    pressKeys(list, {Qt::Key_Down, Qt::Key_Down, Qt::Key_E, Qt::Key_End});
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(list->placeholderText(), QStringLiteral("±5uA"));
  }
}

void TestLittleRoutines::mainWindowChannelBoxesChooseTheChannels() {
  MainBench m;
  QVERIFY(m.page != nullptr);
  // The channel boxes are usable on this page: keep only PMU 3.
  for (int ch = 0; ch < 3; ++ch) {
    QVERIFY(clickButton(m.window, QStringLiteral("chkPMU_%1").arg(ch)));
  }
  QCOMPARE(m.fixture.session().words.chanBits, 0x08000000);

  std::size_t mark = m.fixture.mark();
  QVERIFY(clickButton(m.page, "cmdWRITESET"));
  QCOMPARE(m.fixture.transcript(mark), (std::vector<std::string>{"W 08CD0000", "W 08CD8000"}));
  QCOMPARE(m.window->serialWordField()->text(), QStringLiteral("08CD8000"));

  auto* tabs = find<QTabWidget>(m.page, "tabROUTINES");
  tabs->setCurrentIndex(1);
  QVERIFY(typeAndEnter(m.page, "txtdin", "4000"));
  QVERIFY(chooseItemText(m.page, "cboCurrent1", QStringLiteral("±2mA")));
  QVERIFY(chooseItemText(m.page, "cboCurrent2", QStringLiteral("±20uA")));
  mark = m.fixture.mark();
  QVERIFY(clickButton(m.page, "cmdRangeChange"));
  QCOMPARE(m.fixture.transcript(mark),
           (std::vector<std::string>{"W 0821B300", "W 08CD4000", "W 0820B300"}));
  QCOMPARE(m.fixture.session().words.pmuWord, 0x0821B300);
  QCOMPARE((m.fixture.session().simulated()->chip().pmu(3) >> 15) & 7u, 1u);
  // PMU 0 was not addressed and keeps the start-up range (±2mA).
  QCOMPARE((m.fixture.session().simulated()->chip().pmu(0) >> 15) & 7u, 3u);
}

void TestLittleRoutines::mainWindowUpdateWithoutChannelsIsRefused() {
  MainBench m;
  QVERIFY(m.page != nullptr);
  for (int ch = 0; ch < 4; ++ch) {
    QVERIFY(clickButton(m.window, QStringLiteral("chkPMU_%1").arg(ch)));
  }
  QCOMPARE(m.fixture.session().words.chanBits, 0);
  const std::uint32_t system = m.fixture.session().simulated()->chip().systemControl();
  find<QTabWidget>(m.page, "tabROUTINES")->setCurrentIndex(1);
  m.fixture.messages().clear();
  const std::size_t mark = m.fixture.mark();
  QVERIFY(clickButton(m.page, "cmdRangeChange"));
  QCOMPARE(m.fixture.sentWords(mark).size(), std::size_t{0});
  QCOMPARE(m.fixture.messages().count(), 1);
  QCOMPARE(m.fixture.messages().last().text, texts::kNoChannel);
  QCOMPARE(m.fixture.session().simulated()->chip().systemControl(), system);
}

QTEST_MAIN(TestLittleRoutines)
#include "test_little_routines.moc"
