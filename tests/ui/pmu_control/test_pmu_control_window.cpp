// The PMU control window created alone (the hub knows only this window), on the simulated
// board: its own load, the level calculations, the entry fields and the send of every change.
// Expected codes are worked out by hand from the default OFFSET code A492 (42130) and VREF 5 V:
// a voltage V gives 65536 * (V + 11.249924) / 22.5, a current I gives
// 65536 * I * R * gain / 22.5 + 32768, rounded to nearest.
#include <QLabel>
#include <QtTest>

#include "board/simulated_board.h"
#include "ui/pmu_control/pmu_control_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;
using Words = std::vector<std::int32_t>;
using Transcript = std::vector<std::string>;

namespace {

// The window alone on a fresh simulated board, shown, with the four channels selected as the
// register window's start-up leaves them (this window's own load runs before that).
struct Bench {
  UiFixture f;
  QWidget* w = nullptr;

  explicit Bench(bool selectChannels = true) {
    ui::Session& s = f.session();
    // The connection alone, with the words and choices the program's start-up composes for
    // this window before the register window selects the channels: force voltage, measure
    // current, 2 mA, the FIN DAC word for 0 V.
    s.bench().connect(s.firmware.path);
    s.bench().chooseForRun(bench::CurrentRange::Range2mA, bench::MeasureSelect::Current);
    s.bench().composeWords([selectChannels](StoredWords& w) {
      w = StoredWords{};
      w.pmuWord = 0x00018000;
      w.dacWord = 0x00CD8000;
      if (selectChannels) {
        w.chanBits = 0x0F000000;
        w.sysWord = 0x003FE4A0;
      }
    });
    s.hub().setFactory(WindowId::PmuControl, [&s] { return ui::createPmuControlWindow(s); });
    mark = f.mark();
    w = f.startWindow(WindowId::PmuControl);
    showAndWait(w);
  }
  QString text(const char* name) const { return textOf(w, QString::fromLatin1(name)); }
  QStringList units() const { return textsOf(w, {"lbl1", "txtH", "txtl"}); }
  QStringList range() const { return textsOf(w, {"txtOutputVh", "txtOutputVl"}); }
  QLineEdit* field(const char* name) const { return find<QLineEdit>(w, QString::fromLatin1(name)); }
  // Types into the field and presses Enter; the trace position before it is kept in `mark`.
  bool enter(const char* name, const QString& text) {
    mark = f.mark();
    return typeAndEnter(field(name), text);
  }
  // No message for an empty `message`; otherwise exactly this entry error, with the field
  // emptied and focused.
  bool answered(const char* name, const QString& message) {
    return f.messages().onlyEntryError(message) &&
           (message.isEmpty() || (field(name)->text().isEmpty() && field(name)->hasFocus()));
  }
  // Force current on the external range, where the sense resistor field is shown.
  bool externalRange() { return chooseItem(w, "cboForce", 1) && chooseItem(w, "cboIrange", 4); }
  std::size_t mark = 0;
};

}  // namespace

class TestPmuControlWindow : public QObject {
  Q_OBJECT

 private slots:
  void loadShowsStartUpChoicesAndWritesZeroVolts() {
    Bench b(false);
    QVERIFY(b.w != nullptr);
    QCOMPARE(b.w->windowTitle(), QStringLiteral("KV4410 PMU Controls"));
    // "Last PMU REG Write" stays empty: none of the load's PMU words reached the board.
    QCOMPARE(textsOf(b.w, {"cboForce", "cboMeasure", "cboIrange", "txtdaccode", "txtother",
                           "txtOutputV", "txtOutputVh", "txtOutputVl", "Text1", "txtPMU", "lbl1"}),
             (QStringList{"Force Voltage", "Measure Current", "2mA current range", "8000",
                          "00CD8000", "00.000", "11.250", "-11.250", "00000000", "", "V"}));
    // The window's load shows what the bench's start-up composed and sends nothing itself.
    QCOMPARE(b.f.transcript(b.mark), Transcript{});
    QCOMPARE(b.f.messages().count(), 0);
    QVERIFY(!b.field("txtRsense")->isVisible() && !find<QLabel>(b.w, "lblrsense")->isVisible());
  }

