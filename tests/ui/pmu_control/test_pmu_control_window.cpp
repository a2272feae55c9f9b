// The PMU control window created alone (the hub knows only this window), on the simulated
// board: its own load, the level calculations, the entry fields and the send of every change.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "board/simulated_board.h"
#include "device/conversions.h"
#include "device/text_format.h"
#include "ui/pmu_control/pmu_control_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using ui::WindowId;

namespace {

constexpr std::int32_t kAllChannels = 0x0F000000;
constexpr std::int32_t kStartupSysWord = 0x003FE4A0;

// A DAC input (x1) register write: mode bits 23 and 22 both set.
bool isDacWrite(std::int32_t word) {
  return (word & 0x00C00000) == 0x00C00000;
}

// The window alone on a fresh simulated board, shown, with the four channels selected as the
// register window's start-up leaves them (this window's own load runs before that).
struct Bench {
  UiFixture fixture;
  QWidget* window = nullptr;

  explicit Bench(bool selectChannels = true) {
    ui::Session& s = fixture.session();
    // The board is connected as the register window's start-up connects it.
    s.link().LoadUSB(s.firmwarePath);
    fixture.clearTrace();
    s.hub().setFactory(WindowId::PmuControl, [&s] { return ui::createPmuControlWindow(s); });
    window = fixture.startWindow(WindowId::PmuControl);
    if (window != nullptr) {
      showAndWait(window);
    }
    if (selectChannels) {
      s.words.chanBits = kAllChannels;
      s.words.sysWord = kStartupSysWord;
    }
  }

  ui::Session& session() { return fixture.session(); }
  QString text(const QString& name) const {
    if (auto* field = find<QLineEdit>(window, name)) {
      return field->text();
    }
    if (auto* label = find<QLabel>(window, name)) {
      return label->text();
    }
    if (auto* list = find<QComboBox>(window, name)) {
      return list->currentIndex() >= 0 ? list->currentText() : list->placeholderText();
    }
    return QStringLiteral("<no %1>").arg(name);
  }
  QStringList units() const { return {text("lbl1"), text("txtH"), text("txtl")}; }
  std::vector<std::int32_t> wordsSince(std::size_t mark) const { return fixture.sentWords(mark); }
  std::vector<std::int32_t> dacWordsSince(std::size_t mark) const {
    std::vector<std::int32_t> out;
    for (std::int32_t w : fixture.sentWords(mark)) {
      if (isDacWrite(w)) {
        out.push_back(w);
      }
    }
    return out;
  }
  std::int32_t lastWord() const {
    const auto words = fixture.sentWords();
    return words.empty() ? -1 : words.back();
  }
  // Puts GAIN0 (current-measure gain 5) straight into the simulated chip, bypassing every list.
  void setChipGainFive(bool five) {
    std::uint32_t sys = session().simulated()->chip().systemControl();
    sys = five ? (sys | 0x40u) : (sys & ~0x40u);
    session().simulated()->chip().clockWord(sys);
  }
};

QString fixed(float v) {
  return QString::fromStdString(formatFixed(static_cast<double>(v), 2, 3));
}

}  // namespace

class TestPmuControlWindow : public QObject {
  Q_OBJECT

 private slots:
  void loadShowsStartUpChoicesAndWritesZeroVolts();
  void forceVoltageCodes_data();
  void forceVoltageCodes();
  void forceVoltageRangeEnds();
  void forceLevelRejections_data();
  void forceLevelRejections();
  void forceCurrentCodes_data();
  void forceCurrentCodes();
  void currentRangeFollowsRangeAndChipGain_data();
  void currentRangeFollowsRangeAndChipGain();
  void voltageRangeFollowsReferenceAndOffset();
  void directDacEntries_data();
  void directDacEntries();
  void offsetWriteRedrawsRange();
  void senseResistorEntryLimits_data();
  void senseResistorEntryLimits();
  void senseResistorEveryKeyUsesTextBeforeKey();
  void senseResistorWithoutNumberKeepsDisplayAndSendsNothing();
  void referenceEntryLimits_data();
  void referenceEntryLimits();
  void thirdReferenceOption();
  void badOffsetFieldStopsTheLevel();
  void alwaysOnExtRangeKeepsRange_data();
  void alwaysOnExtRangeKeepsRange();
  void forceModesUnitsAndRsenseVisibility();
  void pmuSelectorsSendAtOnce_data();
  void pmuSelectorsSendAtOnce();
  void channelEnablesAndTheMessage();
  void systemSelectorsSendAtOnce_data();
  void systemSelectorsSendAtOnce();
  void measoutGainWarningCancel();
  void resetAndUpdate();
  void menus();
};

