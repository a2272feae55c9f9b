// The "LITTLE ROUTINES" page on the simulated board: the settling step and the range change,
// their words back to back, and the presses that must send nothing.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

#include "board/simulated_board.h"
#include "ui/common/session.h"
#include "ui/register_window/little_routines_page.h"
#include "ui/register_window/register_window.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;

namespace {

// The page alone on a connected simulated board, with the start-up's stored words.
struct Bench {
  Bench() : context(f.session()), page(context) {
    Session& s = f.session();
    s.link().LoadUSB(s.firmware.path);
    s.words.chanBits = 0x0F000000;
    s.words.pmuWord = 0x0F21B300;
    s.SPIout(0x003FE4A0);
    s.SPIout(0x0F21B300);
    page.resize(1000, 500);
    showAndWait(&page);
    page.activateWindow();
  }
  Session& session() { return f.session(); }
  board::SimulatedChip& chip() { return f.session().simulated()->chip(); }
  void showSubPage(int index) { find<QTabWidget>(&page, "tabROUTINES")->setCurrentIndex(index); }
  QString text(const QString& name) { return textOf(&page, name); }

  UiFixture f;
  PlainContext context;
  LittleRoutinesPage page;
};

}  // namespace

class TestLittleRoutines : public QObject {
  Q_OBJECT

 private slots:
  void showsTheTwoSubPages() {
    Bench b;
    auto* tabs = find<QTabWidget>(&b.page, "tabROUTINES");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("SETTLING TIME TRANSITIONS"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("RANGE CHANGE TRANSITIONS"));
    // The range-change text keeps its trailing blank.
    QVERIFY(b.text("lblRANGECHANGETEXT").endsWith(QStringLiteral(". ")));
    QCOMPARE(find<QComboBox>(&b.page, "cboFINREG")->currentIndex(), -1);
    QCOMPARE(find<QComboBox>(&b.page, "cboFINREG")->itemText(3), QStringLiteral("±200mA"));
    QCOMPARE(find<QComboBox>(&b.page, "cboCurrent2")->itemText(4),
             QStringLiteral("±ext current range"));
    const QStringList shown = {b.text("cboFINREG"), b.text("txtFINSET1"), b.text("txtFINSET2"),
                               b.text("txtdin")};
    QCOMPARE(shown, (QStringList{"Voltage Range", "0000", "8000", "0000"}));
  }

  // Each register set (-1: none chosen, the defaults 0000 and 8000) puts its level into both
  // FIN x1 writes, sent back to back; choosing only composes.
  void settlingWritesTwoCodesBackToBack() {
    const struct {
      int item;
      std::int32_t first, second;
    } rows[] = {{-1, 0x0FCD0000, 0x0FCD8000}, {0, 0x0FCD1111, 0x0FCD2222},
                {1, 0x0FC81111, 0x0FC82222},  {2, 0x0FC91111, 0x0FC92222},
                {3, 0x0FCA1111, 0x0FCA2222},  {4, 0x0FCB1111, 0x0FCB2222},
                {5, 0x0FCC1111, 0x0FCC2222}};
    for (const auto& row : rows) {
      Bench b;
      if (row.item >= 0) {
        QVERIFY(typeAndEnter(&b.page, "txtFINSET1", "1111"));
        QVERIFY(typeAndEnter(&b.page, "txtFINSET2", "2222"));
        QVERIFY(chooseItem(&b.page, "cboFINREG", row.item));
      }
      const std::size_t mark = b.f.mark();
      QVERIFY(clickButton(&b.page, "cmdWRITESET"));
      QCOMPARE(b.f.transcript(mark),
               (std::vector<std::string>{"W " + hex(row.first).toStdString(),
                                         "W " + hex(row.second).toStdString()}));
      QCOMPARE(b.text("Text2"), hex(row.first));
      QCOMPARE(b.text("Text3"), hex(row.second));
      QCOMPARE(b.chip().dac(2, (row.first >> 16) & 0x3F).x1,
               static_cast<std::uint16_t>(row.second & 0xFFFF));
    }
  }