  // An entry and what it shows and sends. Force levels: the worked examples and the two ends of
  // F/S and Z/S (11.249733, -11.249924), sent after the range, force and PMU words; a level out
  // of range is found after those went out, a text that is no number before them. DAC codes go
  // out at once. A refused entry empties and focuses its field.
  void entries() {
    const Words p3 = {0x0F018000, 0x0F018000, 0x0F018000};
    const auto level = [](std::int32_t word) {
      return Words{0x0F018000, 0x0F018000, 0x0F018000, word};
    };
    // Field, text typed, the control read afterwards and its text, the words sent, the message.
    const std::tuple<const char*, const char*, const char*, const char*, Words, QString> rows[] = {
        {"txtForce", "0", "txtdaccode", "8000", level(0x0FCD8000), {}},
        {"txtForce", "1", "txtdaccode", "8B60", level(0x0FCD8B60), {}},
        {"txtForce", "5", "txtdaccode", "B8E3", level(0x0FCDB8E3), {}},
        {"txtForce", "10", "txtdaccode", "F1C7", level(0x0FCDF1C7), {}},
        {"txtForce", "11.249733", "txtdaccode", "FFFF", level(0x0FCDFFFF), {}},
        {"txtForce", "-11.249924", "txtdaccode", "0000", level(0x0FCD0000), {}},
        {"txtForce", "11.25", "txtdaccode", "8000", p3, texts::kLevelTooLarge},
        {"txtForce", "-11.25", "txtdaccode", "8000", p3, texts::kLevelTooLarge},
        {"txtForce", "1e300", "txtdaccode", "8000", p3, texts::kLevelTooLarge},
        {"txtForce", "abc", "txtdaccode", "8000", {}, texts::kNotANumber},
        {"txtForce", "", "txtdaccode", "8000", {}, texts::kNotANumber},
        {"txtFINx1", "8000", "txtFINx1", "8000", {0x0FCD8000}, {}},
        {"txtFINx1", "abc", "txtFINx1", "0ABC", {0x0FCD0ABC}, {}},
        {"txtFINx1", "0000ABCD", "txtother", "0FCDABCD", {0x0FCDABCD}, {}},
        {"txtFINx1", "10000", "txtother", "00CD8000", {}, texts::kCodeTooLarge},
        {"txtFINx1", "FFFFABCD", "txtdaccode", "8000", {}, texts::kCodeTooLarge},
        {"txtFINx1", "xyz", "txtdaccode", "8000", {}, texts::kNotANumber},
        {"OFFSETx1_0", "A492", "OFFSETx1_0", "A492", {0x0FC0A492}, {}},
        {"OFFSETx1_0", "7", "txtother", "0FC00007", {0x0FC00007}, {}},
        {"OFFSETx1_0", "10000", "txtother", "00CD8000", {}, texts::kCodeTooLarge},
    };
    for (const auto& [field, typed, shownBy, shown, sent, message] : rows) {
      Bench b;
      QVERIFY(b.enter(field, typed));
      QCOMPARE(b.text(shownBy), QString::fromLatin1(shown));
      QCOMPARE(b.f.sentWords(b.mark), sent);
      QVERIFY2(b.answered(field, message), typed);
      if (QLatin1String(field) == QLatin1String("txtForce") && message.isEmpty()) {
        QCOMPARE(b.text("txtother"), hex(sent.back()));
        // The output shown is that of the FIN DAC field's code (8000), whatever the level.
        QCOMPARE(b.text("txtOutputV"), QStringLiteral("00.000"));
      }
    }
  }