void TestPmuControlWindow::loadShowsStartUpChoicesAndWritesZeroVolts() {
  Bench b(false);
  QVERIFY(b.window != nullptr);
  QCOMPARE(b.window->windowTitle(), QStringLiteral("KV4410 PMU Controls"));
  QCOMPARE(b.text("cboForce"), QStringLiteral("Force Voltage"));
  QCOMPARE(b.text("cboMeasure"), QStringLiteral("Measure Current"));
  QCOMPARE(b.text("cboIrange"), QStringLiteral("2mA current range"));
  // Until the register window selects the channels, the load's PMU words carry no channel bit
  // and are refused silently; the FIN DAC write for 0 V still goes, as its last word.
  QCOMPARE(b.fixture.transcript(), std::vector<std::string>{"W 00CD8000"});
  QCOMPARE(b.fixture.messages().count(), 0);
  QCOMPARE(b.text("txtdaccode"), QStringLiteral("8000"));
  QCOMPARE(b.text("txtother"), QStringLiteral("00CD8000"));
  QCOMPARE(b.text("txtOutputV"), QStringLiteral("00.000"));
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  QCOMPARE(b.text("txtOutputVl"), QStringLiteral("-11.250"));
  QCOMPARE(b.text("Text1"), QStringLiteral("00000000"));
  QCOMPARE(b.units(), (QStringList{"V", "V", "V"}));
  // The PMU word composed by the load: force voltage, measure current, the 2 mA range.
  QCOMPARE(b.session().words.pmuWord, 0x00018000);
  // Alone, before the channels are selected, none of its PMU words reached the board.
  QCOMPARE(b.text("txtPMU"), QString());
  QCOMPARE(b.session().conversion.vref, 5.0F);
  QCOMPARE(b.session().conversion.rangeIndex, std::int16_t{3});
  QVERIFY(!find<QLineEdit>(b.window, "txtRsense")->isVisible());
  QVERIFY(!find<QLabel>(b.window, "lblrsense")->isVisible());
}

void TestPmuControlWindow::forceVoltageCodes_data() {
  QTest::addColumn<QString>("level");
  QTest::addColumn<QString>("code");
  QTest::addColumn<std::int32_t>("word");
  QTest::newRow("0 V") << "0"
                       << "8000" << 0x0FCD8000;
  QTest::newRow("1 V") << "1"
                       << "8B60" << 0x0FCD8B60;
  QTest::newRow("5 V") << "5"
                       << "B8E3" << 0x0FCDB8E3;
  QTest::newRow("10 V") << "10"
                        << "F1C7" << 0x0FCDF1C7;
}

void TestPmuControlWindow::forceVoltageCodes() {
  QFETCH(QString, level);
  QFETCH(QString, code);
  QFETCH(std::int32_t, word);
  Bench b;
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "txtForce", level));
  QCOMPARE(b.text("txtdaccode"), code);
  QCOMPARE(b.lastWord(), word);
  QCOMPARE(b.text("txtother"), QString::fromStdString(NumberToHex(word, 8)));
  // Before the level, the range and force PMU words and one more copy of the PMU word.
  const auto words = b.wordsSince(mark);
  QCOMPARE(words.size(), std::size_t{4});
  QCOMPARE(words[0], 0x0F018000);
  QCOMPARE(words[1], 0x0F018000);
  QCOMPARE(words[2], 0x0F018000);
  // The output shown is that of the FIN DAC field's code (8000), whatever level was entered.
  QCOMPARE(b.text("txtOutputV"), QStringLiteral("00.000"));
  QCOMPARE(b.fixture.messages().count(), 0);
}

void TestPmuControlWindow::forceVoltageRangeEnds() {
  Bench b;
  const RangeLimits limits = voltageRangeLimits(5.0F, 0xA492);
  QVERIFY(typeAndEnter(b.window, "txtForce", QString::number(limits.fullScale, 'g', 9)));
  QCOMPARE(b.text("txtdaccode"), QStringLiteral("FFFF"));
  QCOMPARE(b.lastWord(), 0x0FCDFFFF);
  QVERIFY(typeAndEnter(b.window, "txtForce", QString::number(limits.zeroScale, 'g', 9)));
  QCOMPARE(b.text("txtdaccode"), QStringLiteral("0000"));
  QCOMPARE(b.lastWord(), 0x0FCD0000);
  QCOMPARE(b.fixture.messages().count(), 0);
}

void TestPmuControlWindow::forceLevelRejections_data() {
  QTest::addColumn<QString>("level");
  QTest::addColumn<QString>("message");
  QTest::addColumn<bool>("pmuWordsSent");
  QTest::newRow("11.25") << "11.25" << texts::kLevelTooLarge << true;
  QTest::newRow("-11.25") << "-11.25" << texts::kLevelTooLarge << true;
  QTest::newRow("huge") << "1e300" << texts::kLevelTooLarge << true;
  QTest::newRow("text") << "abc" << texts::kNotANumber << false;
  QTest::newRow("empty") << "" << texts::kNotANumber << false;
}

void TestPmuControlWindow::forceLevelRejections() {
  QFETCH(QString, level);
  QFETCH(QString, message);
  QFETCH(bool, pmuWordsSent);
  Bench b;
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "txtForce", level));
  QCOMPARE(b.fixture.messages().count(), 1);
  QCOMPARE(b.fixture.messages().last().text, message);
  QCOMPARE(b.fixture.messages().last().title, texts::kEntryError);
  QCOMPARE(b.text("txtForce"), QString());
  QVERIFY(b.dacWordsSince(mark).empty());
  QCOMPARE(!b.wordsSince(mark).empty(), pmuWordsSent);
  QCOMPARE(b.text("txtdaccode"), QStringLiteral("8000"));
}

