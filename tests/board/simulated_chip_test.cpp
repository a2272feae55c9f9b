// The simulated chip: registers and answer layouts, channel selection, /LOAD gating, the DAC
// transfer, forcing into the load, clamps, comparators, alarms and the measure output.
#include "board/simulated_chip.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kv4410::board {
namespace {

constexpr std::uint32_t kStartupSys = 0x003FE4A0;  // clamps, comparators, gain 0.2, MI gain 10
constexpr double kVref = 5.0;
constexpr double kOffsetVolts = 3.5 * kVref * 0xA492 / 65536.0;

double codeVolts(double code) {
  return 4.5 * kVref * code / 65536.0 - kOffsetVolts;
}
double codeAmps(double code, double senseOhms, double miGain = 10.0) {
  return 4.5 * kVref * (code - 32768.0) / 65536.0 / (miGain * senseOhms);
}

std::uint32_t ask(SimulatedChip& chip, std::uint32_t request) {
  chip.clockWord(request);
  return chip.answer();
}

struct AnswerCase {
  std::uint32_t request;
  std::uint32_t answer;
};

TEST(SimulatedChipRegisters, PowerOnAnswersInTheirLayouts) {
  SimulatedChip chip;
  const AnswerCase cases[] = {
      {0x10000000, 0x000000},               // system control
      {0x11000000, 0x000060},               // PMU0: register 0, both temperature flags 1 (no alarm)
      {0x18000000, 0x000060},               // PMU3
      {0x10400000, 0x7FC000},               // comparator status: mode 01, every output 1
      {0x10C00000, 0xFFFFF0},               // alarm status: mode 11, bits 21..4 all 1
      {0x1FC00000, 0xC0A492},               // offset DAC
      {0x11C80000, 0xC88000},               // FIN x1, level 0
      {0x114D0000, 0x4DFFFF},               // FIN M, voltage range
      {0x118D0000, 0x8D8000},               // FIN C, voltage range
      {0x12D40000, 0xD40000},               // CLL x1, current ranges
      {0x14DD0000, 0xDDFFFF},               // CLH x1, voltage range
      {0x18E00000, 0xE00000},               // CPL x1, level 0
      {0x18ED0000, 0xEDFFFF},               // CPH x1, voltage range
      {0x11C00000 | (9u << 16), 0xC98000},  // FIN x1, level 1
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ask(chip, c.request), c.answer) << std::hex << c.request;
  }
}

TEST(SimulatedChipRegisters, WrittenRegistersReadBackInTheirAnswerLayouts) {
  SimulatedChip chip;
  struct Case {
    std::uint32_t write;
    std::uint32_t request;
    std::uint32_t answer;
  };
  const Case cases[] = {
      {0x003FE4A0, 0x10000000, 0x3FE4A0},
      {0x003FFFFF, 0x10000000, 0x3FFFFC},  // unused bits 1..0 are not kept
      {0x0121B300, 0x11000000, 0x21B360},  // PMU answer carries the temperature flags
      {0x0821B37F, 0x18000000, 0x21B360},  // CLEAR and the unused bits are not kept
      {0x01C8ABCD, 0x11C80000, 0xC8ABCD},
      {0x024D1234, 0x124D0000, 0x4D1234},
      {0x04A55555, 0x14A50000, 0xA55555},  // C register of CPL, voltage range
      {0x08DDBEEF, 0x18DD0000, 0xDDBEEF},
      {0x01C01357, 0x1FC00000, 0xC01357},  // offset DAC through one channel bit
  };
  for (const auto& c : cases) {
    chip.clockWord(c.write);
    EXPECT_EQ(ask(chip, c.request), c.answer) << std::hex << c.write;
  }
}

TEST(SimulatedChipRegisters, AddressesOutsideTheMapKeepNothing) {
  SimulatedChip chip;
  chip.clockWord(0x01D0ABCD);  // CLL level 0 (address 16) does not exist
  EXPECT_EQ(ask(chip, 0x11D00000), 0xD00000u);
  chip.clockWord(0x01C7ABCD);  // address 7
  EXPECT_EQ(ask(chip, 0x11C70000), 0xC70000u);
  chip.clockWord(0x01401111);  // M of the offset DAC: it has only x1
  EXPECT_EQ(ask(chip, 0x1FC00000), 0xC0A492u);
}

