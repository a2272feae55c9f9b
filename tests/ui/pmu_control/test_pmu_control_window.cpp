// The PMU control window created alone (the hub knows only this window), on the simulated
// board: its own load, the level calculations, the entry fields and the send of every change.
// Expected codes are worked out by hand from the default OFFSET code A492 (42130) and VREF 5 V:
// a voltage V gives 65536 * (V + 11.249924) / 22.5, a current I gives
// 65536 * I * R * gain / 22.5 + 32768, rounded to nearest.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>
#include <algorithm>

#include "board/simulated_board.h"
#include "ui/pmu_control/pmu_control_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

constexpr std::int32_t kStartupSysWord = 0x003FE4A0;

// The window alone on a fresh simulated board, shown, with the four channels selected as the
// register window's start-up leaves them (this window's own load runs before that).
struct Bench {
  UiFixture f;
  QWidget* w = nullptr;

  explicit Bench(bool selectChannels = true) {
    ui::Session& s = f.session();
    s.link().LoadUSB(s.firmware.path);
    f.clearTrace();
    s.hub().setFactory(WindowId::PmuControl, [&s] { return ui::createPmuControlWindow(s); });
    w = f.startWindow(WindowId::PmuControl);
    if (w != nullptr) {
      showAndWait(w);
    }
    if (selectChannels) {
      s.words.chanBits = 0x0F000000;
      s.words.sysWord = kStartupSysWord;
    }
  }
  ui::Session& session() { return f.session(); }
  QString text(const char* name) const { return textOf(w, QString::fromLatin1(name)); }
  QStringList units() const { return {text("lbl1"), text("txtH"), text("txtl")}; }
  QLineEdit* field(const char* name) const { return find<QLineEdit>(w, QString::fromLatin1(name)); }
  bool enter(const char* name, const QString& text) { return typeAndEnter(field(name), text); }
  // A list entry, or a click on the check box when `entry` is -1.
  bool act(const QString& control, int entry) {
    return entry < 0 ? clickButton(w, control) : chooseItem(w, control, entry);
  }
  // DAC input (x1) register writes since `mark`: mode bits 23 and 22 both set.
  std::vector<std::int32_t> dacWords(std::size_t mark) const {
    std::vector<std::int32_t> out;
    for (std::int32_t word : f.sentWords(mark)) {
      if ((word & 0x00C00000) == 0x00C00000) {
        out.push_back(word);
      }
    }
    return out;
  }
  // Puts GAIN0 (current-measure gain 5) straight into the simulated chip, bypassing every list.
  void setChipGainFive(bool five) {
    std::uint32_t sys = session().simulated()->chip().systemControl();
    session().simulated()->chip().clockWord(five ? (sys | 0x40u) : (sys & ~0x40u));
  }
};

}  // namespace

class TestPmuControlWindow : public QObject {
  Q_OBJECT

 private slots:
  void loadShowsStartUpChoicesAndWritesZeroVolts() {
    Bench b(false);
    QVERIFY(b.w != nullptr);
    QCOMPARE(b.w->windowTitle(), QStringLiteral("KV4410 PMU Controls"));
    const QStringList shown = {b.text("cboForce"),    b.text("cboMeasure"),  b.text("cboIrange"),
                               b.text("txtdaccode"),  b.text("txtother"),    b.text("txtOutputV"),
                               b.text("txtOutputVh"), b.text("txtOutputVl"), b.text("Text1")};
    QCOMPARE(shown, (QStringList{"Force Voltage", "Measure Current", "2mA current range", "8000",
                                 "00CD8000", "00.000", "11.250", "-11.250", "00000000"}));
    // Until the register window selects the channels, the load's PMU words carry no channel bit
    // and are refused silently; the FIN DAC write for 0 V still goes. "Last PMU REG Write"
    // stays empty: none of its PMU words reached the board.
    QCOMPARE(b.f.transcript(), std::vector<std::string>{"W 00CD8000"});
    QCOMPARE(b.f.messages().count(), 0);
    QCOMPARE(b.text("txtPMU"), QString());
    QCOMPARE(b.units(), (QStringList{"V", "V", "V"}));
    QCOMPARE(b.session().words.pmuWord, 0x00018000);
    QCOMPARE(b.session().conversion.vref, 5.0F);
    QCOMPARE(b.session().conversion.rangeIndex, std::int16_t{3});
    QVERIFY(!b.field("txtRsense")->isVisible());
    QVERIFY(!find<QLabel>(b.w, "lblrsense")->isVisible());
  }

