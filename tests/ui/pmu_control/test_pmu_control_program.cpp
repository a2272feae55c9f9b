// The PMU control window inside the whole program: the register window's start-up creates it,
// and the lists of the settings the windows share follow each other through the bench.
#include <QComboBox>
#include <QtTest>
#include <cmath>

#include "board/simulated_board.h"
#include "ui/common/selector.h"
#include "ui/common/setting_lists.h"
#include "ui/windows.h"
#include "ui_test_support.h"

using namespace kv4410;
using namespace kv4410::uitest;
using bench::Setting;
using bench::View;
using ui::WindowId;

namespace {

// The program as main() builds it, started up.
struct Program {
  UiFixture f;
  QWidget* reg = nullptr;
  QWidget* pmu = nullptr;

  Program() {
    ui::registerWindows(f.session());
    reg = f.startWindow(WindowId::Register);
    if (auto* w = f.session().hub().window(WindowId::PmuControl)) {
      pmu = w->widget();
    }
  }
  ui::Session& session() { return f.session(); }
  QWidget* window(View view) {
    const WindowId id = view == View::RegisterWindow ? WindowId::Register
                        : view == View::PmuControl   ? WindowId::PmuControl
                                                     : WindowId::Sweep;
    ui::ManagedWindow* w = session().hub().window(id);
    return w != nullptr ? w->widget() : nullptr;
  }
  // The window's list of the setting.
  ui::Selector* selector(View view, Setting setting) {
    auto* list = find<QComboBox>(window(view), ui::settingList(view, setting).objectName);
    return list != nullptr ? list->findChild<ui::Selector*>() : nullptr;
  }
};

}  // namespace

class TestPmuControlProgram : public QObject {
  Q_OBJECT

 private slots:
  void startUpTraffic() {
    Program p;
    QVERIFY(p.reg != nullptr && p.pmu != nullptr && p.reg->isVisible() && p.pmu->isVisible());
    const std::vector<std::string> expected = {
        "search",     "connect",    "firmware",   "224",        "W 003FE4A0",
        "W 003FE4A0", "W 00CD8000", "W 003FE4A0", "W 003FE4A0", "W 003FE4A0",
        "W 003FE4A0", "W 0F21B300", "229=1",      "228=1"};
    QCOMPARE(p.f.transcript(), expected);
    QCOMPARE(p.f.messages().count(), 0);
    // This window follows the register window's selections; its status fields show what
    // reached the board.
    QCOMPARE(
        textsOf(p.pmu, {"cboMeasure", "cboForce", "cboIrange", "cboCompare", "cboTemp",
                        "cboMeasout", "txtPMU", "Text1"}),
        (QStringList{"Measure Voltage", "Force Voltage", "2mA current range", "Compare Current",
                     "TJ = 130degC", "MEASOUT GAIN =0.2", "0F21B300", "003FE4A0"}));
  }