TEST(SimulatedChipRegisters, SeveralChannelBitsWriteSeveralChannels) {
  SimulatedChip chip;
  chip.clockWord(0x05C8ABCD);  // PMU0 and PMU2
  chip.clockWord(0x0521B300);
  for (int ch = 0; ch < 4; ++ch) {
    const bool selected = ch == 0 || ch == 2;
    EXPECT_EQ(chip.dac(ch, 8).x1, selected ? 0xABCD : 0x8000) << ch;
    EXPECT_EQ(chip.pmu(ch), selected ? 0x21B300u : 0u) << ch;
  }
  chip.clockWord(0x0F4DAAAA);
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(chip.dac(ch, 13).m, 0xAAAA) << ch;
  }
}

TEST(SimulatedChipRegisters, ReadWithSeveralChannelBitsIsAnsweredByTheLowest) {
  SimulatedChip chip;
  chip.clockWord(0x02C81111);
  chip.clockWord(0x04C82222);
  chip.clockWord(0x08C83333);
  EXPECT_EQ(ask(chip, 0x16C80000), 0xC81111u);
  EXPECT_EQ(ask(chip, 0x1CC80000), 0xC82222u);
  EXPECT_EQ(ask(chip, 0x1EC80000), 0xC81111u);
  chip.clockWord(0x0421A000);
  EXPECT_EQ(ask(chip, 0x1C000000) & 0x3FFF80u, 0x21A000u);
}

TEST(SimulatedChipRegisters, WriteWithoutChannelAndWithAModeChangesNothing) {
  SimulatedChip chip;
  chip.clockWord(kStartupSys);
  for (const std::uint32_t word : {0x00C0FFFFu, 0x0040FFFFu, 0x0080FFFFu, 0x00FFFFFFu}) {
    chip.clockWord(word);
    EXPECT_EQ(chip.systemControl(), kStartupSys) << std::hex << word;
    EXPECT_EQ(chip.offsetCode(), 0xA492);
    for (int ch = 0; ch < 4; ++ch) {
      EXPECT_EQ(chip.pmu(ch), 0u);
      EXPECT_EQ(chip.dac(ch, 8).x1, 0x8000);
      EXPECT_EQ(chip.dac(ch, 8).m, 0xFFFF);
      EXPECT_EQ(chip.dac(ch, 8).c, 0x8000);
    }
  }
}

TEST(SimulatedChipRegisters, BitsAboveTheWordNeverReachTheChip) {
  SimulatedChip chip;
  chip.clockWord(0xE1C81234);  // bits 29..31 set on a write
  EXPECT_EQ(chip.dac(0, 8).x1, 0x1234);
}

TEST(SimulatedChipRegisters, ResetRestoresPowerOnValues) {
  SimulatedChip chip;
  chip.clockWord(kStartupSys);
  chip.clockWord(0x0F21B300);
  chip.clockWord(0x0FC80001);
  chip.clockWord(0x0F480002);
  chip.clockWord(0x0F880003);
  chip.clockWord(0x01C01111);
  chip.setLoadHigh(true);
  chip.clockWord(0x01CD2222);
  chip.reset();
  EXPECT_EQ(chip.systemControl(), 0u);
  EXPECT_EQ(chip.offsetCode(), 0xA492);
  EXPECT_EQ(chip.offsetOutput(), 0xA492);
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(chip.pmu(ch), 0u);
    EXPECT_EQ(chip.dac(ch, 8).x1, 0x8000);
    EXPECT_EQ(chip.dac(ch, 8).m, 0xFFFF);
    EXPECT_EQ(chip.dac(ch, 8).c, 0x8000);
    EXPECT_EQ(chip.dac(ch, 13).output, 0x8000);
    EXPECT_FALSE(chip.dac(ch, 13).pending);
    EXPECT_EQ(chip.dac(ch, 21).x1, 0x0000);
    EXPECT_EQ(chip.dac(ch, 29).x1, 0xFFFF);
  }
  EXPECT_TRUE(chip.loadHigh()) << "/LOAD is the board's line, not a chip register";
}

TEST(SimulatedChipDac, OutputCodeFollowsGainAndOffsetWhenX1TakesEffect) {
  SimulatedChip chip;
  struct Case {
    std::uint16_t m, c, x1, output;
  };
  const Case cases[] = {
      {0xFFFF, 0x8000, 0x1234, 0x1234},  // defaults: X2 = x1
      {0x7FFF, 0x8000, 0x8000, 0x4000},  // half gain
      {0x7FFF, 0x9000, 0x8000, 0x5000},  // plus 0x1000 of offset
      {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},  // limited at the top
      {0xFFFF, 0x0000, 0x1000, 0x0000},  // limited at the bottom
      {0x0000, 0x8000, 0xFFFF, 0x0000},  // x1 * 1 / 65536 truncates to 0
  };
  for (const auto& c : cases) {
    chip.clockWord(0x014D0000u | c.m);
    chip.clockWord(0x018D0000u | c.c);
    chip.clockWord(0x01CD0000u | c.x1);
    EXPECT_EQ(chip.dac(0, 13).output, c.output) << std::hex << c.m << " " << c.c << " " << c.x1;
  }
}

