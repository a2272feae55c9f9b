// A whole session through Bench alone on the simulated board, with a fake clock: the words on
// the board's trace are compared with words worked out by hand from the register map.
#include "bench/bench.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>

#include "bench/setup_file.h"
#include "board/simulated_board.h"
#include "measure/test_doubles.h"

namespace kv4410::bench {
namespace {

using Lines = std::vector<std::string>;

using measure::testing::FakeClock;
using measure::testing::SilentReporter;

// A trace line as "W 0F21B300", "R", "229=1", "232"; other operations by their first word.
std::string entryOf(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::string first, value, index, direction;
  int request = 0;
  if (!(in >> first >> request >> value >> index >> direction) || first != "request") {
    return first;
  }
  value.erase(0, 6);  // "value="
  index.erase(0, 6);  // "index="
  if (request == 221) {
    return direction == "in" ? "R" : "W " + index + value;
  }
  const unsigned long v = std::stoul(value, nullptr, 16);
  return std::to_string(request) + (v != 0 ? "=" + std::to_string(v) : "");
}

// A bench that owns a simulated board whose trace is kept; started up unless asked not to.
struct Rig {
  FakeClock clock{100.0};
  SilentReporter reporter;
  Lines trace;
  Bench bench;
  std::size_t mark = 0;