  // A choice in one window sets the same entry in the other, whose handler does not run; the
  // words go out once. `word` is what is sent when the register window's list is chosen.
  void sharedListsFollowEachOther() {
    using ListId = std::pair<View, Setting>;
    // From, to, the entry chosen, the entry the other one shows, the word sent (-1: not checked).
    const std::tuple<ListId, ListId, int, int, std::int32_t> rows[] = {
        {{View::RegisterWindow, Setting::Compare},
         {View::PmuControl, Setting::Compare},
         1,
         1,
         0x0F21B380},
        {{View::RegisterWindow, Setting::Measure},
         {View::PmuControl, Setting::Measure},
         0,
         0,
         0x0F219300},
        {{View::RegisterWindow, Setting::AlarmLatch},
         {View::PmuControl, Setting::AlarmLatch},
         1,
         1,
         0x003FE4A4},
        {{View::RegisterWindow, Setting::Thermal},
         {View::PmuControl, Setting::Thermal},
         5,
         5,
         0x003FE4B8},
        {{View::RegisterWindow, Setting::CurrentGain},
         {View::PmuControl, Setting::CurrentGain},
         1,
         1,
         0x003FE4E0},
        {{View::RegisterWindow, Setting::CurrentRange},
         {View::PmuControl, Setting::CurrentRange},
         1,
         1,
         0x0F20B300},
        {{View::PmuControl, Setting::Measure}, {View::RegisterWindow, Setting::Measure}, 2, 2, -1},
        {{View::PmuControl, Setting::Compare}, {View::RegisterWindow, Setting::Compare}, 1, 1, -1},
        {{View::PmuControl, Setting::AlarmLatch},
         {View::RegisterWindow, Setting::AlarmLatch},
         1,
         1,
         -1},
        {{View::PmuControl, Setting::Thermal}, {View::RegisterWindow, Setting::Thermal}, 0, 0, -1},
        {{View::PmuControl, Setting::CurrentGain},
         {View::RegisterWindow, Setting::CurrentGain},
         1,
         1,
         -1},
        {{View::PmuControl, Setting::MeasoutGain},
         {View::RegisterWindow, Setting::MeasoutGain},
         1,
         1,
         -1},
        {{View::PmuControl, Setting::CurrentRange},
         {View::RegisterWindow, Setting::CurrentRange},
         1,
         1,
         -1},
        {{View::PmuControl, Setting::CurrentRange},
         {View::RegisterWindow, Setting::CurrentRange},
         4,
         4,
         -1},
        // "Always on Ext Range" leaves the other windows' ranges alone.
        {{View::PmuControl, Setting::CurrentRange},
         {View::RegisterWindow, Setting::CurrentRange},
         6,
         3,
         -1},
    };
    for (const auto& [fromId, toId, entry, toEntry, word] : rows) {
      Program p;
      ui::Selector* from = p.selector(fromId.first, fromId.second);
      ui::Selector* to = p.selector(toId.first, toId.second);
      QVERIFY(from != nullptr && to != nullptr);
      const int fromRuns = from->handlerRuns();
      const int toRuns = to->handlerRuns();
      // The user brings the list's page to the front first.
      auto* pages = find<QTabWidget>(p.reg, "tabMain");
      for (int page = 0; page < pages->count(); ++page) {
        if (pages->widget(page)->isAncestorOf(from->list())) {
          pages->setCurrentIndex(page);
        }
      }
      const std::size_t mark = p.f.mark();
      QVERIFY(chooseItem(from->list(), entry));
      QCOMPARE(to->index(), toEntry);
      QCOMPARE(from->handlerRuns(), fromRuns + 1);
      QCOMPARE(to->handlerRuns(), toRuns);
      QVERIFY(word < 0 || p.f.sentWords(mark) == std::vector<std::int32_t>{word});
      QCOMPARE(p.f.messages().count(), 0);
    }
  }