  void settlingUsesTheChannelsOfTheMoment() {
    Bench b;
    QVERIFY(chooseItem(&b.page, "cboFINREG", 4));  // composed with all four channels
    b.session().words.chanBits = 0x02000000;       // then only PMU 1 is ticked
    const std::size_t mark = b.f.mark();
    QVERIFY(clickButton(&b.page, "cmdWRITESET"));
    QCOMPARE(b.f.sentWords(mark), (std::vector<std::int32_t>{0x02CB0000, 0x02CB8000}));
  }

  void codeFieldsCheckOnEnter() {
    const std::pair<const char*, const char*> accepted[] = {{"a", "000A"}, {"0000abcd", "ABCD"}};
    const std::pair<const char*, QString> refused[] = {{"10000", texts::kCodeTooLarge},
                                                       {"FFFFFFFF", texts::kCodeTooLarge},
                                                       {"12g", texts::kNotANumber},
                                                       {"", texts::kNotANumber}};
    for (const char* field : {"txtFINSET1", "txtFINSET2", "txtdin"}) {
      Bench b;
      b.showSubPage(QLatin1String(field) == QLatin1String("txtdin") ? 1 : 0);
      for (const auto& [typed, shown] : accepted) {
        QVERIFY(typeAndEnter(&b.page, field, typed));
        QCOMPARE(b.text(field), QString::fromLatin1(shown));
      }
      QCOMPARE(b.f.messages().count(), 0);
      for (const auto& [typed, message] : refused) {
        b.f.messages().clear();
        QVERIFY(typeAndEnter(&b.page, field, typed));
        QVERIFY(b.f.messages().onlyEntryError(message));
        QCOMPARE(b.text(field), QString());
        QVERIFY(find<QLineEdit>(&b.page, field)->hasFocus());
      }
      QCOMPARE(b.f.sentWords(), (std::vector<std::int32_t>{0x003FE4A0, 0x0F21B300}));
    }
  }

  // A bad code typed without Enter is refused by the button: nothing sent, message, field
  // emptied and focused, the displays keep the last words that went out.
  void buttonsRefuseUnconfirmedBadCodes() {
    const struct {
      const char* field;
      const char* typed;
      QString message;
    } rows[] = {{"txtFINSET1", "10000", texts::kCodeTooLarge},
                {"txtFINSET2", "FFFFFFFF", texts::kCodeTooLarge},
                {"txtFINSET2", "80000000", texts::kCodeTooLarge},
                {"txtFINSET1", "xyz", texts::kNotANumber},
                {"txtFINSET2", "", texts::kNotANumber},
                {"txtdin", "12345", texts::kCodeTooLarge}};
    for (const auto& row : rows) {
      Bench b;
      const bool range = QLatin1String(row.field) == QLatin1String("txtdin");
      const char* button = range ? "cmdRangeChange" : "cmdWRITESET";
      b.showSubPage(range ? 1 : 0);
      if (!range) {
        QVERIFY(clickButton(&b.page, button));  // a good press first fills the displays
      }
      auto* edit = find<QLineEdit>(&b.page, row.field);
      QVERIFY(typeText(edit, row.typed));
      const std::size_t mark = b.f.mark();
      QVERIFY(clickButton(&b.page, button));
      QVERIFY(b.f.sentWords(mark).empty());
      QVERIFY(b.f.messages().onlyEntryError(row.message));
      QCOMPARE(edit->text(), QString());
      QVERIFY(edit->hasFocus());
      QCOMPARE(b.text(range ? "txtrange1" : "Text2"), range ? QString() : QString("0FCD0000"));
      QCOMPARE(b.session().words.pmuWord, 0x0F21B300);
    }
  }