void TestPmuControlWindow::forceCurrentCodes_data() {
  QTest::addColumn<int>("range");
  QTest::addColumn<QString>("level");
  QTest::addColumn<QString>("code");
  QTest::addColumn<std::int32_t>("word");
  QTest::newRow("1 mA on 2 mA") << 3 << "1"
                                << "B8E4" << 0x0FCBB8E4;
  QTest::newRow("0 on 2 mA") << 3 << "0"
                             << "8000" << 0x0FCB8000;
  QTest::newRow("-2.25 mA on 2 mA") << 3 << "-2.25"
                                    << "0000" << 0x0FCB0000;
  QTest::newRow("1 uA on 5 uA") << 0 << "1"
                                << "96C1" << 0x0FC896C1;
}

void TestPmuControlWindow::forceCurrentCodes() {
  QFETCH(int, range);
  QFETCH(QString, level);
  QFETCH(QString, code);
  QFETCH(std::int32_t, word);
  Bench b;
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  if (range != 3) {
    QVERIFY(chooseItem(b.window, "cboIrange", range));
  }
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "txtForce", level));
  QCOMPARE(b.fixture.messages().count(), 0);
  QCOMPARE(b.text("txtdaccode"), code);
  QCOMPARE(b.lastWord(), word);
  // The MI gain is read back from the chip right before the code is computed.
  const auto transcript = b.fixture.transcript(mark);
  QVERIFY(transcript.size() >= 3);
  QCOMPARE(transcript[transcript.size() - 3], std::string("W 10000000"));
  QCOMPARE(transcript[transcript.size() - 2], std::string("R"));
}

void TestPmuControlWindow::currentRangeFollowsRangeAndChipGain_data() {
  QTest::addColumn<int>("range");
  QTest::addColumn<bool>("gainFive");
  QTest::addColumn<QString>("unit");
  QTest::addColumn<QString>("fullScale");
  QTest::addColumn<QString>("zeroScale");
  const auto row = [](const char* name, int range, bool gainFive, const char* unit,
                      const char* fullScale, const char* zeroScale) {
    QTest::newRow(name) << range << gainFive << QString(unit) << QString(fullScale)
                        << QString(zeroScale);
  };
  row("2 mA, gain 10", 3, false, "mA", "02.250", "-02.250");
  row("5 uA, gain 10", 0, false, "uA", "05.625", "-05.625");
  row("20 uA, gain 10", 1, false, "uA", "22.499", "-22.500");
  row("ext 100R, gain 10", 4, false, "mA", "11.250", "-11.250");
  row("2 mA, gain 5", 3, true, "mA", "04.500", "-04.500");
  row("5 uA, gain 5", 0, true, "uA", "11.250", "-11.250");
  row("200 uA, gain 5", 2, true, "uA", "449.986", "-450.000");
}

void TestPmuControlWindow::currentRangeFollowsRangeAndChipGain() {
  QFETCH(int, range);
  QFETCH(bool, gainFive);
  QFETCH(QString, unit);
  QFETCH(QString, fullScale);
  QFETCH(QString, zeroScale);
  Bench b;
  // The gain is set in the chip behind the window's back: the window must read it back.
  b.setChipGainFive(gainFive);
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  if (range != 3) {
    QVERIFY(chooseItem(b.window, "cboIrange", range));
  }
  QCOMPARE(b.units(), (QStringList{unit, unit, unit}));
  QCOMPARE(b.text("txtOutputVh"), fullScale);
  QCOMPARE(b.text("txtOutputVl"), zeroScale);
  QCOMPARE(b.session().conversion.miGain, gainFive ? 5.0F : 10.0F);
  // The level code uses the same gain: 1 unit of the range, computed by the device model.
  QVERIFY(typeAndEnter(b.window, "txtForce", "1"));
  const double ohms = *senseResistorOhms(range, 100.0);
  const auto code = codeForCurrent(currentUnitToAmps(range), 5.0F, gainFive ? 5.0F : 10.0F, ohms);
  QVERIFY(code.has_value());
  QCOMPARE(b.lastWord(), 0x0FC80000 | (range << 16) | *code);
}

void TestPmuControlWindow::voltageRangeFollowsReferenceAndOffset() {
  Bench b;
  const std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(b.window, "optRef_1"));
  QCOMPARE(b.session().conversion.vref, 2.5F);
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("05.625"));
  QCOMPARE(b.text("txtOutputVl"), QStringLiteral("-05.625"));
  // The level in the force field is written again with the new reference.
  QVERIFY(!b.dacWordsSince(mark).empty());
  QVERIFY(typeAndEnter(b.window, "txtForce", "2"));
  const auto code = codeForVoltage(2.0, 2.5F, 0xA492);
  QVERIFY(code.has_value());
  QCOMPARE(b.lastWord(), 0x0FCD0000 | *code);
  QVERIFY(typeAndEnter(b.window, "txtForce", "5.7"));
  QCOMPARE(b.fixture.messages().last().text, texts::kLevelTooLarge);
  // The option redoes the level in the force field; the rejection left it empty.
  QVERIFY(typeAndEnter(b.window, "txtForce", "0"));
  QVERIFY(clickButton(b.window, "optRef_0"));
  QCOMPARE(b.session().conversion.vref, 5.0F);
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
}