  // Force current: the units, F/S and Z/S of each range, and the code of a level, with the
  // current-measure gain that the window reads back from the chip before each calculation.
  void forceCurrentRangesAndCodes() {
    // Range entry, gain 5, unit, F/S and Z/S, the level and the FIN DAC write of the level.
    const std::tuple<int, bool, const char*, QStringList, const char*, std::int32_t> rows[] = {
        {3, false, "mA", {"02.250", "-02.250"}, "1", 0x0FCBB8E4},
        {3, false, "mA", {"02.250", "-02.250"}, "0", 0x0FCB8000},
        {3, false, "mA", {"02.250", "-02.250"}, "-2.25", 0x0FCB0000},
        {0, false, "uA", {"05.625", "-05.625"}, "1", 0x0FC896C1},
        {1, false, "uA", {"22.499", "-22.500"}, "1", 0x0FC985B0},
        {4, false, "mA", {"11.250", "-11.250"}, "1", 0x0FCC8B61},
        {3, true, "mA", {"04.500", "-04.500"}, "1", 0x0FCB9C72},
        {0, true, "uA", {"11.250", "-11.250"}, "1", 0x0FC88B61},
        {2, true, "uA", {"449.986", "-450.000"}, "1", 0x0FCA8049},
    };
    for (const auto& [range, gainFive, unit, fullAndZeroScale, level, word] : rows) {
      Bench b;
      // GAIN0 (current-measure gain 5) is set in the chip behind the window's back: the window
      // must read it back.
      board::SimulatedChip& chip = b.f.session().simulated()->chip();
      const std::uint32_t sys = chip.systemControl();
      chip.clockWord(gainFive ? (sys | 0x40u) : (sys & ~0x40u));
      QVERIFY(chooseItem(b.w, "cboForce", 1));
      QVERIFY(range == 3 || chooseItem(b.w, "cboIrange", range));
      QCOMPARE(b.units(), (QStringList{unit, unit, unit}));
      QCOMPARE(b.range(), fullAndZeroScale);
      QVERIFY(b.enter("txtForce", level));
      QCOMPARE(b.f.messages().count(), 0);
      QCOMPARE(b.text("txtdaccode"), hex(word & 0xFFFF, 4));
      // The gain read-back comes right before the level's word.
      const Transcript t = b.f.transcript(b.mark);
      QVERIFY(t.size() >= 3);
      QCOMPARE(Transcript(t.end() - 3, t.end()),
               (Transcript{"W 10000000", "R", "W " + hex(word).toStdString()}));
    }
  }

  // A typed reference changes nothing until its option is chosen; then the range and the level
  // in the force field are redone with it. The OFFSET code moves the range too.
  void rangeFollowsReferenceAndOffset() {
    Bench b;
    b.mark = b.f.mark();
    QVERIFY(clickButton(b.w, "optRef_1"));
    QCOMPARE(b.range(), (QStringList{"05.625", "-05.625"}));
    QCOMPARE(b.f.lastWord(), 0x0FCD8000);
    // 65536 * (2 + 5.624962) / 11.25 = 44418.62.
    QVERIFY(b.enter("txtForce", "2"));
    QCOMPARE(b.f.lastWord(), 0x0FCDAD83);
    QVERIFY(b.enter("txtForce", "5.7"));
    QVERIFY(b.answered("txtForce", texts::kLevelTooLarge));
    QVERIFY(b.enter("txtForce", "0"));
    QVERIFY(b.enter("txtVref", "3"));
    QCOMPARE(b.range(), (QStringList{"05.625", "-05.625"}));
    QVERIFY(clickButton(b.w, "optRef_2"));
    // 13.5 * 65535 / 65536 - 10.5 * 42130 / 65536 = 6.74984.
    QCOMPARE(b.range(), (QStringList{"06.750", "-06.750"}));
    QVERIFY(clickButton(b.w, "optRef_0"));
    QCOMPARE(b.range(), (QStringList{"11.250", "-11.250"}));
    // A reference field that is empty (after a refused entry), or holds 0 (accepted on Enter as
    // a whole number, but no reference), is refused with its message: the reference and the
    // option stay and nothing is sent.
    const std::pair<const char*, QString> refused[] = {{"9", texts::kNotANumber},
                                                       {"0", texts::kVrefTooLarge}};
    for (const auto& [text, message] : refused) {
      QVERIFY(b.enter("txtVref", text));
      b.f.messages().messages.clear();
      b.mark = b.f.mark();
      QVERIFY(clickButton(b.w, "optRef_2"));
      QVERIFY(b.answered("txtVref", message));
      QVERIFY(b.f.sentWords(b.mark).empty());
      QCOMPARE(b.range(), (QStringList{"11.250", "-11.250"}));
      QVERIFY(find<QAbstractButton>(b.w, "optRef_0")->isChecked());
    }
    // The OFFSET code moves the range; a FIN DAC write leaves the display alone; in force
    // current the OFFSET write redraws the current range (reading the gain back).
    QVERIFY(b.enter("OFFSETx1_0", "8000"));
    QCOMPARE(b.f.lastWord(), 0x0FC08000);
    QCOMPARE(b.range(), (QStringList{"13.750", "-08.750"}));
    QVERIFY(b.enter("txtFINx1", "1234"));
    QCOMPARE(b.range(), (QStringList{"13.750", "-08.750"}));
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    QVERIFY(b.enter("OFFSETx1_0", "A492"));
    QCOMPARE(b.f.transcript(b.mark), (Transcript{"W 0FC0A492", "W 10000000", "R"}));
    QCOMPARE(b.range(), (QStringList{"02.250", "-02.250"}));
  }

