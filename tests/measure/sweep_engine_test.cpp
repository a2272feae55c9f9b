#include "measure/sweep_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "board/board_link.h"
#include "board/recording_board.h"
#include "measure/clock.h"
#include "measure/run_csv.h"
#include "measure/test_doubles.h"

namespace kv4410::measure {
namespace {

using measure::testing::FakeClock;
using measure::testing::SilentReporter;

// Answers the offset and system readbacks after their requests and the ADC reads from a list of
// codes (used in turn); request 232 of the `failAdc`-th reading or the offset readback can fail.
// Every written word and every request are kept with the clock's time. Of the requests after the
// start-up, counted from 1, the `failFrom`-th on and those in `failAt` fail with `failStatus`.
class SweepBoard final : public board::testing::RecordingBoard {
 public:
  std::uint32_t offsetReply = 0xC00000;
  std::uint32_t systemReply = 0;
  std::vector<std::uint16_t> adcCodes = {1000};
  int failAdc = 0;
  bool failOffset = false;
  int counted = 0;
  int failFrom = 0;
  std::vector<int> failAt;
  board::Status failStatus = 3005;
  FakeClock* clock = nullptr;
  std::vector<std::string> log;  // "W 0FCD8000", "R", "232", "233"
  std::vector<double> times;

  board::Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                               std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                               std::uint8_t* data) override {
    times.push_back(clock->t);
    board::Status status = board::status::kOk;
    if (request == 221 && direction != board::kDirIn) {
      last_ = (static_cast<std::uint32_t>(index) << 16) | value;
      char text[16];
      std::snprintf(text, sizeof text, "W %08X", last_);
      log.emplace_back(text);
    } else if (request == 221) {
      log.emplace_back("R");
      const std::uint32_t r = last_ == 0x1FC00000 ? offsetReply : systemReply;
      reply = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(r >> 8),
               static_cast<std::uint8_t>(r >> 16)};
      if (last_ == 0x1FC00000 && failOffset) {
        status = 3005;
      }
    } else {
      log.push_back(std::to_string(request));
      if (request == 232 && ++starts_ == failAdc) {
        status = 3005;
      }
      if (request == 233) {
        const std::uint16_t code = adcCodes[reads_++ % adcCodes.size()];
        reply = {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8), 0};
      }
    }
    ++counted;
    if ((failFrom > 0 && counted >= failFrom) ||
        std::find(failAt.begin(), failAt.end(), counted) != failAt.end()) {
      status = failStatus;
    }
    statuses.push_back(status);
    return RecordingBoard::Vendor_Request(handle, request, value, index, direction, length, data);
  }

 private:
  std::uint32_t last_ = 0;
  std::size_t reads_ = 0;
  int starts_ = 0;
};

struct Rig {
  FakeClock clock{50.0};
  SweepBoard board;
  SilentReporter reporter;
  board::BoardLink link{board, reporter};
  board::LinkWordSender sender{link};
  StoredWords words;
  ConversionValues conversion;
  SweepState sweep;
  std::size_t mark = 0;

  Rig() {
    board.clock = &clock;
    link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
    words.sysWord = 0x003FE420;  // G1 clear: the run sets it
    words.pmuWord = 0x0F21B300;
    sweep.sweepChanBits = 0x01000000;
    sweep.delays.chooseCycle(0);
    mark = board.log.size();
    board.counted = 0;
  }
  RunContext context() { return {link, sender, words, conversion, sweep, clock}; }
  // Advances the run to its end the way a driver does; returns the number of advances.
  int drive(Run& run) {
    int advances = 0;
    while (const auto wait = run.advance()) {
      ++advances;
      clock.waitUntil(clock.t + *wait);
    }
    return advances;
  }
  std::vector<std::string> log() const {
    return {board.log.begin() + static_cast<std::ptrdiff_t>(mark), board.log.end()};
  }
  // The FIN writes of the run (address 13 of the FIN DAC), as hexadecimal words.
  std::vector<std::string> finWords() const {
    std::vector<std::string> fin;
    for (const std::string& entry : log()) {
      if (entry.size() == 10 && entry.compare(4, 2, "CD") == 0) {
        fin.push_back(entry.substr(2));
      }
    }
    return fin;
  }
};