void TestPmuControlWindow::directDacEntries_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<std::int32_t>("word");  // -1: rejected
  QTest::addColumn<QString>("message");
  QTest::newRow("FIN 8000") << "txtFINx1"
                            << "8000"
                            << "8000" << 0x0FCD8000 << QString();
  QTest::newRow("FIN abc") << "txtFINx1"
                           << "abc"
                           << "0ABC" << 0x0FCD0ABC << QString();
  QTest::newRow("FIN 0000ABCD") << "txtFINx1"
                                << "0000ABCD"
                                << "ABCD" << 0x0FCDABCD << QString();
  QTest::newRow("FIN 10000") << "txtFINx1"
                             << "10000"
                             << "" << -1 << texts::kCodeTooLarge;
  QTest::newRow("FIN FFFFABCD") << "txtFINx1"
                                << "FFFFABCD"
                                << "" << -1 << texts::kCodeTooLarge;
  QTest::newRow("FIN xyz") << "txtFINx1"
                           << "xyz"
                           << "" << -1 << texts::kNotANumber;
  QTest::newRow("OFFSET A492") << "OFFSETx1_0"
                               << "A492"
                               << "A492" << 0x0FC0A492 << QString();
  QTest::newRow("OFFSET 7") << "OFFSETx1_0"
                            << "7"
                            << "0007" << 0x0FC00007 << QString();
  QTest::newRow("OFFSET 10000") << "OFFSETx1_0"
                                << "10000"
                                << "" << -1 << texts::kCodeTooLarge;
}

void TestPmuControlWindow::directDacEntries() {
  QFETCH(QString, field);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QFETCH(std::int32_t, word);
  QFETCH(QString, message);
  Bench b;
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, field, typed));
  QCOMPARE(b.text(field), shown);
  if (word < 0) {
    QVERIFY(b.wordsSince(mark).empty());
    QCOMPARE(b.fixture.messages().last().text, message);
    return;
  }
  QCOMPARE(b.fixture.messages().count(), 0);
  QCOMPARE(b.wordsSince(mark).front(), word);
  QCOMPARE(b.text("txtother"), QString::fromStdString(NumberToHex(word, 8)));
  QCOMPARE(b.session().words.dacWord, word);
}

void TestPmuControlWindow::offsetWriteRedrawsRange() {
  Bench b;
  QVERIFY(typeAndEnter(b.window, "OFFSETx1_0", "8000"));
  QCOMPARE(b.lastWord(), 0x0FC08000);
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("13.750"));
  QCOMPARE(b.text("txtOutputVl"), QStringLiteral("-08.750"));
  // A FIN DAC write leaves the range display alone.
  QVERIFY(typeAndEnter(b.window, "txtFINx1", "1234"));
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("13.750"));
  // In force current the OFFSET write redraws the current range (reading the gain back).
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "OFFSETx1_0", "A492"));
  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 0FC0A492", "W 10000000", "R"}));
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("02.250"));
}

void TestPmuControlWindow::senseResistorEntryLimits_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("message");  // empty: accepted
  QTest::newRow("12.5") << "12.5" << QString();
  QTest::newRow("10000") << "10000" << QString();
  QTest::newRow("12.4") << "12.4" << texts::kRsenseTooLarge;
  QTest::newRow("10001") << "10001" << texts::kRsenseTooLarge;
  QTest::newRow("0") << "0" << texts::kRsenseTooLarge;
  QTest::newRow("text") << "r" << texts::kNotANumber;
}

void TestPmuControlWindow::senseResistorEntryLimits() {
  QFETCH(QString, typed);
  QFETCH(QString, message);
  Bench b;
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  QVERIFY(chooseItem(b.window, "cboIrange", 4));
  QVERIFY(find<QLineEdit>(b.window, "txtRsense")->isVisible());
  QVERIFY(find<QLabel>(b.window, "lblrsense")->isVisible());
  QVERIFY(typeAndEnter(b.window, "txtRsense", typed));
  if (message.isEmpty()) {
    QCOMPARE(b.fixture.messages().count(), 0);
    QCOMPARE(b.text("txtRsense"), typed);
    // Enter redraws the range from the accepted resistor.
    const RangeLimits limits = currentRangeLimits(5.0F, 10.0F, typed.toDouble() / 1000.0);
    QCOMPARE(b.text("txtOutputVh"), fixed(limits.fullScale));
    QCOMPARE(b.text("txtOutputVl"), fixed(limits.zeroScale));
  } else {
    QCOMPARE(b.fixture.messages().count(), 1);
    QCOMPARE(b.fixture.messages().last().text, message);
    QCOMPARE(b.text("txtRsense"), QString());
  }
}