  void forceVoltageCodes() {
    // Levels of the worked examples, the two ends of F/S and Z/S (11.249733, -11.249924).
    const struct {
      const char* level;
      const char* code;
      std::int32_t word;
    } rows[] = {{"0", "8000", 0x0FCD8000},         {"1", "8B60", 0x0FCD8B60},
                {"5", "B8E3", 0x0FCDB8E3},         {"10", "F1C7", 0x0FCDF1C7},
                {"11.249733", "FFFF", 0x0FCDFFFF}, {"-11.249924", "0000", 0x0FCD0000}};
    for (const auto& row : rows) {
      Bench b;
      const std::size_t mark = b.f.mark();
      QVERIFY(b.enter("txtForce", row.level));
      QCOMPARE(b.text("txtdaccode"), QString::fromLatin1(row.code));
      QCOMPARE(b.text("txtother"), hex(row.word));
      // Before the level: the range and force PMU words and one more copy of the PMU word.
      QCOMPARE(b.f.sentWords(mark),
               (std::vector<std::int32_t>{0x0F018000, 0x0F018000, 0x0F018000, row.word}));
      // The output shown is that of the FIN DAC field's code (8000), whatever level was entered.
      QCOMPARE(b.text("txtOutputV"), QStringLiteral("00.000"));
      QCOMPARE(b.f.messages().count(), 0);
    }
  }

  void forceLevelRejections() {
    const struct {
      const char* level;
      QString message;
      bool pmuWordsSent;
    } rows[] = {{"11.25", texts::kLevelTooLarge, true},
                {"-11.25", texts::kLevelTooLarge, true},
                {"1e300", texts::kLevelTooLarge, true},
                {"abc", texts::kNotANumber, false},
                {"", texts::kNotANumber, false}};
    for (const auto& row : rows) {
      Bench b;
      const std::size_t mark = b.f.mark();
      QVERIFY(b.enter("txtForce", row.level));
      QVERIFY(b.f.messages().onlyEntryError(row.message));
      QCOMPARE(b.text("txtForce"), QString());
      QVERIFY(b.field("txtForce")->hasFocus());
      QVERIFY(b.dacWords(mark).empty());
      QCOMPARE(!b.f.sentWords(mark).empty(), row.pmuWordsSent);
      QCOMPARE(b.text("txtdaccode"), QStringLiteral("8000"));
    }
  }

  // Force current: the units, F/S and Z/S of each range, and the code of a level, with the
  // current-measure gain that the window reads back from the chip before each calculation.
  void forceCurrentRangesAndCodes() {
    const struct {
      int range;
      bool gainFive;
      const char* unit;
      const char* fullScale;
      const char* zeroScale;
      const char* level;
      std::int32_t word;  // the FIN DAC write of the level
    } rows[] = {
        {3, false, "mA", "02.250", "-02.250", "1", 0x0FCBB8E4},
        {3, false, "mA", "02.250", "-02.250", "0", 0x0FCB8000},
        {3, false, "mA", "02.250", "-02.250", "-2.25", 0x0FCB0000},
        {0, false, "uA", "05.625", "-05.625", "1", 0x0FC896C1},
        {1, false, "uA", "22.499", "-22.500", "1", 0x0FC985B0},
        {4, false, "mA", "11.250", "-11.250", "1", 0x0FCC8B61},
        {3, true, "mA", "04.500", "-04.500", "1", 0x0FCB9C72},
        {0, true, "uA", "11.250", "-11.250", "1", 0x0FC88B61},
        {2, true, "uA", "449.986", "-450.000", "1", 0x0FCA8049},
    };
    for (const auto& row : rows) {
      Bench b;
      // The gain is set in the chip behind the window's back: the window must read it back.
      b.setChipGainFive(row.gainFive);
      QVERIFY(chooseItem(b.w, "cboForce", 1));
      if (row.range != 3) {
        QVERIFY(chooseItem(b.w, "cboIrange", row.range));
      }
      QCOMPARE(b.units(), (QStringList{row.unit, row.unit, row.unit}));
      QCOMPARE(b.text("txtOutputVh"), QString::fromLatin1(row.fullScale));
      QCOMPARE(b.text("txtOutputVl"), QString::fromLatin1(row.zeroScale));
      const std::size_t mark = b.f.mark();
      QVERIFY(b.enter("txtForce", row.level));
      QCOMPARE(b.f.messages().count(), 0);
      QCOMPARE(b.text("txtdaccode"), hex(row.word & 0xFFFF, 4));
      // The gain read-back comes right before the level's word.
      const std::vector<std::string> t = b.f.transcript(mark);
      QVERIFY(t.size() >= 3);
      QCOMPARE(std::vector<std::string>(t.end() - 3, t.end()),
               (std::vector<std::string>{"W 10000000", "R", "W " + hex(row.word).toStdString()}));
    }
  }

