#include "device/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "device/text_format.h"

namespace kv4410 {
namespace {

constexpr std::int32_t kOffset = 0xA492;  // 42130
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(DeviceConversions, RoundToInt32TiesToEven) {
  const std::pair<double, std::int32_t> cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {2.4999, 2},
      {2.5001, 3},
      {-2.5001, -3},
      {65535.5, 65536},
      {32768.5, 32768},
      {2147483647.0, 2147483647},
      {2147483647.4, 2147483647},
      {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
      {-2147483648.5, std::numeric_limits<std::int32_t>::min()},  // tie to even stays in range
      {0.49999999999999994, 0},                                   // the classic floor(x + 0.5) trap
  };
  for (const auto& [value, rounded] : cases) {
    EXPECT_EQ(roundToInt32(value), rounded) << value;
  }
}

TEST(DeviceConversions, RoundToInt32NeverOverflows) {
  for (const double value :
       {kNaN, kInf, -kInf, 2147483647.5, 2147483648.0, -2147483649.0, -2147483648.51, 1e10, -1e10,
        1e300, -1e300, std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()}) {
    EXPECT_FALSE(roundToInt32(value).has_value()) << value;
  }
  EXPECT_EQ(roundToInt32(std::numeric_limits<double>::denorm_min()), 0);
}

TEST(DeviceConversions, SenseResistors) {
  EXPECT_EQ(senseResistorOhms(0, 100), 200000.0);
  EXPECT_EQ(senseResistorOhms(1, 100), 50000.0);
  EXPECT_EQ(senseResistorOhms(2, 100), 5000.0);
  EXPECT_EQ(senseResistorOhms(3, 100), 500.0);
  EXPECT_EQ(senseResistorOhms(4, 100), 100.0);
  EXPECT_FALSE(senseResistorOhms(5, 100).has_value());
  EXPECT_FALSE(senseResistorOhms(-1, 100).has_value());
  EXPECT_EQ(senseResistorDisplay(0, 100), 0.2);
  EXPECT_EQ(senseResistorDisplay(2, 100), 0.005);
  EXPECT_EQ(senseResistorDisplay(3, 100), 0.5);
  EXPECT_EQ(senseResistorDisplay(4, 100), 0.1);
  EXPECT_TRUE(rangeInMicroamps(2));
  EXPECT_FALSE(rangeInMicroamps(3));
  EXPECT_EQ(currentUnitToAmps(0), 1e-6);
  EXPECT_EQ(currentUnitToAmps(4), 1e-3);
  EXPECT_EQ(miGainFromReadback(0x003FE4A0), 10.0F);
  EXPECT_EQ(miGainFromReadback(0x40), 5.0F);
  EXPECT_EQ(miGainFromReadback(0xFFFFBF), 10.0F);
}

// Codes of forced voltages, including the two ends of the range.
TEST(DeviceConversions, VoltageCodes) {
  struct Case {
    double volts;
    float vref;
    std::int32_t code;
  };
  const Case cases[] = {
      {0.0, 5.0F, 0x8000},
      {1.0, 5.0F, 0x8B60},
      {5.0, 5.0F, 0xB8E3},
      {10.0, 5.0F, 0xF1C7},
      {static_cast<double>(voltageRangeLimits(5.0F, kOffset).fullScale), 5.0F, 0xFFFF},
      {static_cast<double>(voltageRangeLimits(5.0F, kOffset).zeroScale), 5.0F, 0},
      {1.0, 2.5F, 0x96C1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(codeForVoltage(c.volts, c.vref, kOffset), c.code) << c.volts;
  }
  EXPECT_NEAR(voltageOfCode(0x8000, 5.0F, kOffset), 11.25 - 11.249923706054688, 1e-12);
  EXPECT_NEAR(voltageOfCode(0x8B60, 5.0F, kOffset), 0.99983215, 1e-8);
  EXPECT_NEAR(offsetVoltage(5.0F, kOffset), 11.249923706054688, 1e-12);
}

// A level exactly half-way between two codes goes to the even code.
TEST(DeviceConversions, ForceCodeTieGoesToEven) {
  // With VREF 4 and OFFSET 0 one code step is 18/65536 V, a binary fraction, so the level of
  // code + 0.5 is exact.
  const double step = 18.0 / 65536.0;
  EXPECT_EQ(codeForVoltage(100.5 * step, 4.0F, 0), 100);
  EXPECT_EQ(codeForVoltage(101.5 * step, 4.0F, 0), 102);
  // Current: 65536 * I * R * gain / (4.5 * VREF) = 0.5 with R 1 ohm, gain 8, VREF 4.
  EXPECT_EQ(codeForCurrent(0.5 * 18.0 / (65536.0 * 8.0), 4.0F, 8.0F, 1.0), 32768);
  EXPECT_EQ(codeForCurrent(1.5 * 18.0 / (65536.0 * 8.0), 4.0F, 8.0F, 1.0), 32770);
}

TEST(DeviceConversions, CurrentCodes) {
  struct Case {
    double amps;
    float gain;
    double ohms;
    std::int32_t code;
  };
  const Case cases[] = {
      {1e-6, 10.0F, 200000.0, 0x96C1},  // 1 uA on ±5uA
      {1e-3, 10.0F, 500.0, 0xB8E4},     // 1 mA on ±2mA
      {0.0, 10.0F, 500.0, 0x8000},
      {-2.25 * 1e-3, 10.0F, 500.0, 0},  // Z/S of ±2mA
  };
  for (const auto& c : cases) {
    EXPECT_EQ(codeForCurrent(c.amps, 5.0F, c.gain, c.ohms), c.code) << c.amps;
  }
  // The PMU control window reads the level as single precision before scaling it.
  EXPECT_EQ(codeForCurrent(static_cast<double>(-2.25F) * currentUnitToAmps(3), 5.0F, 10.0F, 500.0),
            0);
  EXPECT_NEAR(currentOfCode(0xB8E4, 5.0F, 10.0F, 500.0), 1.0000305e-3, 1e-9);
  EXPECT_DOUBLE_EQ(currentOfCode(0, 5.0F, 10.0F, 500.0), -2.25e-3);
}

TEST(DeviceConversions, ConversionsNeverOverflow) {
  for (const double level : {kNaN, kInf, -kInf, 1e300, -1e300, 1e12}) {
    EXPECT_FALSE(codeForVoltage(level, 5.0F, kOffset).has_value()) << level;
    EXPECT_FALSE(codeForCurrent(level, 5.0F, 10.0F, 500.0).has_value()) << level;
  }
  // Unguarded divisors: a zero reference gives no code, not a crash.
  EXPECT_FALSE(codeForVoltage(1.0, 0.0F, kOffset).has_value());
  EXPECT_FALSE(codeForCurrent(1.0, 0.0F, 10.0F, 500.0).has_value());
  EXPECT_TRUE(std::isinf(currentOfCode(1, 5.0F, 10.0F, 0.0)));
  // Single-precision stores saturate instead of overflowing.
  EXPECT_TRUE(std::isinf(toSingle(1e300)));
  EXPECT_TRUE(std::isinf(toSingle(-1e300)));
  EXPECT_TRUE(std::isnan(toSingle(kNaN)));
  EXPECT_EQ(toSingle(1.5), 1.5F);
  const RangeLimits huge = voltageRangeLimits(std::numeric_limits<float>::max(),
                                              std::numeric_limits<std::int32_t>::max());
  EXPECT_TRUE(std::isinf(huge.zeroScale));
  const RangeLimits zeroR = currentRangeLimits(5.0F, 10.0F, 0.0);
  EXPECT_TRUE(std::isinf(zeroR.fullScale));
}

struct LimitsCase {
  const char* name;
  float vref;
  float gain;
  int range;  // -1: voltage range
  const char* fullScale;
  const char* zeroScale;
};

class DeviceRangeLimits : public ::testing::TestWithParam<LimitsCase> {};

// F/S and Z/S for both references and every range with both gains, as the window shows them.
TEST_P(DeviceRangeLimits, ShowsFormattedLimits) {
  const LimitsCase& c = GetParam();
  const RangeLimits limits =
      c.range < 0 ? voltageRangeLimits(c.vref, kOffset)
                  : currentRangeLimits(c.vref, c.gain, *senseResistorDisplay(c.range, 100.0));
  EXPECT_EQ(formatFixed(limits.fullScale, 2, 3), c.fullScale);
  EXPECT_EQ(formatFixed(limits.zeroScale, 2, 3), c.zeroScale);
}

INSTANTIATE_TEST_SUITE_P(
    All, DeviceRangeLimits,
    ::testing::Values(LimitsCase{"V_5", 5.0F, 10.0F, -1, "11.250", "-11.250"},
                      LimitsCase{"V_2_5", 2.5F, 10.0F, -1, "05.625", "-05.625"},
                      LimitsCase{"I5uA_5_g10", 5.0F, 10.0F, 0, "05.625", "-05.625"},
                      LimitsCase{"I20uA_5_g10", 5.0F, 10.0F, 1, "22.499", "-22.500"},
                      LimitsCase{"I200uA_5_g10", 5.0F, 10.0F, 2, "224.993", "-225.000"},
                      LimitsCase{"I2mA_5_g10", 5.0F, 10.0F, 3, "02.250", "-02.250"},
                      LimitsCase{"Iext100_5_g10", 5.0F, 10.0F, 4, "11.250", "-11.250"},
                      LimitsCase{"I5uA_5_g5", 5.0F, 5.0F, 0, "11.250", "-11.250"},
                      LimitsCase{"I20uA_5_g5", 5.0F, 5.0F, 1, "44.999", "-45.000"},
                      LimitsCase{"I200uA_5_g5", 5.0F, 5.0F, 2, "449.986", "-450.000"},
                      LimitsCase{"I2mA_5_g5", 5.0F, 5.0F, 3, "04.500", "-04.500"},
                      LimitsCase{"Iext100_5_g5", 5.0F, 5.0F, 4, "22.499", "-22.500"},
                      LimitsCase{"I5uA_2_5_g10", 2.5F, 10.0F, 0, "02.812", "-02.813"},
                      LimitsCase{"I20uA_2_5_g10", 2.5F, 10.0F, 1, "11.250", "-11.250"},
                      LimitsCase{"I200uA_2_5_g10", 2.5F, 10.0F, 2, "112.497", "-112.500"},
                      LimitsCase{"I2mA_2_5_g10", 2.5F, 10.0F, 3, "01.125", "-01.125"},
                      LimitsCase{"Iext100_2_5_g10", 2.5F, 10.0F, 4, "05.625", "-05.625"},
                      LimitsCase{"I5uA_2_5_g5", 2.5F, 5.0F, 0, "05.625", "-05.625"},
                      LimitsCase{"I20uA_2_5_g5", 2.5F, 5.0F, 1, "22.499", "-22.500"},
                      LimitsCase{"I200uA_2_5_g5", 2.5F, 5.0F, 2, "224.993", "-225.000"},
                      LimitsCase{"I2mA_2_5_g5", 2.5F, 5.0F, 3, "02.250", "-02.250"},
                      LimitsCase{"Iext100_2_5_g5", 2.5F, 5.0F, 4, "11.250", "-11.250"}),
    [](const ::testing::TestParamInfo<LimitsCase>& info) { return std::string(info.param.name); });

// Range ends to the digits the board's documentation gives.
TEST(DeviceConversions, WorkedRangeValues) {
  const RangeLimits v5 = voltageRangeLimits(5.0F, kOffset);
  EXPECT_NEAR(v5.fullScale, 11.249733F, 1e-6F);
  EXPECT_NEAR(v5.zeroScale, -11.249924F, 1e-6F);
  const RangeLimits v25 = voltageRangeLimits(2.5F, kOffset);
  EXPECT_NEAR(v25.fullScale, 5.624866F, 1e-6F);
  EXPECT_NEAR(v25.zeroScale, -5.624962F, 1e-6F);
  const double expectedFs[] = {5.6248, 22.4993, 224.9931, 2.2499};
  const double expectedZs[] = {-5.625, -22.5, -225.0, -2.25};
  for (int range = 0; range < 4; ++range) {
    for (const float gain : {10.0F, 5.0F}) {
      const double factor = gain == 10.0F ? 1.0 : 2.0;
      const RangeLimits l = currentRangeLimits(5.0F, gain, *senseResistorDisplay(range, 0));
      EXPECT_NEAR(l.fullScale, expectedFs[range] * factor, 1e-4 * factor) << range;
      EXPECT_NEAR(l.zeroScale, expectedZs[range] * factor, 1e-5 * factor) << range;
    }
  }
}

TEST(DeviceConversions, EffectiveCodeVoltage) {
  // FIN field at its default 8000: 11.25 V - 11.249924 V shows 00.000.
  EXPECT_EQ(formatFixed(effectiveCodeVoltage(0x8000, 5.0F, kOffset), 2, 3), "00.000");
  // Limited to 0..65536 (65536, not 65535).
  EXPECT_EQ(effectiveCodeVoltage(70000, 5.0F, kOffset), effectiveCodeVoltage(65536, 5.0F, kOffset));
  EXPECT_NE(effectiveCodeVoltage(65536, 5.0F, kOffset), effectiveCodeVoltage(65535, 5.0F, kOffset));
  EXPECT_EQ(effectiveCodeVoltage(-5, 5.0F, kOffset), effectiveCodeVoltage(0, 5.0F, kOffset));
  EXPECT_EQ(effectiveCodeVoltage(std::numeric_limits<std::int64_t>::min(), 5.0F, kOffset),
            voltageRangeLimits(5.0F, kOffset).zeroScale);
}

// The channel test's limit edges (VREF 5): 60293 -> 4.5999908 passes 4.6, 60294 -> 4.6000671
// does not; the sweep's double form spans 0 .. VREF too, and half the reference halves it.
TEST(DeviceConversions, AdcCodeToVolts) {
  EXPECT_FLOAT_EQ(adcVoltsSingle(60293, 5.0F), 4.5999908F);
  EXPECT_LE(adcVoltsSingle(60293, 5.0F), 4.6F);
  EXPECT_GT(adcVoltsSingle(60294, 5.0F), 4.6F);
  EXPECT_GE(adcVoltsSingle(57672, 5.0F), 4.4F);
  EXPECT_LT(adcVoltsSingle(57671, 5.0F), 4.4F);
  EXPECT_DOUBLE_EQ(adcVolts(32768, 5.0F), 2.5);
  EXPECT_DOUBLE_EQ(adcVolts(32768, 2.5F), 1.25);
  EXPECT_DOUBLE_EQ(adcVolts(65535, 5.0F), 4.999923706054688);
  EXPECT_DOUBLE_EQ(adcVolts(0, 5.0F), 0.0);
}

}  // namespace
}  // namespace kv4410
