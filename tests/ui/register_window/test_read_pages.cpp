// The four read pages of the register window on the simulated board: request words, the
// traffic of each read and the decoded texts, lamps and bit rows of what the chip answers.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <tuple>

#include "board/simulated_board.h"
#include "ui/common/session.h"
#include "ui/register_window/register_window.h"
#include "ui/register_window/register_window_factory.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::ui;
using namespace kv4410::uitest;
using Transcript = std::vector<std::string>;

namespace {

// The whole register window on the simulated board, after its start-up.
struct Bench {
  explicit Bench(const std::string& simulateOptions = {}) : f(simulateOptions) {
    Session& s = f.session();
    s.hub().setFactory(WindowId::Register, [&s] { return createRegisterWindow(s); });
    window = qobject_cast<RegisterWindow*>(f.startWindow(WindowId::Register));
    if (window != nullptr) {
      showAndWait(window);
    }
  }
  // Brings a page to the front as a click on its tab does (the page-change rules run).
  QWidget* page(int index) {
    window->pages()->setCurrentIndex(index);
    return window->pages()->widget(index);
  }
  QString serial() const { return window->serialWordField()->text(); }
  QString readField() const { return textOf(window, "lblREADSPI"); }
  // Reads with `button` and returns the traffic it caused.
  Transcript read(QWidget* page, const char* button) {
    const std::size_t mark = f.mark();
    return clickButton(page, button) ? f.transcript(mark) : Transcript{"<no button>"};
  }
  // The texts of these controls, in order.
  QStringList texts(QWidget* page, const QStringList& names) const {
    QStringList out;
    for (const QString& name : names) {
      out << textOf(page, name);
    }
    return out;
  }
  QString lamp(QWidget* page, const char* name) const {
    auto* b = find<QPushButton>(page, name);
    const QColor c = b->palette().color(QPalette::Button);
    return b->text() + (c == QColor(0, 128, 0) ? " green" : c == QColor(255, 0, 0) ? " red" : "");
  }
  board::SimulatedChip& chip() { return f.session().simulated()->chip(); }
  StoredWords& words() { return f.session().words; }

  UiFixture f;
  RegisterWindow* window = nullptr;
};

QString bits(std::uint32_t value, int high) {
  return QString::number(value, 2).rightJustified(high + 1, QLatin1Char('0'));
}

}  // namespace

class TestReadPages : public QObject {
  Q_OBJECT