  // Entry limits of the reference field (Enter alone sends nothing) and of the sense resistor
  // (Enter on an accepted value redraws the range, 22.5 V * (32767 / 65536) / (10 * R / 1000);
  // a refused one leaves what the last key drew from the text before it: "12." for 12.4).
  void referenceAndSenseResistorEntries() {
    // Field, text typed, message (none: accepted), F/S and Z/S afterwards.
    const std::tuple<const char*, const char*, QString, QStringList> rows[] = {
        {"txtVref", "5.4", {}, {"11.250", "-11.250"}},
        {"txtVref", "-0.4", {}, {"11.250", "-11.250"}},
        {"txtVref", "5.5", texts::kVrefTooLarge, {"11.250", "-11.250"}},
        {"txtVref", "-0.6", texts::kVrefTooLarge, {"11.250", "-11.250"}},
        {"txtVref", "1e12", texts::kVrefTooLarge, {"11.250", "-11.250"}},
        {"txtVref", "five", texts::kNotANumber, {"11.250", "-11.250"}},
        {"txtRsense", "12.5", {}, {"89.997", "-90.000"}},
        {"txtRsense", "10000", {}, {"00.112", "-00.112"}},
        {"txtRsense", "12.4", texts::kRsenseTooLarge, {"93.747", "-93.750"}},
        {"txtRsense", "10001", texts::kRsenseTooLarge, {"01.125", "-01.125"}},
        {"txtRsense", "0", texts::kRsenseTooLarge, {"11.250", "-11.250"}},
        {"txtRsense", "r", texts::kNotANumber, {"11.250", "-11.250"}}};
    for (const auto& [field, typed, message, range] : rows) {
      Bench b;
      const bool vref = QLatin1String(field) == QLatin1String("txtVref");
      QVERIFY(vref || (b.externalRange() && find<QLabel>(b.w, "lblrsense")->isVisible()));
      QVERIFY(b.enter(field, typed));
      QVERIFY2(b.answered(field, message), typed);
      QCOMPARE(b.text(field), message.isEmpty() ? QString::fromLatin1(typed) : QString());
      QCOMPARE(b.range(), range);
      if (vref) {
        QVERIFY(b.f.sentWords(b.mark).empty());
        QCOMPARE(b.f.session().conversion().vref, 5.0F);
      }
    }
  }

  // Each key in the sense resistor field redraws the range from the text before the key, reading
  // the gain back first; an empty field keeps the display.
  void senseResistorKeysUseTheTextBeforeTheKey() {
    Bench b;
    QVERIFY(b.externalRange());
    QLineEdit* rsense = b.field("txtRsense");
    rsense->setFocus();
    rsense->end(false);
    // The key's handler sees "100": the range stays that of 100 ohms while the field shows 1000.
    b.mark = b.f.mark();
    QTest::keyClick(rsense, Qt::Key_0);
    QCOMPARE(rsense->text(), QStringLiteral("1000"));
    QCOMPARE(b.range(), (QStringList{"11.250", "-11.250"}));
    QCOMPARE(b.f.transcript(b.mark), (Transcript{"W 10000000", "R"}));
    QTest::keyClick(rsense, Qt::Key_Home);  // sees "1000"
    QCOMPARE(b.range(), (QStringList{"01.125", "-01.125"}));
    rsense->clear();
    b.mark = b.f.mark();
    QTest::keyClick(rsense, Qt::Key_2);
    QCOMPARE(b.range(), (QStringList{"01.125", "-01.125"}));
    QVERIFY(b.f.transcript(b.mark).empty());
  }