TEST(SweepRun, CodesStepsAndTheFinalPointOnTheEndCode) {
  struct Case {
    const char* name;
    double start, end, stepMv;
    std::vector<std::string> fin;  // every FIN word, in order
    std::int32_t sc, ec, st, n;
    std::int32_t lastWriteField;
  };
  const std::vector<Case> cases = {
      // 0 to 1 V by 100 mV: 11 passes 0 .. 2910, no final point (n = 10 was rounded down).
      {"eleven passes",
       0.0,
       1.0,
       100.0,
       {"01CD0000", "01CD0123", "01CD0246", "01CD0369", "01CD048C", "01CD05AF", "01CD06D2",
        "01CD07F5", "01CD0918", "01CD0A3B", "01CD0B5E"},
       0,
       2913,
       291,
       10,
       0x01CD0B61},
      // ec = 100, st = 35: passes at 0, 35, 70, and element 3 lands on 100.
      {"final point",
       0.0,
       100 * 22.5 / 65536,
       35 * 22.5 / 65536 * 1000,
       {"01CD0000", "01CD0023", "01CD0046", "01CD0064"},
       0,
       100,
       35,
       3,
       0x01CD0064},
      {"equal ends", 0.5, 0.5, 100.0, {"01CD05B0"}, 1456, 1456, 291, 0, 0x01CD05B0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    SweepRun run(rig.context(), {5.0F, 3}, {c.start, c.end, c.stepMv});
    rig.drive(run);
    EXPECT_EQ(run.state(), Run::State::Finished);
    EXPECT_EQ(rig.finWords(), c.fin);
    EXPECT_EQ(run.startCode(), c.sc);
    EXPECT_EQ(run.endCode(), c.ec);
    EXPECT_EQ(run.stepCode(), c.st);
    EXPECT_EQ(run.lastIndex(), c.n);
    EXPECT_EQ(run.points().size(), c.fin.size());
    EXPECT_EQ(run.lines().size(), c.fin.size() + 1);
    EXPECT_EQ(run.writeWord(), c.lastWriteField);
    EXPECT_EQ(run.stepsDone(), run.stepsPlanned());
  }
}

TEST(SweepRun, PreparationWordsRowsAndConversions) {
  Rig rig;
  rig.board.offsetReply = 0xC0A492;  // offset code 0xA492: Voff = 11.2499237060546875 V
  rig.board.systemReply = 0x40;      // G0 set: MI gain 5
  rig.board.adcCodes = {29491, 39321};
  rig.words.pmuWord = 0x0F3FFFFF;
  rig.sweep.sweepChanBits = 0x02000000;
  rig.sweep.measureMode = MeasureMode::Current;
  SweepRun run(rig.context(), {5.0F, 3}, {0.0, 0.0, 1000.0});
  rig.drive(run);
  const std::vector<std::string> expected = {"W 003FE4A0", "W 1FC00000", "R",   "W 10000000", "R",
                                             "W 0F399F80", "W 02CD8000", "232", "233"};
  EXPECT_EQ(rig.log(), expected);
  EXPECT_EQ(rig.words.sysWord, 0x003FE4A0);
  EXPECT_EQ(rig.sweep.sweepPmuWord, 0x0F399F80);
  EXPECT_EQ(run.offsetCode(), 0xA492);
  EXPECT_EQ(rig.conversion.miGain, 5.0F);
  EXPECT_EQ(rig.conversion.rangeIndex, 3);
  // 5 * a * LSB equals Voff: no current.
  ASSERT_EQ(run.lines().size(), 2U);
  EXPECT_EQ(run.lines()[0],
            "temp\tSWEEPDAC\tDACCODE(TEMP)\tVoltage\tADC\tADC Measured Voltage\tMeasure "
            "Current\tsample time");
  EXPECT_EQ(run.lines()[1], "0\t47022080\t32768\t7.62939453125e-05\t29491\t2.24998474121094\t0\t0");
  EXPECT_EQ(run.lastAdcCode(), 29491);

  // Measure voltage, 2.5 V reference, 20 uA range, MI gain 10: 5 * a * LSB - Voff.
  Rig v;
  v.board.adcCodes = {39321};
  v.sweep.measureMode = MeasureMode::Voltage;
  SweepRun volts(v.context(), {2.5F, 1}, {1.0, 1.0, 100.0});
  v.drive(volts);
  EXPECT_EQ(v.log()[5], "W 0F20B300");
  EXPECT_EQ(v.conversion.vref, 2.5F);
  EXPECT_EQ(volts.lines()[0].substr(61), "Measured Voltage\tsample time");
  EXPECT_EQ(volts.lines()[1],
            "0\t30217921\t5825\t0.999927520751953\t39321\t1.49997711181641\t7.49988555908203\t0");
}

TEST(SweepRun, DelaysPaceTheRunAndTheSampleTime) {
  struct Case {
    int cycle, sample;
    float ts, tr, t;
  };
  // Sample delay first, then a new cycle delay: Ts stays, Tr becomes the whole cycle.
  RunDelays d;
  d.chooseSample(5, 3);
  d.chooseCycle(1);
  EXPECT_EQ(d.settle, 0.15F);
  EXPECT_EQ(d.remainder, 0.1F);
  EXPECT_EQ(d.cycle, 0.1F);
  d.chooseCycle(6);
  d.chooseSample(1, 10);
  EXPECT_EQ(d.cycle, 0.1F);  // outside the lists: nothing changes
  EXPECT_EQ(d.settle, 0.15F);
  for (const Case& c : {Case{0, 0, 0.0F, 0.0001F, 0.0001F}, Case{5, 3, 0.15F, 0.35F, 0.5F},
                        Case{2, 9, 0.18F, 0.02F, 0.2F}}) {
    SCOPED_TRACE(c.cycle * 10 + c.sample);
    Rig rig;
    rig.sweep.delays = {};
    rig.sweep.delays.chooseSample(c.cycle, c.sample);
    EXPECT_FLOAT_EQ(rig.sweep.delays.settle, c.ts);
    EXPECT_FLOAT_EQ(rig.sweep.delays.remainder, c.tr);
    EXPECT_FLOAT_EQ(rig.sweep.delays.cycle, c.t);
    SweepRun run(rig.context(), {5.0F, 3}, {0.0, 0.2, 100.0});  // three points
    rig.drive(run);
    ASSERT_EQ(run.lines().size(), 4U);
    const auto timeOf = [&](std::size_t row) {
      return std::stof(run.lines()[row].substr(run.lines()[row].rfind('\t') + 1));
    };
    EXPECT_FLOAT_EQ(timeOf(1), c.ts);
    EXPECT_FLOAT_EQ(timeOf(3), c.ts + 2 * c.t);
    // Force word -> (more than Ts) -> 232; 233 -> (more than Tr) -> next force word.
    const std::vector<std::string> log = rig.board.log;
    const std::vector<double>& times = rig.board.times;
    double lastRead = -1.0;
    for (std::size_t i = rig.mark; i < log.size(); ++i) {
      if (log[i] == "232") {
        EXPECT_GT(times[i] - times[i - 1], c.ts);
      } else if (log[i] == "233") {
        lastRead = times[i];
      } else if (lastRead >= 0.0 && log[i].rfind("W 01CD", 0) == 0) {
        EXPECT_GT(times[i] - lastRead, rig.sweep.delays.remainder);
        EXPECT_LT(times[i] - lastRead, rig.sweep.delays.remainder + 1e-6);
      }
    }
  }
}

TEST(SweepRun, RefusalsSendNothingBeyondThePreparation) {
  struct Case {
    const char* name;
    double start, end, stepMv;
    std::int32_t chanBits;
    bool failOffset;
    EntryField field;
    const char* inMessage;
    std::size_t wordsSent;
  };
  const std::vector<Case> cases = {
      {"end below start", 2.0, 1.0, 100.0, 0x01000000, false, EntryField::Start,
       "End Voltage must be greater than Start Voltage.", 4},
      {"end needs code 65536", 0.0, 11.25, 100.0, 0x01000000, false, EntryField::End,
       "needs DAC code 65536", 4},
      {"start below code 0", -11.3, 1.0, 100.0, 0x01000000, false, EntryField::Start, "code -", 4},
      {"step rounds to 0", 0.0, 1.0, 0.1, 0x01000000, false, EntryField::Step,
       "(one code is 0.3433 mV). Please enter a larger step.", 4},
      {"no channel", 0.0, 1.0, 100.0, 0, false, EntryField::Channels, "PMU CH SELECT", 0},
      {"offset unread", 0.0, 1.0, 100.0, 0x01000000, true, EntryField::Board,
       "3005 - XFER INCOMPLETE", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.board.offsetReply = 0xC0A492;
    rig.board.failOffset = c.failOffset;
    rig.sweep.sweepChanBits = c.chanBits;
    SweepRun run(rig.context(), {5.0F, 3}, {c.start, c.end, c.stepMv});
    EXPECT_EQ(rig.drive(run), 0);
    EXPECT_EQ(run.state(), Run::State::Refused);
    ASSERT_TRUE(run.refusal().has_value());
    EXPECT_EQ(run.refusal()->field, c.field);
    EXPECT_NE(run.refusal()->message.find(c.inMessage), std::string::npos)
        << run.refusal()->message;
    std::size_t written = 0;
    for (const std::string& entry : rig.log()) {
      written += entry[0] == 'W' ? 1 : 0;
    }
    EXPECT_EQ(written, c.wordsSent);
    EXPECT_TRUE(rig.finWords().empty());
    EXPECT_TRUE(run.lines().empty());
  }
  EXPECT_EQ(checkSweepFields({-11.25, 11.25, 1000.0}), std::nullopt);
  for (const SweepRequest& r :
       {SweepRequest{-11.2501, 0, 1}, SweepRequest{0, 11.2501, 1}, SweepRequest{0, 1, 1000.01},
        SweepRequest{0, 1, -0.5}, SweepRequest{std::nan(""), 1, 1}}) {
    EXPECT_TRUE(checkSweepFields(r).has_value()) << r.startVolts << " " << r.endVolts;
  }
  EXPECT_EQ(checkForceField(std::nan(""))->field, EntryField::Force);
}

TEST(SweepRun, StopAndFailedReadingsKeepWhatWasMeasured) {
  Rig rig;
  rig.sweep.delays.chooseCycle(1);
  rig.board.adcCodes = {2000, 6000, 4000, 1000};
  rig.board.failAdc = 2;  // request 232 of the second reading fails; 233 still answers
  SweepRun run(rig.context(), {5.0F, 3}, {0.0, 1.0, 100.0});
  for (int i = 0; i < 3; ++i) {
    const auto wait = run.advance();
    ASSERT_TRUE(wait.has_value());
    rig.clock.waitUntil(rig.clock.t + *wait);
    // While the run goes on, a transfer waits at most 80 ms for the board.
    EXPECT_EQ(rig.link.transferTimeout().count(), 80);
  }
  run.stop();
  const std::size_t before = rig.board.log.size();
  EXPECT_EQ(run.advance(), std::nullopt);
  EXPECT_EQ(rig.link.transferTimeout().count(), 1000);
  EXPECT_EQ(rig.board.log.size(), before);  // nothing more is sent
  EXPECT_EQ(run.state(), Run::State::Stopped);
  EXPECT_EQ(run.stepsDone(), 3U);
  EXPECT_EQ(run.stepsPlanned(), 11U);
  EXPECT_EQ(run.series().size(), 3U);
  // Voltage mode, offset 0: 5 * a * 5 / 65536; the failed second reading is kept and counted.
  EXPECT_EQ(run.min(), 0.76293945F);
  EXPECT_EQ(run.max(), 2.2888184F);
  EXPECT_EQ(run.failedReadings(), 1U);
  EXPECT_EQ(run.lastFailedStatus(), 3005);
  EXPECT_EQ(run.rowStatuses(), (std::vector<int>{0, 3005, 0}));
  EXPECT_EQ(run.pickedPoint(1.0)->dacCode, 0.0);
  EXPECT_EQ(run.pickedPoint(2.5)->dacCode, 582.0);  // x - 1 = 1.5 goes to the even step 2
  EXPECT_EQ(run.pickedPoint(-7.0)->dacCode, 0.0);
  EXPECT_EQ(run.pickedPoint(9.0)->dacCode, 582.0);  // the last point
  EXPECT_EQ(run.pickedPoint(std::nan("")), std::nullopt);
}

TEST(TimeRun, WordsRowsAndMinAndMax) {
  Rig rig;
  rig.board.adcCodes = {1000, 3000, 2000};
  rig.sweep.sweepChanBits = 0x05000000;
  rig.words.pmuWord = 0xF0218300;
  rig.sweep.delays.chooseSample(0, 0);
  TimeRun run(rig.context(), {5.0F, 2}, 2.0);
  rig.drive(run);
  const std::vector<std::string> log = rig.log();
  const std::vector<std::string> head = {"W 003FE4A0", "W 1FC00000", "R",          "W 10000000",
                                         "R",          "W 05212300", "W 003FE4A0", "W 1FC00000",
                                         "R",          "W 05CD16C1", "232",        "233"};
  ASSERT_EQ(log.size(), 10U + 2 * 101);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 12), head);
  EXPECT_EQ(run.forceCode(), 0x16C1);
  ASSERT_EQ(run.lines().size(), 103U);
  EXPECT_EQ(run.lines()[0], "temp\tADC\tADC Measured Voltage\tMeasured voltage\tsample time");
  EXPECT_EQ(run.lines()[2], "1\t3000\t0.2288818359375\t1.1444091796875\t0.0001");
  EXPECT_EQ(run.lines()[102], "0.3814697\t1.144409");
  EXPECT_EQ(run.samples().size(), 101U);
  EXPECT_EQ(run.pickedSample(0.4)->time, 0.0);
  EXPECT_NEAR(run.pickedSample(1000.0)->time, 0.01, 1e-6);  // clamped to sample 100
  EXPECT_EQ(rig.conversion.rangeIndex, 2);                  // the chosen range stays
  EXPECT_EQ(run.pickedSample(std::nan("")), std::nullopt);
}