void TestPmuControlWindow::senseResistorEveryKeyUsesTextBeforeKey() {
  Bench b;
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  QVERIFY(chooseItem(b.window, "cboIrange", 4));
  auto* rsense = find<QLineEdit>(b.window, "txtRsense");
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  rsense->setFocus();
  rsense->end(false);
  // The key's handler sees "100": the range stays that of 100 ohms while the field shows 1000.
  std::size_t mark = b.fixture.mark();
  QTest::keyClick(rsense, Qt::Key_0);
  QCOMPARE(rsense->text(), QStringLiteral("1000"));
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  QCOMPARE(b.fixture.transcript(mark), (std::vector<std::string>{"W 10000000", "R"}));
  // The next key sees "1000".
  QTest::keyClick(rsense, Qt::Key_Home);
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("01.125"));
  QCOMPARE(b.text("txtOutputVl"), QStringLiteral("-01.125"));
  // In force voltage the keys change nothing and send nothing.
  QVERIFY(chooseItem(b.window, "cboForce", 0));
  mark = b.fixture.mark();
  QTest::keyClick(rsense, Qt::Key_End);
  QTest::keyClick(rsense, Qt::Key_1);
  QVERIFY(b.fixture.transcript(mark).empty());
}

void TestPmuControlWindow::senseResistorWithoutNumberKeepsDisplayAndSendsNothing() {
  Bench b;
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  QVERIFY(chooseItem(b.window, "cboIrange", 4));
  // A rejected entry empties the field.
  QVERIFY(typeAndEnter(b.window, "txtRsense", "5"));
  QCOMPARE(b.text("txtRsense"), QString());
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  auto* rsense = find<QLineEdit>(b.window, "txtRsense");
  std::size_t mark = b.fixture.mark();
  QTest::keyClick(rsense, Qt::Key_2);
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  QVERIFY(b.fixture.transcript(mark).empty());
  // A force level on the external range needs the resistor: the empty field is reported and
  // nothing at all is sent.
  rsense->clear();
  b.fixture.messages().clear();
  mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "txtForce", "1"));
  QVERIFY(b.wordsSince(mark).empty());
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
  QCOMPARE(b.text("txtdaccode"), QStringLiteral("8000"));
  QCOMPARE(b.fixture.messages().count(texts::kNotANumber), 1);
  QVERIFY(rsense->hasFocus());
  // With a resistor again, the same level goes out: 1 mA into 100 ohms at gain 10 is
  // 65536 * 0.1 * 10 / 22.5 + 32768 = 35680.71 -> 0x8B61, external level 4.
  rsense->setText(QStringLiteral("100"));
  QVERIFY(typeAndEnter(b.window, "txtForce", "1"));
  QCOMPARE(b.lastWord(), 0x0FCC8B61);
}

void TestPmuControlWindow::referenceEntryLimits_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("message");  // empty: accepted
  QTest::newRow("5.4") << "5.4" << QString();
  QTest::newRow("-0.4") << "-0.4" << QString();
  QTest::newRow("4.5 rounds to 4") << "4.5" << QString();
  QTest::newRow("5.5") << "5.5" << texts::kVrefTooLarge;
  QTest::newRow("-0.6") << "-0.6" << texts::kVrefTooLarge;
  QTest::newRow("1e12") << "1e12" << texts::kVrefTooLarge;
  QTest::newRow("text") << "five" << texts::kNotANumber;
}

void TestPmuControlWindow::referenceEntryLimits() {
  QFETCH(QString, typed);
  QFETCH(QString, message);
  Bench b;
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "txtVref", typed));
  // The entry alone changes no reference and sends nothing.
  QVERIFY(b.wordsSince(mark).empty());
  QCOMPARE(b.session().conversion.vref, 5.0F);
  if (message.isEmpty()) {
    QCOMPARE(b.fixture.messages().count(), 0);
    QCOMPARE(b.text("txtVref"), typed);
  } else {
    QCOMPARE(b.fixture.messages().last().text, message);
    QCOMPARE(b.text("txtVref"), QString());
  }
}

void TestPmuControlWindow::thirdReferenceOption() {
  Bench b;
  QVERIFY(typeAndEnter(b.window, "txtVref", "3"));
  QVERIFY(clickButton(b.window, "optRef_2"));
  QCOMPARE(b.session().conversion.vref, 3.0F);
  QCOMPARE(b.text("txtOutputVh"), fixed(voltageRangeLimits(3.0F, 0xA492).fullScale));
  // A reference field that is empty, or holds 0 (accepted on Enter as a whole number, but no
  // reference), is refused with its message: the reference and the option stay, nothing is
  // sent, the field is emptied and focused.
  QVERIFY(clickButton(b.window, "optRef_0"));
  const std::pair<const char*, QString> refused[] = {{"9", texts::kNotANumber},
                                                     {"0", texts::kVrefTooLarge}};
  for (const auto& [text, message] : refused) {
    QVERIFY(typeAndEnter(b.window, "txtVref", text));
    b.fixture.messages().clear();
    const std::size_t mark = b.fixture.mark();
    QVERIFY(clickButton(b.window, "optRef_2"));
    QCOMPARE(b.fixture.messages().count(message), 1);
    QCOMPARE(b.session().conversion.vref, 5.0F);
    QVERIFY(b.wordsSince(mark).empty());
    QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
    QVERIFY(find<QAbstractButton>(b.window, "optRef_0")->isChecked());
    QCOMPARE(b.text("txtVref"), QString());
    QVERIFY(find<QLineEdit>(b.window, "txtVref")->hasFocus());
  }
}