  // The level conversion reads the OFFSET and Rsense fields: a text there that is not a number
  // (typed without Enter) is reported when the level is entered, before any word goes out; with
  // a good text the level goes out (100 ohms: 65536 * 0.1 * 10 / 22.5 + 32768 = 35680.71).
  void badConversionFieldsStopTheLevel() {
    // Field, bad text, message, good text and the level's word with it.
    const std::tuple<const char*, const char*, QString, const char*, std::int32_t> rows[] = {
        {"OFFSETx1_0", "xyz", texts::kNotANumber, "A492", 0x0FCD8B60},
        {"OFFSETx1_0", "10000", texts::kCodeTooLarge, "A492", 0x0FCD8B60},
        {"txtRsense", "", texts::kNotANumber, "100", 0x0FCC8B61}};
    for (const auto& [field, typed, message, good, word] : rows) {
      Bench b;
      QVERIFY(QLatin1String(field) != QLatin1String("txtRsense") || b.externalRange());
      QVERIFY(typeText(b.field(field), typed));
      QVERIFY(b.enter("txtForce", "1"));
      QVERIFY2(b.answered(field, message), typed);
      QVERIFY(b.f.sentWords(b.mark).empty());
      QCOMPARE(b.text("txtdaccode"), QStringLiteral("8000"));
      QVERIFY(typeText(b.field(field), good));
      QVERIFY(b.enter("txtForce", "1"));
      QCOMPARE(b.f.lastWord(), word);
    }
  }

  // Force modes and ranges: units, the Rsense field, the range codes 5 and 6 that keep the
  // range, and the Hi-Z modes that keep the units.
  void forceModesRangesAndUnits() {
    Bench b;
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    for (int entry : {5, 6}) {
      const QStringList units = b.units();
      b.mark = b.f.mark();
      QVERIFY(chooseItem(b.w, "cboIrange", entry));
      QCOMPARE(b.f.sentWords(b.mark).front(), entry == 5 ? 0x0F0A8000 : 0x0F0B0000);
      QCOMPARE(b.units(), units);
      // The force level's FIN write on such an entry carries no level sub-address.
      QVERIFY(b.enter("txtForce", "1"));
      QCOMPARE(b.f.lastWord() & 0x0FFF0000, 0x0FC80000);
    }
    QVERIFY(chooseItem(b.w, "cboIrange", 4));
    QVERIFY(chooseItem(b.w, "cboForce", 2));
    QVERIFY(chooseItem(b.w, "cboForce", 3));
    QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
    // Back to force voltage: "V", but the current range's numbers stay until the next level.
    QVERIFY(chooseItem(b.w, "cboIrange", 3));
    QVERIFY(!b.field("txtRsense")->isVisible());
    QVERIFY(chooseItem(b.w, "cboForce", 0));
    QCOMPARE(b.units(), (QStringList{"V", "V", "V"}));
    QCOMPARE(b.range(), (QStringList{"02.250", "-02.250"}));
    QVERIFY(b.enter("txtForce", "0"));
    QCOMPARE(b.range(), (QStringList{"11.250", "-11.250"}));
  }