TEST(SimulatedChipDac, GainOrOffsetAloneChangesNoOutput) {
  SimulatedChip chip;
  chip.clockWord(0x01CD4000);
  chip.clockWord(0x014D7FFF);
  chip.clockWord(0x018DB000);
  EXPECT_EQ(chip.dac(0, 13).output, 0x4000);
  chip.clockWord(0x01CD4000);  // the same x1 again
  EXPECT_EQ(chip.dac(0, 13).output, 0x2000 + 0x3000);
}

TEST(SimulatedChipDac, LoadHighHoldsX1UpdatesUntilPulseOrLow) {
  SimulatedChip chip;
  chip.clockWord(0x01CDFFFF);
  EXPECT_EQ(chip.dac(0, 13).output, 0xFFFF) << "/LOAD low: at once";

  chip.setLoadHigh(true);
  chip.clockWord(0x03CD1234);
  chip.clockWord(0x01C01111);  // offset DAC too
  EXPECT_EQ(ask(chip, 0x11CD0000), 0xCD1234u) << "the register holds the code";
  EXPECT_EQ(chip.dac(0, 13).output, 0xFFFF);
  EXPECT_EQ(chip.dac(1, 13).output, 0x8000);
  EXPECT_EQ(chip.offsetOutput(), 0xA492);
  EXPECT_TRUE(chip.dac(1, 13).pending);
  chip.pulseLoad();
  EXPECT_EQ(chip.dac(0, 13).output, 0x1234);
  EXPECT_EQ(chip.dac(1, 13).output, 0x1234);
  EXPECT_EQ(chip.offsetOutput(), 0x1111);
  EXPECT_TRUE(chip.loadHigh());

  chip.clockWord(0x01CD4321);
  EXPECT_EQ(chip.dac(0, 13).output, 0x1234);
  chip.setLoadHigh(false);
  EXPECT_EQ(chip.dac(0, 13).output, 0x4321);
  chip.clockWord(0x01CD0001);
  EXPECT_EQ(chip.dac(0, 13).output, 0x0001);
}

class ForcingTest : public ::testing::Test {
 protected:
  SimulatedChip chip;
  void SetUp() override { chip.clockWord(kStartupSys); }
};

TEST_F(ForcingTest, ForceVoltageIntoTheLoad) {
  chip.clockWord(0x0121B300);  // PMU0: FV, 2 mA, measure voltage, FIN, clamp, comp
  chip.clockWord(0x01CDFFFF);
  const ChannelState s = chip.channel(0);
  EXPECT_TRUE(s.forcing);
  EXPECT_NEAR(s.volts, codeVolts(0xFFFF), 1e-9);
  EXPECT_NEAR(s.amps, codeVolts(0xFFFF) / 5600.0, 1e-12);
  EXPECT_FALSE(s.clamping);
  ASSERT_TRUE(s.measureVolts.has_value());
  EXPECT_NEAR(*s.measureVolts, 0.2 * (codeVolts(0xFFFF) + kOffsetVolts), 1e-9);
  EXPECT_FALSE(chip.channel(1).measureVolts.has_value()) << "PMU1 disabled";
}

TEST_F(ForcingTest, MeasureOutputGainsFollowTheSystemRegister) {
  chip.clockWord(0x01219300);  // measure current
  chip.clockWord(0x01CDFFFF);
  const double amps = codeVolts(0xFFFF) / 5600.0;
  EXPECT_NEAR(*chip.channel(0).measureVolts, 0.2 * (10 * 500 * amps + kOffsetVolts), 1e-9);
  chip.clockWord(kStartupSys & ~0x80u);  // MEASOUT gain 1
  EXPECT_NEAR(*chip.channel(0).measureVolts, 10 * 500 * amps + kOffsetVolts, 1e-9);
  chip.clockWord(kStartupSys | 0x40u);  // MI gain 5
  EXPECT_NEAR(*chip.channel(0).measureVolts, 0.2 * (5 * 500 * amps + kOffsetVolts), 1e-9);
}

