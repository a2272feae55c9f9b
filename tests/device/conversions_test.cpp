#include "device/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kv4410 {
namespace {

constexpr std::int32_t kOffset = 0xA492;  // 42130
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Ties go to the even integer (the -2147483648.5 tie stays in range, and 0.49999999999999994 is
// the trap of floor(x + 0.5)); values that cannot be a 32-bit integer give no code at all.
TEST(DeviceConversions, RoundToInt32) {
  const std::pair<double, std::int32_t> cases[] = {
      {0.5, 0},    {1.5, 2},      {2.5, 2},         {-0.5, 0},       {-2.5, -2},
      {2.5001, 3}, {-2.5001, -3}, {65535.5, 65536}, {32768.5, 32768}};
  for (const auto& [value, rounded] : cases) {
    EXPECT_EQ(roundToInt32(value), rounded) << value;
  }
  EXPECT_EQ(roundToInt32(0.49999999999999994), 0);
  EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
  EXPECT_EQ(roundToInt32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
  for (const double value : {2147483647.5, -2147483648.51, 1e300, kNaN, -kInf}) {
    EXPECT_FALSE(roundToInt32(value).has_value()) << value;
  }
}

TEST(DeviceConversions, ForceCodes) {
  const std::pair<int, std::optional<double>> ohms[] = {
      {0, 200000.0}, {1, 50000.0}, {2, 5000.0}, {3, 500.0}, {4, 100.0}, {5, {}}, {-1, {}}};
  for (const auto& [range, value] : ohms) {
    EXPECT_EQ(senseResistorOhms(range, 100), value) << range;
  }
  EXPECT_EQ(miGainFromReadback(0x003FE4A0), 10.0F);
  EXPECT_EQ(miGainFromReadback(0x40), 5.0F);
  const std::pair<double, std::int32_t> volts[] = {
      {0.0, 0x8000}, {1.0, 0x8B60}, {10.0, 0xF1C7}, {11.249733, 0xFFFF}, {-11.249924, 0}};
  for (const auto& [level, code] : volts) {
    EXPECT_EQ(codeForVoltage(level, 5.0F, kOffset), code) << level;
  }
  EXPECT_EQ(codeForVoltage(1.0, 2.5F, kOffset), 0x96C1);
  EXPECT_EQ(codeForCurrent(1e-6, 5.0F, 10.0F, 200000.0), 0x96C1);  // 1 uA on the 5 uA range
  EXPECT_EQ(codeForCurrent(1e-3, 5.0F, 10.0F, 500.0), 0xB8E4);
  EXPECT_EQ(codeForCurrent(1e-3, 5.0F, 5.0F, 500.0), 0x9C72);
  EXPECT_EQ(codeForCurrent(-2.25e-3, 5.0F, 10.0F, 500.0), 0);
  EXPECT_DOUBLE_EQ(currentOfCode(0, 5.0F, 10.0F, 500.0), -2.25e-3);
  // With VREF 4, OFFSET 0 and gain 8 on 1 ohm one step is 18/65536 V (or A / 8): code + 0.5 is
  // an exact tie, and it goes to the even code.
  EXPECT_EQ(codeForVoltage(100.5 * 18.0 / 65536.0, 4.0F, 0), 100);
  EXPECT_EQ(codeForVoltage(101.5 * 18.0 / 65536.0, 4.0F, 0), 102);
  EXPECT_EQ(codeForCurrent(1.5 * 18.0 / (65536.0 * 8.0), 4.0F, 8.0F, 1.0), 32770);
}

TEST(DeviceConversions, UnguardedInputsGiveNoCodeInsteadOfOverflowing) {
  for (const double level : {kNaN, kInf, 1e300, -1e12}) {
    EXPECT_FALSE(codeForVoltage(level, 5.0F, kOffset).has_value()) << level;
    EXPECT_FALSE(codeForCurrent(level, 5.0F, 10.0F, 500.0).has_value()) << level;
  }
  EXPECT_FALSE(codeForVoltage(1.0, 0.0F, kOffset).has_value());
  EXPECT_TRUE(std::isinf(currentOfCode(1, 5.0F, 10.0F, 0.0)));
  EXPECT_TRUE(std::isinf(toSingle(-1e300)));
  EXPECT_TRUE(std::isinf(currentRangeLimits(5.0F, 10.0F, 0.0).fullScale));
}

// F/S and Z/S of the forcing ranges: VREF, MI gain, range (-1: the voltage range; 4: a 100 ohm
// external resistor), then the two limits.
TEST(DeviceConversions, RangeLimits) {
  const std::tuple<float, float, int, double, double> cases[] = {
      {5.0F, 10.0F, -1, 11.249733, -11.249924}, {2.5F, 10.0F, -1, 5.624866, -5.624962},
      {5.0F, 10.0F, 0, 5.6248, -5.625},         {5.0F, 10.0F, 1, 22.4993, -22.5},
      {5.0F, 10.0F, 2, 224.9931, -225.0},       {5.0F, 10.0F, 3, 2.2499, -2.25},
      {5.0F, 5.0F, 1, 44.9986, -45.0},          {5.0F, 5.0F, 3, 4.4999, -4.5},
      {5.0F, 10.0F, 4, 11.2497, -11.25},        {2.5F, 10.0F, 0, 2.8124, -2.8125}};
  for (const auto& [vref, gain, range, fullScale, zeroScale] : cases) {
    const RangeLimits l = range < 0
                              ? voltageRangeLimits(vref, kOffset)
                              : currentRangeLimits(vref, gain, *senseResistorDisplay(range, 100.0));
    const double tolerance = range < 0 ? 1e-6 : 1e-4;
    EXPECT_NEAR(l.fullScale, fullScale, tolerance) << vref << " " << gain << " " << range;
    EXPECT_NEAR(l.zeroScale, zeroScale, tolerance) << vref << " " << gain << " " << range;
  }
}

// X2 is limited to 0..65536 (65536, not 65535) before the voltage formula.
TEST(DeviceConversions, EffectiveCodeVoltage) {
  const std::pair<std::int64_t, float> cases[] = {{0x8000, 0.0000763F}, {65535, 11.249733F},
                                                  {65536, 11.250076F},  {70000, 11.250076F},
                                                  {-5, -11.249924F},    {INT64_MIN, -11.249924F}};
  for (const auto& [x1, volts] : cases) {
    EXPECT_NEAR(effectiveCodeVoltage(x1, 5.0F, kOffset), volts, 2e-6F) << x1;
  }
}

// The channel test's limit edges (VREF 5): 60293 -> 4.5999908 passes 4.6, 60294 does not.
TEST(DeviceConversions, AdcCodeToVolts) {
  EXPECT_FLOAT_EQ(adcVoltsSingle(60293, 5.0F), 4.5999908F);
  EXPECT_GT(adcVoltsSingle(60294, 5.0F), 4.6F);
  EXPECT_LT(adcVoltsSingle(57671, 5.0F), 4.4F);
  EXPECT_DOUBLE_EQ(adcVolts(32768, 2.5F), 1.25);
  EXPECT_DOUBLE_EQ(adcVolts(65535, 5.0F), 4.999923706054688);
}

}  // namespace
}  // namespace kv4410