 private slots:
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
      Bench b;
      QWidget* page = b.page(kPageReadSystem);
      b.f.session().SPIout(word);
      QCOMPARE(b.read(page, "READSYS"), (Transcript{"W 10000000", "R"}));
      const std::uint32_t reply = static_cast<std::uint32_t>(word) & 0x3FFFFCu;
      QCOMPARE(b.readField(), hex(reply, 6));
      QCOMPARE(b.serial(), QStringLiteral("10000000"));
      QCOMPARE(b.texts(page, names), captions);
      QCOMPARE(find<QLabel>(page, "lblTEMPERATUREOFSHUTDOWN")->isVisible(), temperatureShown);
      QCOMPARE(boxRow(page, "txtRSYS"), bits(reply, 28));
    }
  }

  // Comparators of channels 3 and 0 enabled: captions updated, hidden while the comparator
  // bias is off, shown when it is on.
  void cpolhLabelsFollowTheComparatorBias() {
    Bench b;
    QWidget* page = b.page(kPageReadSystem);
    const QStringList names = {"lblCPOLH_0", "lblCPOLH_1", "lblCPOLH_2", "lblCPOLH_3"};
    for (const bool bias : {false, true}) {
      b.f.session().SPIout(0x024000 | (bias ? 0x2000 : 0));
      QVERIFY(clickButton(page, "READSYS"));
      QCOMPARE(textOf(page, "lblCPBIASEN"),
               bias ? QString("CPBIASEN Enabled") : QString("CPBIASEN Disabled"));
      QCOMPARE(b.texts(page, names), (QStringList{"CPOLH0 Enabled", "CPOLH1 Disabled",
                                                  "CPOLH2 Disabled", "CPOLH3 Enabled"}));
      QCOMPARE(find<QLabel>(page, "lblCPOLH_3")->isVisible(), bias);
    }
  }

  void readPmuReadsTheChosenChannel() {
    Bench b;
    b.f.session().SPIout(0x022AC880);  // PMU 1 differs from the start-up word of the others
    QWidget* page = b.page(kPageReadPmu);
    QCOMPARE(b.serial(), QStringLiteral("18000000"));
    QCOMPARE(b.read(page, "READPMU"), (Transcript{"W 18000000", "R"}));
    const QStringList names = {"RPMU_0", "RPMU_1", "RPMU_2", "RPMU_3", "RPMU_4",
                               "RPMU_5", "RPMU_6", "RPMU_7", "RPMU_8"};
    QCOMPARE(b.texts(page, names),
             (QStringList{"CHANNEL ENABLED", "FORCE VOLTAGE MODE", "±2mA CURRENT RANGE",
                          "MEASOUT = VSENSE", " FORCE AMP TIED TO FINDAC",
                          "SYSTEM SENSE/FORCE DISCONNECTED", "CLAMP ENABLED", "COMPARATOR ENABLED",
                          "COMPARE CURRENT"}));
    QCOMPARE(b.lamp(page, "cmdTEMP_2"), QStringLiteral("OK green"));
    QCOMPARE(b.lamp(page, "cmdTEMP_3"), QStringLiteral("OK green"));
    // PMU 1: choosing it sends nothing, the read then asks PMU 1 and decodes its register.
    QVERIFY(clickButton(page, "OptPMUCH_1"));
    QCOMPARE(b.read(page, "READPMU"), (Transcript{"W 12000000", "R"}));
    QCOMPARE(b.texts(page, names),
             (QStringList{"CHANNEL ENABLED", "FORCE CURRENT MODE", "±EXTERNAL CURRENT RANGE",
                          "MEASOUT = TEMP SENSOR", "FORCE AMP TIED TO FINGND",
                          "SYSTEM SENSE/FORCE DISCONNECTED", "CLAMP DISABLED",
                          "COMPARATOR DISABLED", "COMPARE VOLTAGE"}));
  }

  // The request words that options, lists and page entries compose; none of it sends.
  void requestWordsFollowTheControls() {
    Bench b;
    QWidget* pmu = b.page(kPageReadPmu);
    const std::size_t mark = b.f.mark();
    QVERIFY(clickButton(pmu, "OptPMUCH_0"));
    QCOMPARE(b.words().pmuRequestWord, 0x11000000);
    // Page entry ORs PMU 3 back in; the option shown chosen restores a single channel bit.
    b.page(kPageReadSystem);
    b.page(kPageReadPmu);
    QCOMPARE(b.serial(), QStringLiteral("19000000"));
    QVERIFY(find<QRadioButton>(pmu, "OptPMUCH_0")->isChecked());
    QVERIFY(clickButton(pmu, "OptPMUCH_0"));
    QCOMPARE(b.words().pmuRequestWord, 0x11000000);

    QWidget* dac = b.page(kPageReadDac);
    auto* current = find<QComboBox>(dac, "cboCurrentregset");
    auto* clamp = find<QComboBox>(dac, "cboCLLregset");
    QCOMPARE(b.texts(dac, {"cboDAC", "cboCurrentregset", "cboCLLregset"}),
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
      QCOMPARE(b.words().dacRequestWord, word);
      QCOMPARE(b.serial(), hex(word));
      QCOMPARE((std::tuple{clamp->isVisible(), current->isVisible()}),
               (std::tuple{clampShown, !clampShown}));
    }
    // A channel option leaves one channel bit (and the R/W bit); page entry ORs PMU 3 back in.
    for (int ch : {0, 2, 1}) {
      QVERIFY(clickButton(dac, QStringLiteral("OptDACREAD_%1").arg(ch)));
      QCOMPARE(b.words().dacRequestWord, 0x10CC0000 | (1 << (24 + ch)));
      QCOMPARE(boxRow(dac, "txtRDAC", 27).left(4), QString("0000").replace(3 - ch, 1, '1'));
    }
    b.page(kPageReadStatus);
    b.page(kPageReadDac);
    QCOMPARE(b.serial(), QStringLiteral("1ACC0000"));
    QVERIFY(b.f.sentWords(mark).empty());
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
      Bench b;
      b.f.session().SPIout(0x0FC0A492);
      b.f.session().SPIout(written);
      QWidget* page = b.page(kPageReadDac);
      QVERIFY(clickButton(page, QStringLiteral("OptDACREAD_%1").arg(channel)));
      QVERIFY(chooseItemText(page, "cboDAC", dac));
      const bool clamp = QLatin1String(dac) == QLatin1String("CLH DAC");
      QVERIFY(chooseItemText(page, clamp ? "cboCLLregset" : "cboCurrentregset", level));
      QVERIFY(chooseItemText(page, "cboRegset", kind));
      QCOMPARE(b.read(page, "cmdREADDAC"),
               (Transcript{"W 1FC00000", "R", "W " + hex(request).toStdString(), "R"}));
      const std::uint32_t reply = static_cast<std::uint32_t>(written) & 0xFFFFFFu;
      QCOMPARE(b.texts(page, {"txtOFFSET", "txtDaccode"}),
               (QStringList{"0000A492", hex(reply & 0xFFFF)}));
      QCOMPARE(b.readField(), hex(reply, 6));
      QCOMPARE(boxRow(page, "txtRDAC", 23), bits(reply, 23));
    }
  }

  void readComparatorStatus() {
    Bench b;
    QWidget* page = b.page(kPageReadStatus);
    QCOMPARE(b.read(page, "READCOMP"), (Transcript{"W 10400000", "R"}));
    QCOMPARE(boxRow(page, "txtCOMP", 23).left(2), QStringLiteral("01"));  // its mode bits
  }

  // The alarm lamps of the status and PMU pages: green "OK" on a cool die, red "TOO HOT" on a
  // hot one; after cooling the unlatched flags read 1 again, the latched ones stay 0 until
  // "clear latched bits" sends the PMU word with CLEAR.
  void alarmLamps() {
    Bench cool;
    QWidget* status = cool.page(kPageReadStatus);
    QCOMPARE(cool.read(status, "READALARM"), (Transcript{"W 10C00000", "R"}));
    QCOMPARE(cool.lamp(status, "cmdTEMP_0"), QStringLiteral("OK green"));
    QCOMPARE(cool.lamp(status, "cmdTEMP_1"), QStringLiteral("OK green"));
    QCOMPARE(boxRow(status, "txtALM", 21).left(2), QStringLiteral("11"));

    Bench b("temp=150");
    status = b.page(kPageReadStatus);
    QVERIFY(clickButton(status, "READALARM"));
    QCOMPARE(b.lamp(status, "cmdTEMP_0"), QStringLiteral("TOO HOT red"));
    QCOMPARE(b.lamp(status, "cmdTEMP_1"), QStringLiteral("TOO HOT red"));
    QCOMPARE(boxRow(status, "txtALM", 21).left(2), QStringLiteral("00"));
    QWidget* pmu = b.page(kPageReadPmu);
    QVERIFY(clickButton(pmu, "READPMU"));
    QCOMPARE(b.lamp(pmu, "cmdTEMP_2"), QStringLiteral("TOO HOT red"));
    QCOMPARE(b.lamp(pmu, "cmdTEMP_3"), QStringLiteral("TOO HOT red"));
    b.chip().setDieTemperature(25.0);
    QVERIFY(clickButton(pmu, "READPMU"));
    QCOMPARE(b.lamp(pmu, "cmdTEMP_2"), QStringLiteral("OK green"));
    QCOMPARE(b.lamp(pmu, "cmdTEMP_3"), QStringLiteral("TOO HOT red"));
    status = b.page(kPageReadStatus);
    QVERIFY(clickButton(status, "READALARM"));
    QCOMPARE(b.lamp(status, "cmdTEMP_0"), QStringLiteral("TOO HOT red"));
    QCOMPARE(b.lamp(status, "cmdTEMP_1"), QStringLiteral("OK green"));
    QCOMPARE(b.read(status, "Command4"), (Transcript{"W 0F21B340"}));
    QVERIFY(clickButton(status, "READALARM"));
    QCOMPARE(b.lamp(status, "cmdTEMP_0"), QStringLiteral("OK green"));
    // Without a channel bit the word would reach the chip as a system control write.
    b.words().pmuWord = 0x0021B300;
    QCOMPARE(b.read(status, "Command4"), Transcript{});
    QVERIFY(b.f.messages().onlyEntryError(texts::kNoChannel));
  }

  // What the write pages wrote, read back on the read pages.
  void readsBackWhatTheWritePagesWrote() {
    Bench b;
    QWidget* writePmu = b.page(kPageWritePmu);
    QVERIFY(chooseItem(writePmu, "cboCurrent", 2));
    QVERIFY(clickButton(writePmu, "cmdWRITEPMU"));
    QWidget* readPmu = b.page(kPageReadPmu);
    QVERIFY(clickButton(readPmu, "READPMU"));
    QCOMPARE(textOf(readPmu, "RPMU_2"), QStringLiteral("±200uA CURRENT RANGE"));
    QWidget* writeDac = b.page(kPageWriteDac);
    QVERIFY(typeAndEnter(writeDac, "txtFINx1_2", "1234"));
    QWidget* readDac = b.page(kPageReadDac);
    QVERIFY(chooseItemText(readDac, "cboCurrentregset", QStringLiteral("±200uA")));
    QVERIFY(clickButton(readDac, "cmdREADDAC"));
    QCOMPARE(textOf(readDac, "txtDaccode"), QStringLiteral("00001234"));
    QCOMPARE(b.readField(), QStringLiteral("CA1234"));
  }
};

QTEST_MAIN(TestReadPages)
#include "test_read_pages.moc"