  void voltageRangeFollowsReference() {
    Bench b;
    const std::size_t mark = b.f.mark();
    QVERIFY(clickButton(b.w, "optRef_1"));
    QCOMPARE(b.session().conversion.vref, 2.5F);
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("05.625"));
    QCOMPARE(b.text("txtOutputVl"), QStringLiteral("-05.625"));
    // The option redoes the level in the force field with the new reference.
    QCOMPARE(b.dacWords(mark), std::vector<std::int32_t>{0x0FCD8000});
    // 65536 * (2 + 5.624962) / 11.25 = 44418.62.
    QVERIFY(b.enter("txtForce", "2"));
    QCOMPARE(b.f.lastWord(), 0x0FCDAD83);
    QVERIFY(b.enter("txtForce", "5.7"));
    QCOMPARE(b.f.messages().last().text, texts::kLevelTooLarge);
    QVERIFY(b.enter("txtForce", "0"));
    QVERIFY(clickButton(b.w, "optRef_0"));
    QCOMPARE(b.session().conversion.vref, 5.0F);
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  }

  void directDacEntries() {
    const struct {
      const char* field;
      const char* typed;
      const char* shown;
      std::int32_t word;  // -1: refused with `message`
      QString message;
    } rows[] = {
        {"txtFINx1", "8000", "8000", 0x0FCD8000, {}},
        {"txtFINx1", "abc", "0ABC", 0x0FCD0ABC, {}},
        {"txtFINx1", "0000ABCD", "ABCD", 0x0FCDABCD, {}},
        {"txtFINx1", "10000", "", -1, texts::kCodeTooLarge},
        {"txtFINx1", "FFFFABCD", "", -1, texts::kCodeTooLarge},
        {"txtFINx1", "xyz", "", -1, texts::kNotANumber},
        {"OFFSETx1_0", "A492", "A492", 0x0FC0A492, {}},
        {"OFFSETx1_0", "7", "0007", 0x0FC00007, {}},
        {"OFFSETx1_0", "10000", "", -1, texts::kCodeTooLarge},
    };
    for (const auto& row : rows) {
      Bench b;
      const std::size_t mark = b.f.mark();
      QVERIFY(b.enter(row.field, row.typed));
      QCOMPARE(b.text(row.field), QString::fromLatin1(row.shown));
      if (row.word < 0) {
        QVERIFY(b.f.sentWords(mark).empty());
        QVERIFY(b.f.messages().onlyEntryError(row.message));
        QVERIFY(b.field(row.field)->hasFocus());
        continue;
      }
      QCOMPARE(b.f.messages().count(), 0);
      QCOMPARE(b.f.sentWords(mark).front(), row.word);
      QCOMPARE(b.text("txtother"), hex(row.word));
      QCOMPARE(b.session().words.dacWord, row.word);
    }
  }

  void offsetWriteRedrawsRange() {
    Bench b;
    QVERIFY(b.enter("OFFSETx1_0", "8000"));
    QCOMPARE(b.f.lastWord(), 0x0FC08000);
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("13.750"));
    QCOMPARE(b.text("txtOutputVl"), QStringLiteral("-08.750"));
    // A FIN DAC write leaves the range display alone.
    QVERIFY(b.enter("txtFINx1", "1234"));
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("13.750"));
    // In force current the OFFSET write redraws the current range (reading the gain back).
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    const std::size_t mark = b.f.mark();
    QVERIFY(b.enter("OFFSETx1_0", "A492"));
    QCOMPARE(b.f.transcript(mark), (std::vector<std::string>{"W 0FC0A492", "W 10000000", "R"}));
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("02.250"));
  }

  void senseResistorEntryLimits() {
    // Enter on an accepted value redraws the range, 22.5 V * (32767 / 65536) / (10 * R / 1000);
    // a refused one leaves what the last key drew from the text before it ("12." for 12.4).
    const struct {
      const char* typed;
      QString message;  // empty: accepted
      const char* fullScale;
      const char* zeroScale;
    } rows[] = {{"12.5", {}, "89.997", "-90.000"},
                {"10000", {}, "00.112", "-00.112"},
                {"12.4", texts::kRsenseTooLarge, "93.747", "-93.750"},
                {"10001", texts::kRsenseTooLarge, "01.125", "-01.125"},
                {"0", texts::kRsenseTooLarge, "11.250", "-11.250"},
                {"r", texts::kNotANumber, "11.250", "-11.250"}};
    for (const auto& row : rows) {
      Bench b;
      QVERIFY(chooseItem(b.w, "cboForce", 1));
      QVERIFY(chooseItem(b.w, "cboIrange", 4));
      QVERIFY(find<QLabel>(b.w, "lblrsense")->isVisible());
      QVERIFY(b.enter("txtRsense", row.typed));
      if (row.message.isEmpty()) {
        QCOMPARE(b.f.messages().count(), 0);
        QCOMPARE(b.text("txtRsense"), QString::fromLatin1(row.typed));
      } else {
        QVERIFY(b.f.messages().onlyEntryError(row.message));
        QCOMPARE(b.text("txtRsense"), QString());
      }
      QCOMPARE(b.text("txtOutputVh"), QString::fromLatin1(row.fullScale));
      QCOMPARE(b.text("txtOutputVl"), QString::fromLatin1(row.zeroScale));
    }
  }

  void senseResistorEveryKeyUsesTextBeforeKey() {
    Bench b;
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    QVERIFY(chooseItem(b.w, "cboIrange", 4));
    QLineEdit* rsense = b.field("txtRsense");
    rsense->setFocus();
    rsense->end(false);
    // The key's handler sees "100": the range stays that of 100 ohms while the field shows 1000.
    std::size_t mark = b.f.mark();
    QTest::keyClick(rsense, Qt::Key_0);
    QCOMPARE(rsense->text(), QStringLiteral("1000"));
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
    QCOMPARE(b.f.transcript(mark), (std::vector<std::string>{"W 10000000", "R"}));
    // The next key sees "1000".
    QTest::keyClick(rsense, Qt::Key_Home);
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("01.125"));
    // In force voltage the keys change nothing and send nothing.
    QVERIFY(chooseItem(b.w, "cboForce", 0));
    mark = b.f.mark();
    QTest::keyClick(rsense, Qt::Key_1);
    QVERIFY(b.f.transcript(mark).empty());
  }

  // An empty Rsense field keeps the display, and a force level on the external range is refused
  // with a message before anything is sent.
  void senseResistorWithoutNumberKeepsDisplayAndSendsNothing() {
    Bench b;
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    QVERIFY(chooseItem(b.w, "cboIrange", 4));
    QLineEdit* rsense = b.field("txtRsense");
    rsense->clear();
    std::size_t mark = b.f.mark();
    QTest::keyClick(rsense, Qt::Key_2);
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
    QVERIFY(b.f.transcript(mark).empty());
    rsense->clear();
    mark = b.f.mark();
    QVERIFY(b.enter("txtForce", "1"));
    QVERIFY(b.f.sentWords(mark).empty());
    QCOMPARE(b.text("txtdaccode"), QStringLiteral("8000"));
    QVERIFY(b.f.messages().onlyEntryError(texts::kNotANumber));
    QVERIFY(rsense->hasFocus());
    // With a resistor again the level goes out: 65536 * 0.1 * 10 / 22.5 + 32768 = 35680.71.
    rsense->setText(QStringLiteral("100"));
    QVERIFY(b.enter("txtForce", "1"));
    QCOMPARE(b.f.lastWord(), 0x0FCC8B61);
  }

  void referenceEntryLimits() {
    const std::pair<const char*, QString> rows[] = {{"5.4", {}},
                                                    {"-0.4", {}},
                                                    {"4.5", {}},
                                                    {"5.5", texts::kVrefTooLarge},
                                                    {"-0.6", texts::kVrefTooLarge},
                                                    {"1e12", texts::kVrefTooLarge},
                                                    {"five", texts::kNotANumber}};
    for (const auto& [typed, message] : rows) {
      Bench b;
      const std::size_t mark = b.f.mark();
      QVERIFY(b.enter("txtVref", typed));
      // The entry alone changes no reference and sends nothing.
      QVERIFY(b.f.sentWords(mark).empty());
      QCOMPARE(b.session().conversion.vref, 5.0F);
      if (message.isEmpty()) {
        QCOMPARE(b.f.messages().count(), 0);
        QCOMPARE(b.text("txtVref"), QString::fromLatin1(typed));
      } else {
        QVERIFY(b.f.messages().onlyEntryError(message));
        QCOMPARE(b.text("txtVref"), QString());
      }
    }
  }

  void thirdReferenceOption() {
    Bench b;
    QVERIFY(b.enter("txtVref", "3"));
    QVERIFY(clickButton(b.w, "optRef_2"));
    QCOMPARE(b.session().conversion.vref, 3.0F);
    // 13.5 * 65535 / 65536 - 10.5 * 42130 / 65536 = 6.74984.
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("06.750"));
    // A reference field that is empty, or holds 0 (accepted on Enter as a whole number, but no
    // reference), is refused with its message: the reference and the option stay, nothing is
    // sent, the field is emptied and focused.
    QVERIFY(clickButton(b.w, "optRef_0"));
    const std::pair<const char*, QString> refused[] = {{"9", texts::kNotANumber},
                                                       {"0", texts::kVrefTooLarge}};
    for (const auto& [text, message] : refused) {
      QVERIFY(b.enter("txtVref", text));
      b.f.messages().clear();
      const std::size_t mark = b.f.mark();
      QVERIFY(clickButton(b.w, "optRef_2"));
      QVERIFY(b.f.messages().onlyEntryError(message));
      QCOMPARE(b.session().conversion.vref, 5.0F);
      QVERIFY(b.f.sentWords(mark).empty());
      QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
      QVERIFY(find<QAbstractButton>(b.w, "optRef_0")->isChecked());
      QCOMPARE(b.text("txtVref"), QString());
      QVERIFY(b.field("txtVref")->hasFocus());
    }
  }

  // The level conversion reads the OFFSET field: a text there that is not a code (typed without
  // Enter) is reported when the level is entered, before any word goes out.
  void badOffsetFieldStopsTheLevel() {
    Bench b;
    QVERIFY(typeText(b.field("OFFSETx1_0"), "xyz"));
    const std::size_t mark = b.f.mark();
    QVERIFY(b.enter("txtForce", "1"));
    QVERIFY(b.f.messages().onlyEntryError(texts::kNotANumber));
    QVERIFY(b.f.sentWords(mark).empty());
    QCOMPARE(b.text("OFFSETx1_0"), QString());
    QVERIFY(b.field("OFFSETx1_0")->hasFocus());
    QVERIFY(typeText(b.field("OFFSETx1_0"), "10000"));
    QVERIFY(b.enter("txtForce", "1"));
    QCOMPARE(b.f.messages().count(texts::kCodeTooLarge), 1);
    QVERIFY(b.f.sentWords(mark).empty());
  }

  // Force modes and ranges: units, the Rsense field, the range codes 5 and 6 that keep the
  // range, and the Hi-Z modes that keep the units.
  void forceModesRangesAndUnits() {
    Bench b;
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    QVERIFY(chooseItem(b.w, "cboIrange", 1));
    QCOMPARE(b.units(), (QStringList{"uA", "uA", "uA"}));
    QVERIFY(chooseItem(b.w, "cboIrange", 3));
    QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
    for (int entry : {5, 6}) {
      const QStringList units = b.units();
      const std::size_t mark = b.f.mark();
      QVERIFY(chooseItem(b.w, "cboIrange", entry));
      QCOMPARE(b.f.sentWords(mark).front(), 0x0F080000 | (entry << 15));
      QCOMPARE(b.session().conversion.rangeIndex, std::int16_t{3});
      QCOMPARE(b.units(), units);
      QVERIFY(!b.field("txtRsense")->isVisible());
      // The force level's FIN write on such an entry carries no level sub-address.
      QVERIFY(b.enter("txtForce", "1"));
      QCOMPARE(b.f.lastWord() & 0x0FFF0000, 0x0FC80000);
    }
    QVERIFY(chooseItem(b.w, "cboIrange", 4));
    QVERIFY(b.field("txtRsense")->isVisible());
    QVERIFY(chooseItem(b.w, "cboForce", 2));
    QVERIFY(chooseItem(b.w, "cboForce", 3));
    QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
    // Back to force voltage: "V", but the current range's numbers stay until the next level.
    QVERIFY(chooseItem(b.w, "cboIrange", 3));
    QVERIFY(!b.field("txtRsense")->isVisible());
    QVERIFY(chooseItem(b.w, "cboForce", 0));
    QCOMPARE(b.units(), (QStringList{"V", "V", "V"}));
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("02.250"));
    QVERIFY(b.enter("txtForce", "0"));
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  }

  // Every PMU and system selector sends its word at once and shows it in its "Last ... Write".
  void selectorsSendAtOnce() {
    const struct {
      const char* control;
      int entry;  // -1: click the check box
      std::int32_t word;
    } pmuRows[] = {{"cboForce", 1, 0x0F098000},    {"cboForce", 3, 0x0F198000},
                   {"cboMeasure", 1, 0x0F01A000},  {"cboMeasure", 3, 0x0F01E000},
                   {"cboCompare", 1, 0x0F018080},  {"cboSysforce", 3, 0x0F018C00},
                   {"cboSysforce", 1, 0x0F018400}, {"cboIrange", 0, 0x0F000000},
                   {"chkCLAMPEN", -1, 0x0F018000}},
      sysRows[] = {
          {"cboLatched", 1, 0x003FE4A4}, {"cboTemp", 0, 0x003FE480},   {"cboTemp", 1, 0x003FE4A0},
          {"cboTemp", 2, 0x003FE4A0},    {"cboTemp", 3, 0x003FE4A8},   {"cboTemp", 4, 0x003FE4B0},
          {"cboTemp", 5, 0x003FE4B8},    {"cboMeasI", 1, 0x003FE4E0},  {"cboMeasI", 0, 0x003FE4A0},
          {"chkGuard", -1, 0x003FE5A0},  {"chkCPOEN", -1, 0x003C04A0}, {"Chkalm_1", -1, 0x003FECA0},
          {"Chkalm_2", -1, 0x003FE0A0}};
    for (const auto& row : pmuRows) {
      Bench b;
      QVERIFY(b.act(row.control, row.entry));
      // Force Current also sends the range word and reads the gain back before its own word.
      QCOMPARE(b.f.lastWord(), row.word);
      QCOMPARE(b.text("txtPMU"), hex(row.word));
      QCOMPARE(b.f.messages().count(), 0);
    }
    for (const auto& row : sysRows) {
      Bench b;
      const std::size_t mark = b.f.mark();
      QVERIFY(b.act(row.control, row.entry));
      QCOMPARE(b.f.sentWords(mark), std::vector<std::int32_t>{row.word});
      QCOMPARE(b.text("Text1"), hex(row.word));
      QCOMPARE(b.session().simulated()->chip().systemControl(),
               static_cast<std::uint32_t>(row.word));
    }
  }

  void channelEnablesAndTheMessage() {
    Bench b;
    std::size_t mark = b.f.mark();
    QVERIFY(clickButton(b.w, "chkPMU_1"));
    QVERIFY(clickButton(b.w, "chkPMU_3"));
    QCOMPARE(b.session().words.chanBits, 0x05000000);
    QVERIFY(b.f.sentWords(mark).empty());
    QVERIFY(chooseItem(b.w, "cboCompare", 1));
    QCOMPARE(b.f.lastWord(), 0x05018080);
    QVERIFY(b.enter("txtFINx1", "8000"));
    QCOMPARE(b.f.lastWord(), 0x05CD8000);

    // Clearing the last channel shows the message once; the PMU word keeps its channel bits.
    QVERIFY(clickButton(b.w, "chkPMU_0"));
    QCOMPARE(b.f.messages().count(), 0);
    QVERIFY(clickButton(b.w, "chkPMU_2"));
    QVERIFY(b.f.messages().onlyEntryError(texts::kNoChannel));
    QCOMPARE(b.session().words.chanBits, 0);
    QCOMPARE(b.session().words.pmuWord & 0x0F000000, 0x04000000);

    // Without a channel a PMU change sends only the gain read-backs of the current range, says
    // so once per action, and "Last PMU REG Write" keeps the last word that reached the board.
    mark = b.f.mark();
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    QCOMPARE(b.text("txtPMU"), QStringLiteral("05018080"));
    const auto sent = b.f.sentWords(mark);
    QVERIFY(!sent.empty());
    QVERIFY(std::all_of(sent.begin(), sent.end(), [](std::int32_t w) { return w == 0x10000000; }));
    QCOMPARE(b.f.messages().count(texts::kNoChannel), 2);
    // A force level sends several PMU words: still one message.
    QVERIFY(b.enter("txtForce", "0.5"));
    QCOMPARE(b.f.messages().count(texts::kNoChannel), 3);
    QCOMPARE(b.f.messages().count(), 3);

    QVERIFY(clickButton(b.w, "chkPMU_2"));
    QVERIFY(chooseItem(b.w, "cboMeasure", 1));
    QCOMPARE(b.f.lastWord(), 0x0409A080);
  }

  void latchedAndMeasoutGainWarningCancel() {
    Bench b;
    // "UNLATCHED" also clears bits 0 and 1.
    b.session().words.sysWord = kStartupSysWord | 0x3;
    QVERIFY(chooseItem(b.w, "cboLatched", 1));
    QVERIFY(chooseItem(b.w, "cboLatched", 0));
    QCOMPARE(b.f.lastWord(), kStartupSysWord);

    const std::size_t mark = b.f.mark();
    QVERIFY(chooseItem(b.w, "cboMeasout", 1));
    // Gain 1 is sent at once; the warning box opens without blocking.
    QCOMPARE(b.f.sentWords(mark), std::vector<std::int32_t>{0x003FE420});
    QWidget* box = b.session().measoutWarningBox.data();
    QVERIFY(box != nullptr && box->isVisible());
    QCOMPARE(textOf(box, "cmdSysInfo"), QStringLiteral("Cancel"));
    QVERIFY(clickButton(box, "cmdSysInfo"));
    QVERIFY(!box->isVisible());
    // "Cancel" puts gain 0.2 back into the shadow only; the chip keeps gain 1 until next time.
    QCOMPARE(b.session().words.sysWord, kStartupSysWord);
    QCOMPARE(b.f.sentWords(mark).size(), std::size_t{1});
    QCOMPARE(b.text("cboMeasout"), QStringLiteral("MEASOUT GAIN = 1"));
    QVERIFY(chooseItem(b.w, "cboMeasout", 0));
    QCOMPARE(b.f.lastWord(), kStartupSysWord);
  }

  void resetAndUpdate() {
    Bench b;
    QVERIFY(chooseItem(b.w, "cboLatched", 1));
    std::size_t mark = b.f.mark();
    QVERIFY(clickButton(b.w, "cmdRESET"));
    QCOMPARE(b.f.transcript(mark), std::vector<std::string>{"219"});
    QCOMPARE(b.text("Text1"), QStringLiteral("00000000"));
    // The next system change sends the kept shadow with its own change.
    QVERIFY(clickButton(b.w, "chkGuard"));
    QCOMPARE(b.f.lastWord(), 0x003FE5A4);

    // "Update" resends the PMU word with the present channels (bits 24 and 25 of the old word
    // survive its mask).
    b.session().words.pmuWord = 0x1E018000;
    b.session().words.chanBits = 0x04000000;
    mark = b.f.mark();
    QVERIFY(clickButton(b.w, "cmdWRITEPMU"));
    QCOMPARE(b.f.sentWords(mark), std::vector<std::int32_t>{0x06018000});
    QCOMPARE(b.text("txtPMU"), QStringLiteral("06018000"));
  }

  void menus() {
    Bench b;
    QStringList menus;
    for (QAction* a : qobject_cast<QMainWindow*>(b.w)->menuBar()->actions()) {
      menus << a->text();
    }
    QCOMPARE(menus, (QStringList{"File", "Help"}));
    // Window kinds this session does not have are disabled.
    const struct {
      const char* name;
      const char* text;
      bool enabled;
    } entries[] = {{"mnuSweep", "Voltage Current Sweeps", false},
                   {"mnuReg", "Individual Register Access", false},
                   {"mnuAbout", "About", false},
                   {"mnuExit", "Exit", true}};
    for (const auto& e : entries) {
      auto* action = b.w->findChild<QAction*>(e.name);
      QVERIFY2(action != nullptr, e.name);
      QCOMPARE(action->text(), QString::fromLatin1(e.text));
      QCOMPARE(action->isEnabled(), e.enabled);
    }
  }
};

QTEST_MAIN(TestPmuControlWindow)
#include "test_pmu_control_window.moc"