  // Every PMU and system selector sends its word at once and shows it in its "Last ... Write"
  // (Force Current also sends the range word and reads the gain back before its own word).
  void selectorsSendAtOnce() {
    // Control, list entry (-1: click the check box), the word.
    const std::tuple<const char*, int, std::int32_t> rows[] = {
        {"cboForce", 1, 0x0F098000},    {"cboForce", 3, 0x0F198000},
        {"cboMeasure", 1, 0x0F01A000},  {"cboMeasure", 3, 0x0F01E000},
        {"cboCompare", 1, 0x0F018080},  {"cboSysforce", 3, 0x0F018C00},
        {"cboSysforce", 1, 0x0F018400}, {"cboIrange", 0, 0x0F000000},
        {"chkCLAMPEN", -1, 0x0F018000}, {"cboLatched", 1, 0x003FE4A4},
        {"cboTemp", 0, 0x003FE480},     {"cboTemp", 1, 0x003FE4A0},
        {"cboTemp", 2, 0x003FE4A0},     {"cboTemp", 3, 0x003FE4A8},
        {"cboTemp", 4, 0x003FE4B0},     {"cboTemp", 5, 0x003FE4B8},
        {"cboMeasI", 1, 0x003FE4E0},    {"cboMeasI", 0, 0x003FE4A0},
        {"chkGuard", -1, 0x003FE5A0},   {"chkCPOEN", -1, 0x003C04A0},
        {"Chkalm_1", -1, 0x003FECA0},   {"Chkalm_2", -1, 0x003FE0A0}};
    for (const auto& [control, entry, word] : rows) {
      Bench b;
      const std::size_t mark = b.f.mark();
      QVERIFY(entry < 0 ? clickButton(b.w, control) : chooseItem(b.w, control, entry));
      QCOMPARE(b.f.lastWord(), word);
      const bool system = (word & 0x0F000000) == 0;
      QCOMPARE(b.text(system ? "Text1" : "txtPMU"), hex(word));
      QCOMPARE(b.f.messages().count(), 0);
      if (system) {
        QCOMPARE(b.f.sentWords(mark).size(), std::size_t{1});
        QCOMPARE(b.f.session().simulated()->chip().systemControl(),
                 static_cast<std::uint32_t>(word));
      }
    }
  }

  void channelEnablesAndTheMessage() {
    Bench b;
    const std::size_t mark = b.f.mark();
    QVERIFY(clickButton(b.w, "chkPMU_1"));
    QVERIFY(clickButton(b.w, "chkPMU_3"));
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
    QCOMPARE(b.f.session().words().pmuWord & 0x0F000000, 0x04000000);
    // Without a channel a PMU change sends only the gain read-backs of the current range (force
    // current draws it, then the range list's handler draws it again), says so once per action, and
    // "Last PMU REG Write" keeps the last word that reached the board.
    b.mark = b.f.mark();
    QVERIFY(chooseItem(b.w, "cboForce", 1));
    QCOMPARE(b.text("txtPMU"), QStringLiteral("05018080"));
    QCOMPARE(b.f.sentWords(b.mark), (Words{0x10000000, 0x10000000}));
    QCOMPARE(b.f.messages().count(), 2);
    // A force level sends several PMU words: still one message.
    QVERIFY(b.enter("txtForce", "0.5"));
    QCOMPARE(b.f.messages().count(), 3);
    QCOMPARE(b.f.messages().last().text, texts::kNoChannel);
    QVERIFY(clickButton(b.w, "chkPMU_2"));
    QVERIFY(chooseItem(b.w, "cboMeasure", 1));
    QCOMPARE(b.f.lastWord(), 0x0409A080);
  }

  void latchedResetAndUpdate() {
    Bench b;
    // "UNLATCHED" also clears bits 0 and 1.
    b.f.session().bench().composeWords([](StoredWords& w) { w.sysWord |= 0x3; });
    QVERIFY(chooseItem(b.w, "cboLatched", 1));
    QVERIFY(chooseItem(b.w, "cboLatched", 0));
    QCOMPARE(b.f.lastWord(), 0x003FE4A0);
    QVERIFY(chooseItem(b.w, "cboLatched", 1));
    b.mark = b.f.mark();
    QVERIFY(clickButton(b.w, "cmdRESET"));
    QCOMPARE(b.f.transcript(b.mark), Transcript{"219"});
    QCOMPARE(b.text("Text1"), QStringLiteral("00000000"));
    // The next system change sends the kept shadow with its own change.
    QVERIFY(clickButton(b.w, "chkGuard"));
    QCOMPARE(b.f.lastWord(), 0x003FE5A4);
    // "Update" resends the PMU word with the present channels (bits 24 and 25 of the old word
    // survive its mask).
    b.f.session().bench().composeWords([](StoredWords& w) {
      w.pmuWord = 0x1E018000;
      w.chanBits = 0x04000000;
    });
    b.mark = b.f.mark();
    QVERIFY(clickButton(b.w, "cmdWRITEPMU"));
    QCOMPARE(b.f.sentWords(b.mark), Words{0x06018000});
    QCOMPARE(b.text("txtPMU"), QStringLiteral("06018000"));
  }
};

QTEST_MAIN(TestPmuControlWindow)
#include "test_pmu_control_window.moc"