  // First range, the FIN voltage-range code, second range, nothing in between; the routine's
  // PMU writes clear the R/W and mode bits of the stored word, which is restored afterwards.
  void rangeChangeSendsThreeWordsAndRestoresPmuWord() {
    const struct {
      std::int32_t stored;
      const char* din;
      const char* first;
      const char* second;
      std::int32_t words[3];
      std::uint32_t chipRange;
    } rows[] = {{0x0F21B300, "8000", "±2mA", "±5uA", {0x0F21B300, 0x0FCD8000, 0x0F203300}, 0},
                {0x1FE1B340,
                 nullptr,
                 "±20uA",
                 "±ext current range",
                 {0x0F20B340, 0x0FCD0000, 0x0F223340},
                 4}};
    for (const auto& row : rows) {
      Bench b;
      b.showSubPage(1);
      b.session().words.pmuWord = row.stored;
      if (row.din != nullptr) {
        QVERIFY(typeAndEnter(&b.page, "txtdin", row.din));
      }
      QVERIFY(chooseItemText(&b.page, "cboCurrent1", QString::fromUtf8(row.first)));
      QVERIFY(chooseItemText(&b.page, "cboCurrent2", QString::fromUtf8(row.second)));
      const std::size_t mark = b.f.mark();
      QVERIFY(clickButton(&b.page, "cmdRangeChange"));
      QCOMPARE(b.f.sentWords(mark), std::vector<std::int32_t>(row.words, row.words + 3));
      QCOMPARE(b.text("txtrange1"), hex(row.words[0]));
      QCOMPARE(b.text("txtfincode"), hex(row.words[1]));
      QCOMPARE(b.text("txtrange2"), hex(row.words[2]));
      QCOMPARE(b.session().words.pmuWord, row.stored);
      // The chip stays in the second range.
      for (int ch = 0; ch < 4; ++ch) {
        QCOMPARE((b.chip().pmu(ch) >> 15) & 7u, row.chipRange);
      }
    }
  }

  void rangeChangeRefusesWordsWithoutAChannel() {
    Bench b;
    b.showSubPage(1);
    // All channel boxes cleared: pmuWord carries no channel bit.
    b.session().words.chanBits = 0;
    b.session().words.pmuWord = 0x0021B300;
    QVERIFY(chooseItemText(&b.page, "cboCurrent1", QStringLiteral("±2mA")));
    const std::size_t mark = b.f.mark();
    QVERIFY(clickButton(&b.page, "cmdRangeChange"));
    // Neither the PMU words nor the FIN word go out; one message.
    QVERIFY(b.f.sentWords(mark).empty());
    QVERIFY(b.f.messages().onlyEntryError(texts::kNoChannel));
    QCOMPARE(b.session().words.pmuWord, 0x0021B300);
    QCOMPARE(b.chip().systemControl(), 0x3FE4A0u);
    QCOMPARE(b.text("txtfincode"), QString());
  }

  // Inside the register window, the main channel boxes choose the channels of both routines.
  void mainWindowChannelBoxesChooseTheChannels() {
    UiFixture f;
    Session& s = f.session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    auto* window = qobject_cast<RegisterWindow*>(f.startWindow(WindowId::Register));
    QVERIFY(window != nullptr && showAndWait(window));
    window->pages()->setCurrentIndex(kPageLittleRoutines);
    QWidget* page = window->pages()->widget(kPageLittleRoutines);
    for (int ch = 0; ch < 3; ++ch) {
      QVERIFY(clickButton(window, QStringLiteral("chkPMU_%1").arg(ch)));
    }
    QCOMPARE(s.words.chanBits, 0x08000000);
    std::size_t mark = f.mark();
    QVERIFY(clickButton(page, "cmdWRITESET"));
    QCOMPARE(f.transcript(mark), (std::vector<std::string>{"W 08CD0000", "W 08CD8000"}));
    QCOMPARE(window->serialWordField()->text(), QStringLiteral("08CD8000"));

    find<QTabWidget>(page, "tabROUTINES")->setCurrentIndex(1);
    QVERIFY(typeAndEnter(page, "txtdin", "4000"));
    QVERIFY(chooseItemText(page, "cboCurrent1", QStringLiteral("±2mA")));
    QVERIFY(chooseItemText(page, "cboCurrent2", QStringLiteral("±20uA")));
    mark = f.mark();
    QVERIFY(clickButton(page, "cmdRangeChange"));
    QCOMPARE(f.transcript(mark),
             (std::vector<std::string>{"W 0821B300", "W 08CD4000", "W 0820B300"}));
    // PMU 0 was not addressed and keeps the start-up range (±2mA).
    QCOMPARE((s.simulated()->chip().pmu(3) >> 15) & 7u, 1u);
    QCOMPARE((s.simulated()->chip().pmu(0) >> 15) & 7u, 3u);
  }
};

QTEST_MAIN(TestLittleRoutines)
#include "test_little_routines.moc"