  // Every bound list of the table is in its window, with the table's object name and items.
  void settingListTableMatchesTheWindows() {
    Program p;
    int walked = 0;
    for (const ui::SettingListDef& def : ui::settingLists()) {
      ++walked;
      ui::Selector* selector = p.selector(def.view, def.setting);
      QVERIFY2(selector != nullptr && selector->list() != nullptr, qPrintable(def.objectName));
      QComboBox* list = selector->list();
      QStringList items;
      for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
      }
      QCOMPARE(items, def.items);
    }
    QCOMPARE(walked, 16);  // seven of the register window, seven of PMU control, two of sweeps
  }

  // The sweep window, opened after the other windows' choices, starts from the bench's
  // settings and sends nothing: a register-window choice it has no item for
  // (the die temperature, an INT RANGE code) stays as it is, and no word goes out.
  void sweepWindowOpenedLaterKeepsTheOtherWindowsChoices() {
    Program p;
    QVERIFY(selectTab(p.reg, "tabMain", 1));
    QVERIFY(
        chooseItem(p.selector(View::RegisterWindow, Setting::CurrentRange)->list(), 1));  // ±20uA
    QVERIFY(chooseItem(p.selector(View::RegisterWindow, Setting::Measure)->list(), 0));   // current
    QVERIFY(chooseItem(p.selector(View::RegisterWindow, Setting::CurrentRange)->list(),
                       5));  // DISABLE INT
    QVERIFY(chooseItem(p.selector(View::RegisterWindow, Setting::Measure)->list(), 2));  // die temp
    const std::size_t mark = p.f.mark();
    p.session().hub().show(WindowId::Sweep);
    QCOMPARE(
        (QStringList{p.selector(View::RegisterWindow, Setting::CurrentRange)->list()->currentText(),
                     p.selector(View::RegisterWindow, Setting::Measure)->list()->currentText(),
                     p.selector(View::SweepWindow, Setting::CurrentRange)->list()->currentText(),
                     p.selector(View::SweepWindow, Setting::Measure)->list()->currentText()}),
        (QStringList{"DISABLE INT RANGE", "Measure Die Temp Sensor", "20uA", "Measure Current"}));
    QCOMPARE(p.f.sentWords(mark).size(), std::size_t{0});
  }

  void measoutWarningCancelRestoresSerialWord() {
    Program p;
    const std::size_t mark = p.f.mark();
    QVERIFY(chooseItem(p.pmu, "cboMeasout", 1));
    QCOMPARE(p.f.sentWords(mark), std::vector<std::int32_t>{0x003FE420});
    QWidget* box = p.session().measoutWarningBox.data();
    QVERIFY(box != nullptr && box->isVisible());
    QVERIFY(clickButton(box, "cmdSysInfo"));
    QCOMPARE(p.session().words().sysWord, 0x003FE4A0);
    QCOMPARE(textOf(p.reg, "txtWRITESPI"), QStringLiteral("003FE4A0"));
    QCOMPARE(p.f.sentWords(mark).size(), std::size_t{1});
    // Both windows still show gain 1.
    QCOMPARE((QStringList{textOf(p.reg, "MEASOUTG"), textOf(p.pmu, "cboMeasout")}),
             QStringList(2, "MEASOUT GAIN = 1"));
  }

  void clampAndComparatorButtonsOpenDacPage() {
    Program p;
    auto* pages = find<QTabWidget>(p.reg, "tabMain");
    QVERIFY(clickButton(p.pmu, "cmdClamp"));
    auto* dacTabs = find<QTabWidget>(p.reg, "tabDACS");
    QVERIFY(dacTabs != nullptr && dacTabs->isVisible());
    QCOMPARE((std::pair{pages->currentIndex(), dacTabs->currentIndex()}), (std::pair{2, 1}));
    QVERIFY(clickButton(p.pmu, "cmdComp"));
    QCOMPARE((std::pair{pages->currentIndex(), dacTabs->currentIndex()}), (std::pair{2, 2}));
  }

  void forcedLevelReachesTheAdc() {
    Program p;
    QVERIFY(typeAndEnter(p.pmu, "txtForce", "2"));
    // (2 V + 11.249924 V) * 65536 / 22.5 V = 38592.99 -> 0x96C1 on the voltage range (13).
    QCOMPARE(p.f.lastWord(), 0x0FCD96C1);
    for (int ch = 0; ch < 4; ++ch) {
      QVERIFY(std::fabs(p.session().simulated()->chip().channel(ch).volts - 2.0) < 1e-3);
    }
    // Measure voltage at MEASOUT gain 0.2 with the offset: 0.2 * (2 V + 11.249924 V) on a 5 V,
    // 16-bit ADC is 34733.6.
    QVERIFY(clickButton(p.reg, "cmdREADADC"));
    QCOMPARE(textOf(p.reg, "lblREADSPI"), QStringLiteral("0087AE"));
  }
};

QTEST_MAIN(TestPmuControlProgram)
#include "test_pmu_control_program.moc"