TEST_F(ForcingTest, NothingIsForcedWhenDisabledGroundedOrHighImpedance) {
  chip.clockWord(0x01CDFFFF);
  const std::uint32_t words[] = {
      0x0101B300,  // channel disabled
      0x0121A300,  // FIN tied to ground
      0x0131B300,  // Hi-Z FOH voltage
      0x0139B300,  // Hi-Z FOH current
  };
  for (const std::uint32_t word : words) {
    chip.clockWord(word);
    const ChannelState s = chip.channel(0);
    EXPECT_FALSE(s.forcing) << std::hex << word;
    EXPECT_EQ(s.volts, 0.0) << std::hex << word;
    EXPECT_EQ(s.amps, 0.0) << std::hex << word;
  }
}

TEST_F(ForcingTest, ClampLimitsTheCurrentInForceVoltageAndRaisesTheAlarm) {
  chip.setLoad(0, 100.0);
  chip.clockWord(0x0121B300);
  chip.clockWord(0x01DCA000);  // CLH "Current Ranges": +0.5625 mA on the 2 mA range
  chip.clockWord(0x01CDC000);  // 5.625 V into 100 ohm would be 56 mA
  ChannelState s = chip.channel(0);
  EXPECT_TRUE(s.clamping);
  EXPECT_NEAR(s.amps, codeAmps(0xA000, 500), 1e-12);
  EXPECT_NEAR(s.volts, codeAmps(0xA000, 500) * 100.0, 1e-9);
  std::uint32_t alarms = chip.alarmStatus();
  EXPECT_EQ(alarms & (1u << 10), 0u) << "C0 active while clamping";
  EXPECT_EQ(alarms & (1u << 11), 0u) << "LC0 latched";
  EXPECT_NE(alarms & (1u << 8), 0u) << "PMU1 does not clamp";

  chip.clockWord(0x01CD8000);  // about 0 V: no longer clamping
  alarms = chip.alarmStatus();
  EXPECT_FALSE(chip.channel(0).clamping);
  EXPECT_NE(alarms & (1u << 10), 0u);
  EXPECT_EQ(alarms & (1u << 11), 0u) << "the latched bit holds";
  chip.clockWord(0x0121B340);  // PMU write with CLEAR
  EXPECT_NE(chip.alarmStatus() & (1u << 11), 0u);
}

TEST_F(ForcingTest, LowClampAndRangeSaturation) {
  chip.setLoad(0, 100.0);
  chip.clockWord(0x0121B300);
  chip.clockWord(0x01D46000);  // CLL "Current Ranges": -0.5625 mA
  chip.clockWord(0x01CD4000);  // -5.6 V
  EXPECT_NEAR(chip.channel(0).amps, codeAmps(0x6000, 500), 1e-12);

  // Clamps off in the system register: the current saturates at the range's full scale
  // without a clamp alarm.
  chip.clockWord(kStartupSys & ~(1u << 18));
  const ChannelState s = chip.channel(0);
  EXPECT_FALSE(s.clamping);
  EXPECT_NEAR(s.amps, codeAmps(0, 500), 1e-12);
  EXPECT_NE(chip.alarmStatus() & (1u << 10), 0u);
}

TEST_F(ForcingTest, ForceCurrentIsLimitedByTheVoltageClamp) {
  chip.clockWord(0x0129B300);  // PMU0: force current, 2 mA range
  const std::uint16_t oneMilliamp = 0xB8E4;
  chip.clockWord(0x01CB0000u | oneMilliamp);  // FIN level 3
  ChannelState s = chip.channel(0);
  EXPECT_FALSE(s.clamping);
  EXPECT_NEAR(s.amps, codeAmps(oneMilliamp, 500), 1e-12);
  EXPECT_NEAR(s.volts, codeAmps(oneMilliamp, 500) * 5600.0, 1e-9);

  chip.clockWord(0x01DDA221);  // CLH "Voltage Range" at about 3 V
  s = chip.channel(0);
  EXPECT_TRUE(s.clamping);
  EXPECT_NEAR(s.volts, codeVolts(0xA221), 1e-9);
  EXPECT_NEAR(s.amps, codeVolts(0xA221) / 5600.0, 1e-12);

  // The current of the selected range's level: the 5 uA range uses level 0 and 200 kohm.
  chip.clockWord(0x0129B300 & ~(3u << 15));
  chip.clockWord(0x01C8C000);
  EXPECT_NEAR(chip.channel(0).amps, codeAmps(0xC000, 200e3), 1e-15);
}

