// The texts behind `kv4410ctl decode` and `kv4410ctl convert`.
#include "device/word_description.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "device/conversion_report.h"

namespace kv4410 {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(DeviceWordDescription, ChannelList) {
  EXPECT_EQ(channelListText(0x5), "PMU 0, PMU 2");
  EXPECT_EQ(channelListText(0xF), "PMU 0, PMU 1, PMU 2, PMU 3");
  EXPECT_EQ(channelListText(0), "no channel");
}

TEST(DeviceWordDescription, StartupPmuWord) {
  const std::string text = describeWord(0x0F21B300);
  EXPECT_THAT(
      text, AllOf(HasSubstr("0F21B300: write to the PMU register of PMU 0, PMU 1, PMU 2, "
                            "PMU 3\n"),
                  HasSubstr("ENABLE: 1 = enabled"), HasSubstr("00 = Force Voltage"),
                  HasSubstr("011 = ±2mA"), HasSubstr("01 = Measure Voltage"),
                  HasSubstr("1 = FIN connected to the force DAC"),
                  HasSubstr("00 = Hi-Z SYS_FORCE & SENSE"), HasSubstr("Clamp Enable: 1 = enabled"),
                  HasSubstr("Comparator Output  Enable: 1 = enabled"),
                  HasSubstr("0 = Compare Current"), HasSubstr("0 = no clear")));
}

TEST(DeviceWordDescription, StartupSystemWord) {
  const std::string text = describeWord(0x003FE4A0);
  EXPECT_THAT(text, AllOf(HasSubstr("003FE4A0: write to the system control register\n"),
                          HasSubstr("CH3: 1 = enabled"), HasSubstr("CPOLH0: 1 = enabled"),
                          HasSubstr("0 = DUTGND PER DEVICE"), HasSubstr("GUARD ALARM: 0"),
                          HasSubstr("CLAMP ALARM: 1"), HasSubstr("1 = MEASOUT GAIN =0.2"),
                          HasSubstr("0 = I MEAS GAIN = 10"), HasSubstr("1 = ENABLED"),
                          HasSubstr("00 = TJ = 130degC"), HasSubstr("0 = UNLATCHED")));
}

TEST(DeviceWordDescription, DacAndReadWords) {
  struct Case {
    std::uint32_t word;
    const char* text;
  };
  const Case cases[] = {
      {0x18C80000,
       "18C80000: read request for the DAC x1 (input) register of PMU 3\n"
       "  address 8 = FIN DAC, level 0 \"±5uA\"\n"},
      {0x0FCD1234,
       "0FCD1234: write to the DAC x1 (input) register of PMU 0, PMU 1, PMU 2, PMU 3\n"
       "  address 13 = FIN DAC, level 5 \"Voltage Range\"\n"
       "  code 1234 (4660)\n"},
      {0x025D0007,
       "025D0007: write to the DAC M (gain) register of PMU 1\n"
       "  address 29 = CLH DAC, level 5 \"Voltage Range\"\n"
       "  code 0007 (7)\n"},
      {0x04C0A492,
       "04C0A492: write to the DAC x1 (input) register of PMU 2\n"
       "  address 0 = OFFSET DAC\n"
       "  code A492 (42130)\n"},
      {0x01CE0000,
       "01CE0000: write to the DAC x1 (input) register of PMU 0\n"
       "  address 14 (not a DAC of the address map)\n"
       "  code 0000 (0)\n"},
      {0x10000000, "10000000: read request for the system control register\n"},
      {0x10400000, "10400000: read request for the comparator status register\n"},
      {0x10C00000, "10C00000: read request for the alarm status register\n"},
      {0x11000000, "11000000: read request for the PMU register of PMU 0\n"},
      {0x19000000,
       "19000000: read request for the PMU register of PMU 0, PMU 3\n"
       "  (several channel bits: which channel answers is the chip's matter)\n"},
      {0x00400000, "00400000: write that selects no register (mode 01 without a channel bit)\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(describeWord(c.word), c.text);
  }
  EXPECT_THAT(describeWord(0x0E400000), HasSubstr("OFFSET DAC (which has only an x1 register)"));
}

TEST(DeviceConversionReport, VoltageRange) {
  ConversionRequest r;
  r.level = 1.0;
  const ConversionReport report = describeConversion(r);
  ASSERT_TRUE(report.ok) << report.error;
  EXPECT_THAT(report.text, AllOf(HasSubstr("F/S     11.250 V\n"), HasSubstr("Z/S     -11.250 V\n"),
                                 HasSubstr("code    8B60 (35680)\n"),
                                 HasSubstr("back    0.999832153320312 V\n")));
}

TEST(DeviceConversionReport, CurrentRanges) {
  ConversionRequest r;
  r.rangeIndex = 3;
  r.code = 0xB8E4;
  ConversionReport report = describeConversion(r);
  ASSERT_TRUE(report.ok) << report.error;
  EXPECT_THAT(report.text, AllOf(HasSubstr("±2mA"), HasSubstr("F/S     02.250 mA\n"),
                                 HasSubstr("level   1.00003051757812 mA\n")));
  r.code.reset();
  r.rangeIndex = 0;
  r.level = 1.0;
  report = describeConversion(r);
  ASSERT_TRUE(report.ok) << report.error;
  EXPECT_THAT(report.text, AllOf(HasSubstr("code    96C1"), HasSubstr("uA")));
}

TEST(DeviceConversionReport, OutOfRangeIsReportedNotCrashed) {
  for (const double level : {11.26, -11.26, 1e300, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()}) {
    ConversionRequest r;
    r.level = level;
    const ConversionReport report = describeConversion(r);
    EXPECT_FALSE(report.ok) << level;
    EXPECT_THAT(report.error,
                AllOf(HasSubstr("outside the range -11.250 to 11.250 V"), Not(HasSubstr("\n"))));
  }
  ConversionRequest code;
  code.code = 0x10000;
  EXPECT_FALSE(describeConversion(code).ok);
  code.code = -1;
  EXPECT_FALSE(describeConversion(code).ok);
  ConversionRequest none;
  EXPECT_FALSE(describeConversion(none).ok);
  ConversionRequest zeroR;
  zeroR.rangeIndex = 4;
  zeroR.externalOhms = 0.0;
  zeroR.level = 1.0;
  EXPECT_FALSE(describeConversion(zeroR).ok);
  ConversionRequest badRange;
  badRange.rangeIndex = 7;
  badRange.level = 1.0;
  EXPECT_FALSE(describeConversion(badRange).ok);
}

}  // namespace
}  // namespace kv4410