// The level conversion reads the OFFSET field: a text there that is not a code (typed without
// Enter) is reported when the level is entered, before any word goes out.
void TestPmuControlWindow::badOffsetFieldStopsTheLevel() {
  Bench b;
  QVERIFY(typeText(find<QLineEdit>(b.window, "OFFSETx1_0"), "xyz"));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(typeAndEnter(b.window, "txtForce", "1"));
  QCOMPARE(b.fixture.messages().count(texts::kNotANumber), 1);
  QCOMPARE(b.fixture.messages().last().title, texts::kEntryError);
  QVERIFY(b.wordsSince(mark).empty());
  QCOMPARE(b.text("OFFSETx1_0"), QString());
  QVERIFY(find<QLineEdit>(b.window, "OFFSETx1_0")->hasFocus());
  QVERIFY(typeText(find<QLineEdit>(b.window, "OFFSETx1_0"), "10000"));
  QVERIFY(typeAndEnter(b.window, "txtForce", "1"));
  QCOMPARE(b.fixture.messages().count(texts::kCodeTooLarge), 1);
  QVERIFY(b.wordsSince(mark).empty());
}

void TestPmuControlWindow::alwaysOnExtRangeKeepsRange_data() {
  QTest::addColumn<int>("entry");
  QTest::addColumn<int>("rangeCode");
  QTest::newRow("Disable Always on Ext Range") << 5 << 5;
  QTest::newRow("Enable Always on Ext Range") << 6 << 6;
}

void TestPmuControlWindow::alwaysOnExtRangeKeepsRange() {
  QFETCH(int, entry);
  QFETCH(int, rangeCode);
  Bench b;
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
  const std::size_t mark = b.fixture.mark();
  QVERIFY(chooseItem(b.window, "cboIrange", entry));
  const std::int32_t word = b.wordsSince(mark).front();
  QCOMPARE((word >> 15) & 7, rangeCode);
  QCOMPARE(word & 0x0F000000, kAllChannels);
  QCOMPARE(b.session().conversion.rangeIndex, std::int16_t{3});
  QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
  QVERIFY(!find<QLineEdit>(b.window, "txtRsense")->isVisible());
  // The force level's FIN write on such an entry carries no level sub-address.
  QVERIFY(typeAndEnter(b.window, "txtForce", "1"));
  QCOMPARE(b.lastWord() & 0x0FFF0000, 0x0FC80000);
}

void TestPmuControlWindow::forceModesUnitsAndRsenseVisibility() {
  Bench b;
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  QVERIFY(chooseItem(b.window, "cboIrange", 1));
  QCOMPARE(b.units(), (QStringList{"uA", "uA", "uA"}));
  QVERIFY(chooseItem(b.window, "cboIrange", 4));
  QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
  QVERIFY(find<QLineEdit>(b.window, "txtRsense")->isVisible());
  // The Hi-Z modes keep the units.
  QVERIFY(chooseItem(b.window, "cboForce", 2));
  QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
  QVERIFY(chooseItem(b.window, "cboForce", 3));
  QCOMPARE(b.units(), (QStringList{"mA", "mA", "mA"}));
  // Back to force voltage: "V", but the current range's numbers stay until the next level.
  QVERIFY(chooseItem(b.window, "cboIrange", 3));
  QVERIFY(!find<QLineEdit>(b.window, "txtRsense")->isVisible());
  QVERIFY(chooseItem(b.window, "cboForce", 0));
  QCOMPARE(b.units(), (QStringList{"V", "V", "V"}));
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("02.250"));
  QVERIFY(typeAndEnter(b.window, "txtForce", "0"));
  QCOMPARE(b.text("txtOutputVh"), QStringLiteral("11.250"));
}

void TestPmuControlWindow::pmuSelectorsSendAtOnce_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("entry");  // -1: click the check box
  QTest::addColumn<std::int32_t>("word");
  // From the load's word 0x00018000 with all four channels selected.
  QTest::newRow("Force Current") << "cboForce" << 1 << 0x0F098000;
  QTest::newRow("Hi-Z FOH Current") << "cboForce" << 3 << 0x0F198000;
  QTest::newRow("Measure Voltage") << "cboMeasure" << 1 << 0x0F01A000;
  QTest::newRow("HiZ Measout") << "cboMeasure" << 3 << 0x0F01E000;
  QTest::newRow("Compare Voltage") << "cboCompare" << 1 << 0x0F018080;
  QTest::newRow("CONNECT TO FOHx MEASVHx") << "cboSysforce" << 3 << 0x0F018C00;
  QTest::newRow("sys-force hi-z, sense conn") << "cboSysforce" << 1 << 0x0F018400;
  QTest::newRow("5uA current range") << "cboIrange" << 0 << 0x0F000000;
  QTest::newRow("Clamp Enable cleared") << "chkCLAMPEN" << -1 << 0x0F018000;
}