TEST_F(ForcingTest, ComparatorsFollowTheComparedVoltageOrCurrent) {
  chip.clockWord(0x0121B380);  // compare voltage
  chip.clockWord(0x01CDFFFF);  // about +11.25 V
  EXPECT_EQ(chip.comparatorStatus() & (3u << 20), 3u << 20) << "in window: both 1";
  chip.clockWord(0x01ED8000);  // CPH voltage range at about 0 V
  EXPECT_EQ(chip.comparatorStatus() & (3u << 20), 1u << 21) << "above CPH: CPOH0 0";
  chip.clockWord(0x01E58000);  // CPL voltage range at about 0 V
  chip.clockWord(0x01CD0000);  // about -11.25 V
  EXPECT_EQ(chip.comparatorStatus() & (3u << 20), 1u << 20) << "below CPL: CPOL0 0";

  chip.clockWord(0x0121B300);  // compare current: levels of the 2 mA range (3)
  chip.clockWord(0x01CDC000);  // positive current
  EXPECT_EQ(chip.comparatorStatus() & (3u << 20), 3u << 20);
  chip.clockWord(0x01EB8000);  // CPH level 3 at 0 A
  EXPECT_EQ(chip.comparatorStatus() & (3u << 20), 1u << 21);
  EXPECT_EQ(chip.comparatorStatus() & (0xFFu << 14) & ~(3u << 20), 0x3Fu << 14)
      << "other channels untouched";

  chip.clockWord(kStartupSys & ~(1u << 13));  // comparator bias off
  EXPECT_EQ(chip.comparatorStatus() & (3u << 20), 3u << 20);
}

TEST_F(ForcingTest, DieTemperatureAlarmsAndThermalShutdown) {
  chip.clockWord(0x0121B300);
  chip.clockWord(0x01CDFFFF);
  chip.setDieTemperature(131.0);
  EXPECT_EQ(chip.alarmStatus() & (3u << 20), 0u);
  EXPECT_EQ(ask(chip, 0x11000000) & 0x60u, 0u);
  EXPECT_TRUE(chip.thermalShutdown());
  EXPECT_FALSE(chip.channel(0).forcing) << "shutdown switches the output off";
  EXPECT_EQ(chip.channel(0).volts, 0.0);

  chip.setDieTemperature(60.0);
  EXPECT_EQ(chip.alarmStatus() & (3u << 20), 1u << 20) << "TMPALM clears, LTMPALM holds";
  EXPECT_EQ(ask(chip, 0x11000000) & 0x60u, 0x20u);
  EXPECT_TRUE(chip.channel(0).forcing);
  chip.clockWord(0x0121B340);
  EXPECT_EQ(chip.alarmStatus() & (3u << 20), 3u << 20);
}

TEST_F(ForcingTest, ShutdownTemperatureFollowsBits4And3) {
  const std::pair<std::uint32_t, double> limits[] = {
      {0u << 3, 130.0}, {1u << 3, 120.0}, {2u << 3, 110.0}, {3u << 3, 100.0}};
  for (const auto& [bits, celsius] : limits) {
    chip.clockWord((kStartupSys & ~0x18u) | bits);
    chip.setDieTemperature(celsius);
    EXPECT_FALSE(chip.overTemperature()) << celsius;
    chip.setDieTemperature(celsius + 0.5);
    EXPECT_TRUE(chip.overTemperature()) << celsius;
  }
  chip.clockWord(kStartupSys & ~0x20u);  // shutdown disabled: alarm only
  chip.clockWord(0x0121B300);
  chip.setDieTemperature(140.0);
  EXPECT_TRUE(chip.overTemperature());
  EXPECT_FALSE(chip.thermalShutdown());
  EXPECT_TRUE(chip.channel(0).forcing);
}

TEST_F(ForcingTest, MeasureBusIsTheMeanOfTheDrivingOutputs) {
  EXPECT_EQ(chip.measureBusVolts(), 0.0) << "nothing drives at power-on";
  chip.clockWord(0x0121D300);  // PMU0 measures the die temperature sensor
  chip.setDieTemperature(45.0);
  const double sensor = SimulatedChip::temperatureSensorVolts(45.0);
  EXPECT_GT(sensor, SimulatedChip::temperatureSensorVolts(25.0));
  EXPECT_NEAR(chip.measureBusVolts(), sensor, 1e-12);
  chip.clockWord(0x0221B300);  // PMU1 measures its voltage: about 0 V forced
  const double pmu1 = 0.2 * (codeVolts(0x8000) + kOffsetVolts);
  EXPECT_NEAR(chip.measureBusVolts(), (sensor + pmu1) / 2, 1e-12);
  chip.clockWord(0x0321F300);  // both Hi-Z MEASOUT
  EXPECT_EQ(chip.measureBusVolts(), 0.0);
}

}  // namespace
}  // namespace kv4410::board