  explicit Rig(bool start = true) : bench(simulated(), reporter, clock) {
    if (start) {
      bench.startUp("/opt/kv4410/KV4410SPI.hex");
      mark = trace.size();
    }
  }
  board::OpenedBoard simulated() {
    std::string error;
    board::BoardOptions options;
    options.simulate = true;
    return board::openBoard(options, error,
                            [this](std::string_view line) { trace.push_back(entryOf(line)); });
  }
  // The traffic since the last call (or since the start-up).
  Lines sent() {
    Lines recent(trace.begin() + static_cast<std::ptrdiff_t>(mark), trace.end());
    mark = trace.size();
    return recent;
  }
};

TEST(Bench, StartUpSendsTheProgramsStartUpWords) {
  Rig rig(false);
  Lines requests;
  int selfRemoving = 0;
  rig.bench.observeTraffic([&](const board::BoardLink::RequestRecord& r) {
    requests.push_back(std::to_string(r.request));
  });
  SubscriptionId once = 0;
  once = rig.bench.observeTraffic([&](const board::BoardLink::RequestRecord&) {
    ++selfRemoving;
    rig.bench.stopObservingTraffic(once);
  });
  EXPECT_EQ(rig.bench.startUp("/opt/kv4410/KV4410SPI.hex"), std::nullopt);
  const Lines expected = {"search",     "connect",    "firmware",   "224",        "W 003FE4A0",
                          "W 003FE4A0", "W 00CD8000", "W 003FE4A0", "W 003FE4A0", "W 003FE4A0",
                          "W 003FE4A0", "W 0F21B300", "229=1",      "228=1"};
  EXPECT_EQ(rig.sent(), expected);
  EXPECT_EQ(requests,
            (Lines{"224", "221", "221", "221", "221", "221", "221", "221", "221", "229", "228"}));
  EXPECT_EQ(selfRemoving, 1);

  const StoredWords& w = rig.bench.words();
  EXPECT_EQ(w.sysWord, 0x003FE4A0);
  EXPECT_EQ(w.pmuWord, 0x0F21B300);
  EXPECT_EQ(w.chanBits, 0x0F000000);
  EXPECT_EQ(w.dacWord, 0x00CD8000);
  EXPECT_EQ(rig.bench.conversion().vref, 5.0F);
  EXPECT_EQ(rig.bench.conversion().rangeIndex, 3);
  // The sweep's word: range 3 (bits 15..17) and measure voltage (bit 13), on all channels.
  EXPECT_EQ(rig.bench.sweepState().sweepPmuWord, 0x0001A000);
  EXPECT_EQ(rig.bench.sweepState().sweepChanBits, 0x0F000000);
  EXPECT_EQ(rig.bench.sweepState().measureMode, measure::MeasureMode::Voltage);

  EXPECT_TRUE(rig.bench.startUp("/opt/kv4410/KV4410SPI.hex").has_value());
  EXPECT_EQ(rig.sent(), Lines{});
}

TEST(Bench, ConnectSendsOnlyTheConnectionAndComposesWhatTheStartUpLeaves) {
  Rig rig(false);
  EXPECT_EQ(rig.bench.connect("/opt/kv4410/KV4410SPI.hex"), std::nullopt);
  EXPECT_EQ(rig.sent(), (Lines{"search", "connect", "firmware", "224"}));
  const StoredWords& w = rig.bench.words();
  EXPECT_EQ(w.sysWord, 0x003FE4A0);
  EXPECT_EQ(w.pmuWord, 0x0F21B300);
  EXPECT_EQ(w.chanBits, 0x0F000000);
  EXPECT_EQ(w.dacWord, 0x00CD8000);
  EXPECT_EQ(rig.bench.sweepState().sweepPmuWord, 0x0001A000);
  EXPECT_EQ(rig.bench.conversion().rangeIndex, 3);
  EXPECT_TRUE(rig.bench.startUp("/opt/kv4410/KV4410SPI.hex").has_value());
  EXPECT_TRUE(rig.bench.connect("/opt/kv4410/KV4410SPI.hex").has_value());

  // 20 uA and measure current are composed, not sent; the run's PMU word carries them:
  // 0x0F21B300 masked by 0x0F381FC0 on PMU0 is 0x01201300, range 1 (bit 15) adds 0x8000.
  EXPECT_EQ(rig.bench.chooseForRun(CurrentRange::Range20uA, MeasureSelect::Current), std::nullopt);
  EXPECT_EQ(w.pmuWord, 0x0F209300);  // range bits 17..15 001, measure bits 14..13 00
  rig.bench.setSweepChannels(0x1);
  EXPECT_EQ(rig.sent(), Lines{});
  ASSERT_EQ(rig.bench.startSweep({0.0, 0.0, 100.0}), std::nullopt);
  rig.bench.advanceRun();
  const Lines sent = rig.sent();
  EXPECT_EQ(Lines(sent.begin(), sent.begin() + 6),
            (Lines{"W 003FE4A0", "W 1FC00000", "R", "W 10000000", "R", "W 01209300"}));
  rig.bench.runToEnd();
  rig.sent();
  // Each /LOAD request goes out as asked, whatever the line was believed to be.
  rig.bench.driveLoad(false);
  rig.bench.driveLoad(false);
  rig.bench.sendLoadPulse();
  EXPECT_EQ(rig.sent(), (Lines{"227", "227", "222"}));
}

TEST(Bench, EachSettingSendsTheWordOfTheWindowsOnceAndNotAgain) {
  struct Case {
    const char* name;
    std::function<Refusal(Bench&)> change;
    Lines words;
  };
  const Case cases[] = {
      // Range bits 17..15: 011 -> 001.
      {"20uA", [](Bench& b) { return b.setCurrentRange(CurrentRange::Range20uA); }, {"W 0F20B300"}},
      // Measure bits 14..13: 01 -> 00.
      {"measure current",
       [](Bench& b) { return b.setMeasure(MeasureSelect::Current); },
       {"W 0F219300"}},
      {"compare voltage",
       [](Bench& b) { return b.setCompare(CompareMode::Voltage); },
       {"W 0F21B380"}},
      {"latched", [](Bench& b) { return b.setAlarmLatch(AlarmLatch::Latched); }, {"W 003FE4A4"}},
      // Bits 5, 4 and 3.
      {"100 degC", [](Bench& b) { return b.setThermal(ThermalShutdown::At100C); }, {"W 003FE4B8"}},
      {"I gain 5", [](Bench& b) { return b.setCurrentGain(CurrentGain::Five); }, {"W 003FE4E0"}},
      {"MEASOUT gain 1",
       [](Bench& b) { return b.setMeasoutGain(MeasoutGain::One); },
       {"W 003FE420"}},
      {"sweep channels", [](Bench& b) { return b.setSweepChannels(0x5); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    EXPECT_EQ(c.change(rig.bench), std::nullopt);
    EXPECT_EQ(rig.sent(), c.words);
    EXPECT_EQ(c.change(rig.bench), std::nullopt);
    EXPECT_EQ(rig.sent(), Lines{});
  }
  Rig rig;
  rig.bench.setCurrentRange(CurrentRange::Range20uA);
  // Force bits 20..19 = 01: a field no shared setting owns goes out as it is chosen.
  EXPECT_EQ(rig.bench.setPmuField(PmuField::Force, 1), std::nullopt);
  EXPECT_EQ(rig.sent(), (Lines{"W 0F20B300", "W 0F28B300"}));
  EXPECT_EQ(rig.bench.conversion().rangeIndex, 1);
  EXPECT_EQ(rig.bench.sweepState().sweepPmuWord, 0x0000A000);
  // The sweep's channels replace the PMU word's.
  rig.bench.setSweepChannels(0x5);
  EXPECT_EQ(rig.bench.words().pmuWord, 0x0528B300);
  // Fields of a shared setting are chosen through it.
  EXPECT_TRUE(rig.bench.setPmuField(PmuField::Range, 2).has_value());
  EXPECT_TRUE(rig.bench.setSystemField(SysField::Latch, 1).has_value());
  EXPECT_TRUE(rig.bench.setCurrentRange(static_cast<CurrentRange>(5)).has_value());
  EXPECT_EQ(rig.sent(), Lines{});
  // A /LOAD pulse leaves the line high; the line is driven only when it changes.
  rig.bench.pulseLoad();
  rig.bench.pulseLoad();
  rig.bench.setLoadHigh(false);
  EXPECT_EQ(rig.sent(), (Lines{"222", "226", "222", "227"}));
}

TEST(Bench, SubscribersHearEachChangeOnce) {
  Rig rig;
  std::vector<CompareMode> first, second;
  const SubscriptionId a =
      rig.bench.compare().subscribe([&](CompareMode m) { first.push_back(m); });
  rig.bench.compare().subscribe([&](CompareMode m) { second.push_back(m); });
  rig.bench.setCompare(CompareMode::Voltage);
  rig.bench.setCompare(CompareMode::Voltage);
  EXPECT_TRUE(rig.bench.compare().unsubscribe(a));
  EXPECT_FALSE(rig.bench.compare().unsubscribe(a));
  rig.bench.setCompare(CompareMode::Current);
  EXPECT_EQ(first, std::vector<CompareMode>{CompareMode::Voltage});
  EXPECT_EQ(second, (std::vector<CompareMode>{CompareMode::Voltage, CompareMode::Current}));
  EXPECT_EQ(rig.sent(), (Lines{"W 0F21B380", "W 0F21B300"}));
}

TEST(Bench, EachWindowListsTheMeasureChoicesInItsOwnOrder) {
  Rig rig;
  Bench& b = rig.bench;
  EXPECT_EQ(b.indexIn(View::SweepWindow, Setting::Measure), 0);  // "Measure Voltage" first
  EXPECT_EQ(b.indexIn(View::RegisterWindow, Setting::Measure), 1);
  // The temperature sensor is not in the sweep's list: it keeps measuring voltage.
  b.chooseIn(View::PmuControl, Setting::Measure, 2);
  EXPECT_EQ(b.indexIn(View::SweepWindow, Setting::Measure), std::nullopt);
  EXPECT_EQ(b.sweepState().measureMode, measure::MeasureMode::Voltage);
  EXPECT_EQ(rig.sent(), Lines{"W 0F21D300"});
  EXPECT_EQ(b.chooseIn(View::SweepWindow, Setting::Measure, 1), std::nullopt);
  EXPECT_EQ(b.measure().value(), MeasureSelect::Current);
  EXPECT_EQ(b.indexIn(View::PmuControl, Setting::Measure), 0);
  EXPECT_EQ(b.indexIn(View::SweepWindow, Setting::Measure), 1);
  EXPECT_EQ(rig.sent(), Lines{"W 0F219300"});
  // "ENABLE INT RANGE" and lists a window lacks choose no setting.
  EXPECT_TRUE(b.chooseIn(View::RegisterWindow, Setting::CurrentRange, 6).has_value());
  EXPECT_TRUE(b.chooseIn(View::SweepWindow, Setting::Compare, 0).has_value());
  EXPECT_EQ(b.indexIn(View::SweepWindow, Setting::Thermal), std::nullopt);
  EXPECT_EQ(rig.sent(), Lines{});
}

TEST(Bench, SweepHoldsTheBoardUntilItEnds) {
  Rig rig;
  std::vector<std::optional<std::string>> holders;
  rig.bench.holder().subscribe([&](const auto& h) { holders.push_back(h); });
  rig.bench.setChannels(0x1);  // PLOT gives the PMU word the sweep's channels again
  // Voff = 3.5 * 5 * 0xA492 / 65536 = 11.2499237060546875 V; codes [(V + Voff) * 65536 / 22.5]:
  // 0 V -> 32768, 1 V -> 35680; step [65536 * 0.5 / 22.5] = 1456; n = 2.
  ASSERT_EQ(rig.bench.startSweep({0.0, 1.0, 500.0}), std::nullopt);
  ASSERT_TRUE(rig.bench.advanceRun().has_value());
  // Without a sample delay the first reading follows at once.
  EXPECT_EQ(rig.sent(), (Lines{"W 003FE4A0", "W 1FC00000", "R", "W 10000000", "R", "W 0F21B300",
                               "W 0FCD8000", "232", "233"}));
  EXPECT_EQ(rig.bench.startTimeRun(1.0), std::string(kSweepRunning));
  EXPECT_EQ(rig.bench.startChannelTest(), std::string(kSweepRunning));
  EXPECT_EQ(rig.sent(), Lines{});
  rig.bench.runToEnd();
  EXPECT_EQ(rig.sent(), (Lines{"W 0FCD85B0", "232", "233", "W 0FCD8B60", "232", "233"}));
  EXPECT_EQ(holders, (std::vector<std::optional<std::string>>{kSweepRunning, std::nullopt}));

  const measure::SweepRun& run = *rig.bench.sweepRun();
  EXPECT_EQ(run.state(), measure::Run::State::Finished);
  ASSERT_EQ(run.points().size(), 3U);
  // Measured through MEASOUT gain 0.2: a = [0.2 (V + Voff) * 65536 / 5] = 29491, 30802, 32112.
  EXPECT_EQ(run.lines()[1],
            "0\t265125888\t32768\t7.62939453125e-05\t29491\t2.24998474121094\t0\t0");
  EXPECT_EQ(run.points()[1].dacCode, 34224.0);
  EXPECT_DOUBLE_EQ(run.points()[1].forcedVolts, 0.4999542236328125);
  EXPECT_DOUBLE_EQ(run.points()[1].voltage, 0.5001068115234375);  // 5 * 30802 * LSB - Voff
  EXPECT_DOUBLE_EQ(run.points()[2].voltage, 0.9998321533203125);
  EXPECT_EQ(rig.bench.words().pmuWord, 0x0F21B300);
  EXPECT_EQ(rig.bench.busy(), std::nullopt);

  // STOP ends a run at its next row, with what it measured kept.
  EXPECT_TRUE(rig.bench.startTimeRun(1.0, 7.5F).has_value());  // no such VREF
  ASSERT_EQ(rig.bench.startTimeRun(1.0), std::nullopt);
  rig.bench.advanceRun();
  EXPECT_TRUE(rig.bench.stopRun());
  rig.bench.runToEnd();
  EXPECT_EQ(rig.bench.timeRun()->state(), measure::Run::State::Stopped);
  EXPECT_EQ(rig.bench.timeRun()->samples().size(), 1U);
  EXPECT_FALSE(rig.bench.stopRun());
}

TEST(Bench, NothingReachesTheBoardWhileTheChannelTestRuns) {
  Rig rig;
  ASSERT_EQ(rig.bench.startChannelTest(), std::nullopt);
  EXPECT_EQ(rig.bench.busy(), std::string(kChannelTestRunning));
  ASSERT_TRUE(rig.bench.advanceRun().has_value());
  // The test window's load, then the test's first words.
  EXPECT_EQ(rig.sent(), (Lines{"W 003FE4A0", "W 003FE4A0", "W 0F21F300", "229=1", "228=1",
                               "W 003FE4A0", "W 0F21F300", "W 0121B300", "W 0FCDFFFF"}));
  const std::string running = kChannelTestRunning;
  EXPECT_EQ(rig.bench.setCurrentRange(CurrentRange::Range20uA), running);
  EXPECT_EQ(rig.bench.resetChip(), running);
  EXPECT_EQ(rig.bench.sendWord(0x0F21B300), running);
  EXPECT_EQ(rig.bench.startSweep({0.0, 1.0, 100.0}), running);
  EXPECT_EQ(rig.bench.readAdc(), std::nullopt);
  EXPECT_EQ(rig.bench.currentRange().value(), CurrentRange::Range2mA);
  EXPECT_EQ(rig.sent(), Lines{});

  rig.bench.runToEnd();
  EXPECT_EQ(rig.bench.channelTest().verdict(), measure::ChannelTestVerdict::Pass);
  EXPECT_EQ(rig.bench.busy(), std::nullopt);
  // The test's last PMU word (PMU3, measure current) stays composed, with all channels now.
  rig.sent();
  EXPECT_EQ(rig.bench.setCurrentRange(CurrentRange::Range20uA), std::nullopt);
  EXPECT_EQ(rig.sent(), Lines{"W 0F209300"});
}

TEST(Bench, RestorePlanRebuildsTheChipFromItsResetState) {
  Rig rig;
  Bench& b = rig.bench;
  b.setChannels(0x5);
  b.setCompare(CompareMode::Voltage);                     // PMU0 and PMU2
  b.setPmuField(PmuField::Clear, 1);                      // acts once, is not kept
  b.writeDac(DacGroup::Fin, 5, DacRegister::X1, 0x9000);  // address 13
  b.writeDac(DacGroup::Cll, 4, DacRegister::M, 0x7FFF);   // address 20
  b.setCComp(2);
  EXPECT_EQ(rig.sent(), (Lines{"W 0521B380", "W 0521B3C0", "W 05CD9000", "W 05547FFF", "228=2"}));
  const BenchSnapshot snapshot = b.snapshot();
  EXPECT_EQ(snapshot.words.dacWord, 0x05547FFF);
  EXPECT_EQ(snapshot.settings.compare, CompareMode::Voltage);
  Lines plan;
  for (const BoardStep& step : Bench::restorePlan(snapshot)) {
    plan.push_back(stepText(step));
  }
  // Channels with the same value share a word; the CLL's x1 follows its M at reset code 0.
  EXPECT_EQ(plan, (Lines{"219", "W 003FE4A0", "W 0521B380", "W 0A21B300", "W 05CD9000",
                         "W 05547FFF", "W 05D40000", "229=1", "228=2"}));
  b.resetChip();
  EXPECT_EQ(Bench::restorePlan(b.snapshot()),
            (std::vector<BoardStep>{{BoardStep::Kind::ResetChip, 0},
                                    {BoardStep::Kind::CFeedforward, 1},
                                    {BoardStep::Kind::CComp, 2}}));
}

Lines planText(const std::vector<BoardStep>& plan) {
  Lines lines;
  for (const BoardStep& step : plan) {
    lines.push_back(stepText(step));
  }
  return lines;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  return at == std::string::npos ? "" : text.replace(at, from.size(), to);
}

// A morning's selections saved, then opened on a fresh bench on a fresh board.
struct SavedSetup : ::testing::Test {
  Rig day;
  std::string json;
  SavedSetup() {
    Bench& b = day.bench;
    b.setCurrentRange(CurrentRange::Range20uA);
    b.setMeasure(MeasureSelect::Current);
    b.setCurrentGain(CurrentGain::Five);
    b.setSweepChannels(0x5);
    b.setCycleDelay(2);
    b.setSampleDelay(3);
    b.writeDac(DacGroup::Fin, 5, DacRegister::X1, 0x9000);
    EXPECT_EQ(day.sent(), (Lines{"W 0F20B300", "W 0F209300", "W 003FE4E0", "W 0FCD9000"}));
    json = setupJson({"1.0", "2026-12-07 10:15:02", "simulated", b.snapshot(), {}, 0.0});
  }
};

const Lines kSavedPlan = {"219", "W 003FE4E0", "W 0F209300", "W 0FCD9000", "229=1", "228=1"};

TEST_F(SavedSetup, OpensOnAFreshBenchWithTheDocumentedWordsAndTheSameState) {
  Rig next;
  Bench& b = next.bench;
  const SetupResult read = readSetup(json);
  ASSERT_TRUE(read.setup) << read.refusal;
  EXPECT_EQ(planText(b.setupPlan(*read.setup)), kSavedPlan);
  int heard = 0;
  b.sweepChannels().subscribe([&heard](std::uint8_t) { ++heard; });
  EXPECT_EQ(b.applySetup(*read.setup), std::nullopt);
  EXPECT_EQ(next.sent(), kSavedPlan);
  EXPECT_EQ(heard, 1);

  const BenchSnapshot was = day.bench.snapshot();
  const BenchSnapshot now = b.snapshot();
  EXPECT_EQ(now.words.sysWord, 0x003FE4E0);
  EXPECT_EQ(now.words.pmuWord, 0x05209300);  // the sweep's channels replace the word's
  EXPECT_EQ(now.words.chanBits, was.words.chanBits);
  EXPECT_EQ(now.words.dacWord, 0x0FCD9000);
  EXPECT_EQ(now.words.dacRequestWord, was.words.dacRequestWord);
  EXPECT_EQ(now.conversion.rangeIndex, 1);
  EXPECT_EQ(now.conversion.vref, was.conversion.vref);
  EXPECT_EQ(now.settings.currentRange, CurrentRange::Range20uA);
  EXPECT_EQ(now.settings.measure, MeasureSelect::Current);
  EXPECT_EQ(now.settings.currentGain, CurrentGain::Five);
  EXPECT_EQ(now.settings.sweepChannels, 0x5);
  EXPECT_EQ(now.settings.cycleDelay, 2);
  EXPECT_EQ(now.settings.sampleDelay, 3);
  EXPECT_EQ(now.sweep.sweepChanBits, 0x05000000);
  EXPECT_EQ(now.sweep.sweepPmuWord, was.sweep.sweepPmuWord);
  EXPECT_EQ(now.sweep.measureMode, measure::MeasureMode::Current);
  // 200 ms cycle, sample delay 3 tenths of it.
  EXPECT_FLOAT_EQ(now.sweep.delays.cycle, 0.2F);
  EXPECT_FLOAT_EQ(now.sweep.delays.settle, 0.06F);
  EXPECT_FLOAT_EQ(now.sweep.delays.remainder, 0.14F);
  EXPECT_EQ(now.chip.systemWord, was.chip.systemWord);
  EXPECT_EQ(now.chip.pmu, was.chip.pmu);
  EXPECT_EQ(now.chip.dac, was.chip.dac);
  EXPECT_EQ(now.chip.dac[2][13][0], 0x9000);
  EXPECT_EQ(now.chip.cff, 1);
  EXPECT_EQ(now.chip.ccomp, 1);
  EXPECT_EQ(setupJson({"1.0", "2026-12-07 10:15:02", "simulated", now, {}, 0.0}), json);
}

TEST_F(SavedSetup, ARunFilesSetupLineOpensTheSame) {
  const std::string csv = "# KV4410 Voltage sweep\n" + std::string(kSetupLinePrefix) +
                          setupJson(readSetup(json).setup.value(), JsonLayout::OneLine) +
                          "\n# Date: 2026-12-07\nDAC,V\n0,1\n";
  const SetupResult read = readSetup(csv);
  ASSERT_TRUE(read.setup) << read.refusal;
  EXPECT_EQ(planText(day.bench.setupPlan(*read.setup)), kSavedPlan);
}

TEST_F(SavedSetup, ABadFileIsRefusedByItsFirstBadEntryAndSendsNothing) {
  const std::string badWord = replaced(json, "\"0x05209300\"", "\"0x3FFFFFFF\"");
  const std::pair<std::string, std::string> cases[] = {
      {"{\"format\": 1,", "not a setup file: not JSON"},
      {"[1, 2]", "not a setup file"},
      {"# KV4410 Voltage sweep\nDAC,V\n", "not a setup file: no \"# setup:\" line"},
      {replaced(json, "\"format\": 1", "\"format\": 3"),
       "setup format 3 is newer than this program reads (1)"},
      {replaced(badWord, "\"currentRange\": 1", "\"currentRange\": 9"),
       "words.pmuWord: 0x3FFFFFFF is outside 0..0x1FFFFFFF"},
      {replaced(json, "\"currentRange\": 1", "\"currentRange\": 9"),
       "settings.currentRange: 9 is not one of 0..4"},
      {replaced(json, "\"measure\": 0", "\"measure\": \"0\""),
       "settings.measure: a whole number expected"},
      {replaced(json, "\"miGain\": 10.0,", ""), "conversion.miGain: missing"},
      {replaced(json, "\"vref\": 5.0", "\"vref\": 7.5"), "conversion.vref: 7.5 is outside 0..5"},
      {replaced(json, "\"cycle\": 0.2", "\"cycle\": -0.2"), "sweep.cycle: -0.2 is outside 0..0.5"},
      {replaced(json, "\"address\": 13", "\"address\": 14"),
       "chip.dac[0].address: 14 is no channel's DAC address"},
  };
  for (const auto& [text, message] : cases) {
    const SetupResult read = readSetup(text);
    EXPECT_FALSE(read.setup) << message;
    EXPECT_EQ(read.refusal, message);
  }
  Rig next;
  bench::Setup bad = readSetup(json).setup.value();
  bad.bench.settings.thermal = static_cast<ThermalShutdown>(6);
  EXPECT_EQ(next.bench.applySetup(bad), "settings: there is no thermal shutdown 6");
  EXPECT_EQ(next.sent(), Lines{});
}

}  // namespace
}  // namespace kv4410::bench