void TestPmuControlWindow::pmuSelectorsSendAtOnce() {
  QFETCH(QString, control);
  QFETCH(int, entry);
  QFETCH(std::int32_t, word);
  Bench b;
  const std::size_t mark = b.fixture.mark();
  if (entry < 0) {
    QVERIFY(clickButton(b.window, control));
  } else {
    QVERIFY(chooseItem(b.window, control, entry));
  }
  // Force Current also sends the range word and reads the gain back before its own word.
  QCOMPARE(b.lastWord(), word);
  QCOMPARE(b.text("txtPMU"), QString::fromStdString(NumberToHex(word, 8)));
  QCOMPARE(b.session().words.pmuWord, word);
  QVERIFY(!b.wordsSince(mark).empty());
  QCOMPARE(b.fixture.messages().count(), 0);
}

void TestPmuControlWindow::channelEnablesAndTheMessage() {
  Bench b;
  std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(b.window, "chkPMU_1"));
  QVERIFY(clickButton(b.window, "chkPMU_3"));
  QCOMPARE(b.session().words.chanBits, 0x05000000);
  QVERIFY(b.wordsSince(mark).empty());
  QVERIFY(chooseItem(b.window, "cboCompare", 1));
  QCOMPARE(b.lastWord(), 0x05018080);
  QVERIFY(typeAndEnter(b.window, "txtFINx1", "8000"));
  QCOMPARE(b.lastWord(), 0x05CD8000);

  // Clearing the last channel shows the message once; the PMU word keeps its channel bits.
  QVERIFY(clickButton(b.window, "chkPMU_0"));
  QCOMPARE(b.fixture.messages().count(), 0);
  QVERIFY(clickButton(b.window, "chkPMU_2"));
  QCOMPARE(b.fixture.messages().count(), 1);
  QCOMPARE(b.fixture.messages().last().text, texts::kNoChannel);
  QCOMPARE(b.fixture.messages().last().title, texts::kEntryError);
  QCOMPARE(b.fixture.messages().last().icon, ui::MessageIcon::Warning);
  QCOMPARE(b.session().words.chanBits, 0);
  QCOMPARE(b.session().words.pmuWord & 0x0F000000, 0x04000000);

  // Without a channel a PMU change sends nothing and says so once per action; "Last PMU REG
  // Write" keeps the last word that reached the board.
  mark = b.fixture.mark();
  QVERIFY(chooseItem(b.window, "cboForce", 1));
  QCOMPARE(b.text("txtPMU"), QStringLiteral("05018080"));
  // Only the gain read-backs of the current range go out.
  const auto sent = b.wordsSince(mark);
  QVERIFY(!sent.empty());
  QVERIFY(std::all_of(sent.begin(), sent.end(), [](std::int32_t w) { return w == 0x10000000; }));
  QCOMPARE(b.fixture.messages().count(texts::kNoChannel), 2);
  // A force level sends several PMU words: still one message.
  QVERIFY(typeAndEnter(b.window, "txtForce", "0.5"));
  QCOMPARE(b.fixture.messages().count(texts::kNoChannel), 3);
  QCOMPARE(b.fixture.messages().count(), 3);

  QVERIFY(clickButton(b.window, "chkPMU_2"));
  QCOMPARE(b.session().words.chanBits, 0x04000000);
  QVERIFY(chooseItem(b.window, "cboMeasure", 1));
  QCOMPARE(b.lastWord() & 0x0F000000, 0x04000000);
}

void TestPmuControlWindow::systemSelectorsSendAtOnce_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("entry");  // -1: click the check box
  QTest::addColumn<std::int32_t>("word");
  QTest::newRow("LATCHED") << "cboLatched" << 1 << 0x003FE4A4;
  QTest::newRow("DISABLED") << "cboTemp" << 0 << 0x003FE480;
  QTest::newRow("ENABLED") << "cboTemp" << 1 << 0x003FE4A0;
  QTest::newRow("TJ = 130degC") << "cboTemp" << 2 << 0x003FE4A0;
  QTest::newRow("TJ = 120degC") << "cboTemp" << 3 << 0x003FE4A8;
  QTest::newRow("TJ = 110degC") << "cboTemp" << 4 << 0x003FE4B0;
  QTest::newRow("TJ = 100degC") << "cboTemp" << 5 << 0x003FE4B8;
  QTest::newRow("I MEAS GAIN = 5") << "cboMeasI" << 1 << 0x003FE4E0;
  QTest::newRow("I MEAS GAIN = 10") << "cboMeasI" << 0 << 0x003FE4A0;
  QTest::newRow("guard on") << "chkGuard" << -1 << 0x003FE5A0;
  QTest::newRow("comparator outputs off") << "chkCPOEN" << -1 << 0x003C04A0;
  QTest::newRow("GUARD ALARM on") << "Chkalm_1" << -1 << 0x003FECA0;
  QTest::newRow("CLAMP ALARM off") << "Chkalm_2" << -1 << 0x003FE0A0;
}

