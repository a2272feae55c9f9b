// Replays the word sequence of the automated channel test on the simulated board and judges
// the four readings of every channel against the test's limits, as the test window does.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "board/simulated_board.h"

namespace kv4410::board {
namespace {

class SilentReporter : public Reporter {
 public:
  int messages = 0;
  void noBoard(int) override { ++messages; }
  void usbError(int, std::string_view) override { ++messages; }
};

struct Readings {
  std::array<std::array<std::int32_t, 4>, 4> codes{};  // [channel][check]
};

Readings runChannelTest(BoardLink& link) {
  // Window start-up.
  link.SPIWrite(29, 0x003FE4A0);
  link.SPIWrite(29, 0x003FE4A0);
  link.SPIWrite(29, 0x0F21F300);
  link.setCFeedforward(1);
  link.setCComp(1);
  // Start Test.
  link.SPIWrite(29, 0x003FE4A0);
  link.SPIWrite(29, 0x0F21F300);
  Readings readings;
  for (int p = 0; p < 4; ++p) {
    const std::int32_t ch = 1 << (24 + p);
    if (p >= 1) {
      link.SPIWrite(29, 0x0F21F300);
    }
    link.SPIWrite(29, ch | 0x0021B300);
    link.SPIWrite(29, 0x0FCDFFFF);
    readings.codes[p][0] = link.readAdcNow();
    link.SPIWrite(29, 0x0FCD8000);
    readings.codes[p][1] = link.readAdcNow();
    link.SPIWrite(29, ch | 0x00219300);
    link.SPIWrite(29, 0x0FCDFFFF);
    readings.codes[p][2] = link.readAdcNow();
    if (p == 0) {
      link.SPIWrite(29, 0x01219300);
    }
    link.SPIWrite(29, 0x0FCD0000);
    readings.codes[p][3] = link.readAdcNow();
  }
  return readings;
}

// The test's judgement, in single precision as the window computes it.
bool passes(int check, std::int32_t code) {
  const float lsb = 5.0F / 65536.0F;
  const float mv = lsb * static_cast<float>(code);
  const float mi = (lsb * static_cast<float>(code) - 2.25F) / 0.2F / 10.0F / 500.0F;
  switch (check) {
    case 0:
      return mv >= 4.4F && mv <= 4.6F;
    case 1:
      return mv >= 2.1F && mv <= 2.3F;
    case 2:
      return mi >= 0.0019F && mi <= 0.0022F;
    default:
      return mi >= -0.0022F && mi <= -0.0019F;
  }
}

Readings runOn(const SimulationOptions& options, int& messages) {
  SimulatedBoard board(options);
  SilentReporter reporter;
  BoardLink link(board, reporter);
  link.LoadUSB("/opt/kv4410/KV4410SPI.hex");
  Readings readings = runChannelTest(link);
  messages = reporter.messages;
  EXPECT_EQ(link.failedRequests(), 0u);
  return readings;
}

TEST(ChannelTestReplay, EveryReadingPassesOnTheDefaultLoad) {
  int messages = -1;
  const Readings readings = runOn(SimulationOptions{}, messages);
  EXPECT_EQ(messages, 0);
  // What the model should give: 0.2 (V + Voff) for the voltages, 0.2 (5000 I + Voff) for the
  // currents, with V the full-scale or mid-scale force and I = V / 5.6 kohm.
  const double voff = 3.5 * 5.0 * 0xA492 / 65536.0;
  const double full = 4.5 * 5.0 * 0xFFFF / 65536.0 - voff;
  const double mid = 4.5 * 5.0 * 0x8000 / 65536.0 - voff;
  const double zero = -voff;
  const double expected[4] = {0.2 * (full + voff), 0.2 * (mid + voff),
                              0.2 * (5000 * full / 5600 + voff), 0.2 * (5000 * zero / 5600 + voff)};
  for (int p = 0; p < 4; ++p) {
    for (int check = 0; check < 4; ++check) {
      const std::int32_t code = readings.codes[p][check];
      EXPECT_TRUE(passes(check, code)) << "PMU" << p << " check " << check + 1 << " code " << code;
      EXPECT_NEAR(code, expected[check] * 65536 / 5.0, 1.0) << "PMU" << p << " check " << check + 1;
    }
  }
}

TEST(ChannelTestReplay, StillPassesWithAFewLsbOfNoise) {
  SimulationOptions options;
  options.noiseLsb = 4.0;
  options.seed = 1234;
  int messages = -1;
  const Readings readings = runOn(options, messages);
  for (int p = 0; p < 4; ++p) {
    for (int check = 0; check < 4; ++check) {
      EXPECT_TRUE(passes(check, readings.codes[p][check])) << p << " " << check;
    }
  }
}

TEST(ChannelTestReplay, AHeavyLoadOnOneChannelFailsItsChecks) {
  SimulationOptions options;
  options.loadOhms[2] = 1000.0;  // 11 mA wanted: the clamp holds it at 2.25 mA
  int messages = -1;
  const Readings readings = runOn(options, messages);
  for (int p = 0; p < 4; ++p) {
    const bool heavy = p == 2;
    EXPECT_EQ(passes(0, readings.codes[p][0]), !heavy) << p;
    EXPECT_EQ(passes(2, readings.codes[p][2]), !heavy) << p;
    EXPECT_EQ(passes(3, readings.codes[p][3]), !heavy) << p;
  }
}

TEST(ChannelTestJudgement, LimitsSitWhereTheTestPutsThem) {
  // Guards the helper above against the window's documented boundary codes.
  EXPECT_TRUE(passes(0, 60293));
  EXPECT_FALSE(passes(0, 60294));
  EXPECT_TRUE(passes(0, 57672));
  EXPECT_FALSE(passes(0, 57671));
  EXPECT_TRUE(passes(2, 54395));
  EXPECT_FALSE(passes(2, 54394));
}

}  // namespace
}  // namespace kv4410::board