// A refused time run forces nothing; 11.2497 V needs code FFFF, the last one.
TEST(TimeRun, RefusalsForceNothing) {
  const std::tuple<std::int32_t, double, bool> cases[] = {
      {0, 1.0, true}, {0x01000000, 11.26, true}, {0x01000000, 11.2497, false}};
  for (const auto& [chanBits, volts, refused] : cases) {
    Rig rig;
    rig.board.offsetReply = 0xC0A492;
    rig.sweep.sweepChanBits = chanBits;
    TimeRun run(rig.context(), {5.0F, 2}, volts);
    EXPECT_EQ(run.advance().has_value(), !refused) << volts;
    EXPECT_EQ(rig.finWords(),
              refused ? std::vector<std::string>{} : std::vector<std::string>{"01CDFFFF"})
        << volts;
  }
}

// A board that fails ends the run after a request reporting no device, or after three failed
// requests in a row. The sweep sends 6 preparation requests, then per step its word, 232 and 233;
// the time run 10, its force word last, then 232 and 233 per reading.
TEST(LostBoard, EndsTheRunAndKeepsTheRowsBefore) {
  struct Case {
    const char* name;
    bool timeRun;
    int failFrom;
    board::Status status;
    int requestsSent;
    std::vector<int> rowStatuses;
  };
  const std::vector<Case> cases = {
      {"no device at the PMU word", false, 6, 3001, 6, {}},
      {"no device at the 4th force word", false, 16, 3001, 16, {0, 0, 0}},
      {"no device at 232: no 233 follows", false, 14, 3001, 14, {0, 0}},
      {"3005 from 233: that row is kept", false, 18, 3005, 20, {0, 0, 0, 3005}},
      {"no device at the force word", true, 10, 3001, 10, {}},
      {"time run, 3005 from the 6th reading", true, 21, 3005, 23, {0, 0, 0, 0, 0, 3005}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.board.failFrom = c.failFrom;
    rig.board.failStatus = c.status;
    std::unique_ptr<measure::Run> run;
    if (c.timeRun) {
      run = std::make_unique<TimeRun>(rig.context(), RunSettings{5.0F, 3}, 1.0);
    } else {
      run = std::make_unique<SweepRun>(rig.context(), RunSettings{5.0F, 3},
                                       SweepRequest{0.0, 1.0, 100.0});
    }
    rig.drive(*run);
    EXPECT_EQ(run->state(), Run::State::BoardLost);
    EXPECT_EQ(run->lostStatus(), c.status);
    EXPECT_EQ(rig.board.counted, c.requestsSent);
    EXPECT_EQ(run->rowStatuses(), c.rowStatuses);
    EXPECT_EQ(run->stepsDone(), c.rowStatuses.size());
  }
  // Failures apart from each other do not end the run: the 4th word, the 6th 232, the 8th 233.
  Rig rig;
  rig.board.failAt = {16, 23, 30};
  SweepRun run(rig.context(), {5.0F, 3}, {0.0, 1.0, 100.0});
  rig.drive(run);
  EXPECT_EQ(run.rowStatuses(), (std::vector<int>{0, 0, 0, 0, 0, 3005, 0, 3005, 0, 0, 0}));
}

// Every non-comment line after the header is a row with its status; min and max are comments.
TEST(RunCsv, RowsWithStatusesThenMinAndMaxAsComments) {
  Rig rig;
  rig.board.adcCodes = {8192, 16384};  // 3.125 V and 6.25 V measured
  rig.board.failAdc = 2;
  SweepRun run(rig.context(), {5.0F, 3}, {0.0, 0.2, 100.0});
  rig.drive(run);
  RunDescription d{"Voltage sweep", "2026-12-07 10:15:02", 2.5F, 0xA492, 3, {}, 0x09000000, {}};
  d.delays.chooseSample(5, 3);
  EXPECT_EQ(csvText(d, run),
            "# KV4410 Voltage sweep\n# Date: 2026-12-07 10:15:02\n# VREF: 2.5 V\n"
            "# Offset DAC code: 0xA492\n# Current range: 2mA\n# Measure: voltage\n"
            "# Channels: PMU0 PMU3\n# Delays: settle 0.15 s, remainder 0.35 s, cycle 0.5 s\n"
            "temp,SWEEPDAC,DACCODE(TEMP),Voltage,ADC,ADC Measured Voltage,Measured Voltage,"
            "sample time,status\n"
            "0,30212096,0,0,8192,0.625,3.125,0,0\n"
            "1,30212387,291,0.0999069213867188,16384,1.25,6.25,0.0001,3005\n"
            "2,30212678,582,0.199813842773438,8192,0.625,3.125,0.0002,0\n"
            "# Min: 3.125\n# Max: 6.25\n");
  SweepRun stopped(rig.context(), {5.0F, 3}, {0.0, 0.2, 100.0});
  stopped.advance();
  stopped.stop();
  stopped.advance();
  EXPECT_NE(csvText(d, stopped).find("\n# Ended early: stopped after 1 of 3 readings\ntemp,"),
            std::string::npos);
}

}  // namespace
}  // namespace kv4410::measure