void TestPmuControlWindow::systemSelectorsSendAtOnce() {
  QFETCH(QString, control);
  QFETCH(int, entry);
  QFETCH(std::int32_t, word);
  Bench b;
  const std::size_t mark = b.fixture.mark();
  if (entry < 0) {
    QVERIFY(clickButton(b.window, control));
  } else {
    QVERIFY(chooseItem(b.window, control, entry));
  }
  QCOMPARE(b.wordsSince(mark), std::vector<std::int32_t>{word});
  QCOMPARE(b.text("Text1"), QString::fromStdString(NumberToHex(word, 8)));
  QCOMPARE(b.session().simulated()->chip().systemControl(), static_cast<std::uint32_t>(word));
}

void TestPmuControlWindow::measoutGainWarningCancel() {
  Bench b;
  // "UNLATCHED" also clears bits 0 and 1.
  b.session().words.sysWord = kStartupSysWord | 0x3;
  QVERIFY(chooseItem(b.window, "cboLatched", 1));
  QVERIFY(chooseItem(b.window, "cboLatched", 0));
  QCOMPARE(b.lastWord(), kStartupSysWord);

  const std::size_t mark = b.fixture.mark();
  QVERIFY(chooseItem(b.window, "cboMeasout", 1));
  // Gain 1 is sent at once; the warning box opens without blocking.
  QCOMPARE(b.wordsSince(mark), std::vector<std::int32_t>{kStartupSysWord & ~0x80});
  QWidget* box = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == QStringLiteral("ABOUT")) {
      box = w;
    }
  }
  QVERIFY(box != nullptr);
  auto* cancel = find<QPushButton>(box, "cmdSysInfo");
  QVERIFY(cancel != nullptr);
  QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
  QVERIFY(clickButton(cancel));
  QVERIFY(!box->isVisible());
  // "Cancel" puts gain 0.2 back into the shadow only; the chip keeps gain 1 until next time.
  QCOMPARE(b.session().words.sysWord, kStartupSysWord);
  QCOMPARE(b.wordsSince(mark).size(), std::size_t{1});
  QCOMPARE(b.session().simulated()->chip().systemControl() & 0x80u, 0u);
  QCOMPARE(b.text("cboMeasout"), QStringLiteral("MEASOUT GAIN = 1"));
  QVERIFY(chooseItem(b.window, "cboMeasout", 0));
  QCOMPARE(b.lastWord(), kStartupSysWord);
}

void TestPmuControlWindow::resetAndUpdate() {
  Bench b;
  QVERIFY(chooseItem(b.window, "cboLatched", 1));
  QCOMPARE(b.text("Text1"), QStringLiteral("003FE4A4"));
  std::size_t mark = b.fixture.mark();
  QVERIFY(clickButton(b.window, "cmdRESET"));
  QCOMPARE(b.fixture.transcript(mark), std::vector<std::string>{"219"});
  QCOMPARE(b.text("Text1"), QStringLiteral("00000000"));
  QCOMPARE(b.session().words.sysWord, 0x003FE4A4);
  // The next system change sends the kept shadow with its own change.
  QVERIFY(clickButton(b.window, "chkGuard"));
  QCOMPARE(b.lastWord(), 0x003FE5A4);

  // "Update" resends the PMU word with the present channels (bits 24 and 25 of the old word
  // survive its mask).
  b.session().words.pmuWord = 0x1E018000;
  b.session().words.chanBits = 0x04000000;
  mark = b.fixture.mark();
  QVERIFY(clickButton(b.window, "cmdWRITEPMU"));
  QCOMPARE(b.wordsSince(mark), std::vector<std::int32_t>{0x06018000});
  QCOMPARE(b.text("txtPMU"), QStringLiteral("06018000"));
}

void TestPmuControlWindow::menus() {
  Bench b;
  auto* mainWindow = qobject_cast<QMainWindow*>(b.window);
  QVERIFY(mainWindow != nullptr);
  QStringList menus;
  for (QAction* a : mainWindow->menuBar()->actions()) {
    menus << a->text();
  }
  QCOMPARE(menus, (QStringList{"File", "Help"}));
  auto* sweeps = b.window->findChild<QAction*>("mnuSweep");
  auto* reg = b.window->findChild<QAction*>("mnuReg");
  auto* about = b.window->findChild<QAction*>("mnuAbout");
  auto* exitEntry = b.window->findChild<QAction*>("mnuExit");
  QVERIFY(sweeps && reg && about && exitEntry);
  QCOMPARE(sweeps->text(), QStringLiteral("Voltage Current Sweeps"));
  QCOMPARE(reg->text(), QStringLiteral("Individual Register Access"));
  QCOMPARE(exitEntry->text(), QStringLiteral("Exit"));
  QCOMPARE(about->text(), QStringLiteral("About"));
  // Window kinds the program does not have are disabled.
  QVERIFY(!sweeps->isEnabled());
  QVERIFY(!about->isEnabled());
  QVERIFY(!reg->isEnabled());
  QVERIFY(exitEntry->isEnabled());
}

QTEST_MAIN(TestPmuControlWindow)
#include "test_pmu_control_window.moc"
