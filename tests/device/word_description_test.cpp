// The texts behind `kv4410ctl decode` and `kv4410ctl convert`.
#include "device/word_description.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "device/conversion_report.h"

namespace kv4410 {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The two start-up words, field by field through the register tables, and the line layout.
TEST(DeviceWordDescription, StartupWords) {
  const std::string pmu = describeWord(0x0F21B300);
  EXPECT_THAT(pmu, StartsWith("0F21B300: write to the PMU register of PMU 0, PMU 1, PMU 2, PMU 3\n"
                              "  bit  21     EN                [CH EN]            ENABLE: 1 = "
                              "enabled\n  bits 20..19 F1 F0             [FORCE]            force "
                              "list: 00 = Force Voltage\n  bit  18     X                       "
                              "             0\n"));
  EXPECT_THAT(pmu, EndsWith("\n  bits 5..0   D5 D4 D3 D2 D1 D0 [UNUSED DATA BITS] 000000\n"));
  for (const char* line :
       {"current-range list: 011 = ±2mA", "measure list: 01 = Measure Voltage",
        "FIN connected to FORCE DAC: 1 = FIN connected to the force DAC",
        "system force/sense list: 00 = Hi-Z SYS_FORCE & SENSE", "Clamp Enable: 1 = enabled",
        "Comparator Output  Enable: 1 = enabled", "compare list: 0 = Compare Current",
        "CLEAR LATCHED BITS: 0 = no clear"}) {
    EXPECT_THAT(pmu, HasSubstr(std::string(" ") + line + "\n"));
  }
  const std::string sys = describeWord(0x003FE4A0);
  EXPECT_THAT(sys, StartsWith("003FE4A0: write to the system control register\n"));
  for (const char* line :
       {"CH3: 1 = enabled", "CH0: 1 = enabled", "CPOLH3: 1 = enabled", "CPOLH0: 1 = enabled",
        "ENABLE COMPARATOR: 1 = enabled", "DUTGND list: 0 = DUTGND PER DEVICE",
        "GUARD ALARM: 0 = disabled", "CLAMP ALARM: 1 = enabled", "FORCE/SENSE 10k: 0 = off",
        "ENABLE GUARD FN: 0 = disabled", "MEASOUT gain list: 1 = MEASOUT GAIN =0.2",
        "current-measure gain list: 0 = I MEAS GAIN = 10", "thermal list: 1 = ENABLED",
        "thermal list: 00 = TJ = 130degC", "latch list: 0 = UNLATCHED", "[UNUSED]           00"}) {
    EXPECT_THAT(sys, HasSubstr(std::string(line) + "\n"));
  }
  EXPECT_THAT(describeWord(0x0F3FFFFF),
              AllOf(HasSubstr("111 = (not used)"), HasSubstr("11 = CONNECT TO FOHx MEASVHx")));
}

TEST(DeviceWordDescription, DacAndReadWords) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0x18C80000,
       "18C80000: read request for the DAC x1 (input) register of PMU 3\n"
       "  address 8 = FIN DAC, level 0 \"±5uA\"\n"},
      {0x025D0007,
       "025D0007: write to the DAC M (gain) register of PMU 1\n"
       "  address 29 = CLH DAC, level 5 \"Voltage Range\"\n"
       "  code 0007 (7)\n"},
      {0x04C0A492,
       "04C0A492: write to the DAC x1 (input) register of PMU 2\n"
       "  address 0 = OFFSET DAC\n"
       "  code A492 (42130)\n"},
      {0x0E800001,
       "0E800001: write to the DAC C (offset) register of PMU 1, PMU 2, PMU 3\n"
       "  address 0 = OFFSET DAC (which has only an x1 register)\n"
       "  code 0001 (1)\n"},
      {0x01CE0000,
       "01CE0000: write to the DAC x1 (input) register of PMU 0\n"
       "  address 14 (not a DAC of the address map)\n"
       "  code 0000 (0)\n"},
      {0x10400000, "10400000: read request for the comparator status register\n"},
      {0x10C00000, "10C00000: read request for the alarm status register\n"},
      {0x19000000,
       "19000000: read request for the PMU register of PMU 0, PMU 3\n"
       "  (several channel bits: which channel answers is the chip's matter)\n"},
      {0x00400000, "00400000: write that selects no register (mode 01 without a channel bit)\n"},
      {0xF0800000,
       "10800000: read request that selects no register (mode 10 without a channel bit)\n"}};
  for (const auto& [word, text] : cases) {
    EXPECT_EQ(describeWord(word), text);
  }
}

ConversionRequest request(std::optional<int> range, double ohms, std::optional<double> level,
                          std::optional<std::int32_t> code = {}) {
  return {5.0F, kDefaultOffsetCode, range, 10.0F, ohms, level, code};
}

TEST(DeviceConversionReport, Reports) {
  ConversionReport report = describeConversion(request({}, 100, 1.0));
  EXPECT_TRUE(report.ok) << report.error;
  EXPECT_EQ(report.text,
            "range   voltage (VREF 5 V, OFFSET A492)\nF/S     11.250 V\nZ/S     -11.250 V\n"
            "level   1 V\ncode    8B60 (35680)\nback    0.999832153320312 V\n");
  report = describeConversion(request(3, 100, {}, 0xB8E4));
  EXPECT_TRUE(report.ok) << report.error;
  EXPECT_EQ(report.text,
            "range   ±2mA (Rsense 500 ohm, MI gain 10, VREF 5 V)\nF/S     02.250 mA\n"
            "Z/S     -02.250 mA\ncode    B8E4 (47332)\nlevel   1.00003051757812 mA\n");
  EXPECT_THAT(describeConversion(request(0, 100, 1.0)).text,
              AllOf(HasSubstr("code    96C1"), HasSubstr(" uA\n")));
  EXPECT_THAT(describeConversion(request({}, 100, -11.25)).text, HasSubstr("code    0000 (0)\n"));
  ConversionRequest lowOffset = request({}, 100, 1.0);
  lowOffset.offsetCode = 0x800;
  EXPECT_THAT(describeConversion(lowOffset).text, HasSubstr("(VREF 5 V, OFFSET 0800)\n"));
}

TEST(DeviceConversionReport, RefusesWithOneLine) {
  const char* noRange = "no such current range, or a sense resistor that is not positive";
  const std::pair<ConversionRequest, const char*> cases[] = {
      {request({}, 100, 11.26),
       "11.26 V is outside the range -11.250 to 11.250 V (codes 0000 to FFFF)"},
      // Shown as the F/S limit, so refused for its code.
      {request({}, 100, 11.2501), "11.2501 V needs FIN DAC code 65536 (0x10000); the codes"},
      {request({}, 100, std::numeric_limits<double>::quiet_NaN()), "NaN V is outside the range"},
      {request(0, 100, 5.7), "5.7 uA is outside the range -05.625 to 05.625 uA"},
      {request({}, 100, {}, 0x10000), "code 10000 is outside 0000 to FFFF"},
      {request({}, 100, {}, -1), "code FFFFFFFF is outside 0000 to FFFF"},
      {request({}, 100, {}), "give a level or a code"},
      {request(4, 0.0, 1.0), noRange},
      {request(7, 100, 1.0), noRange}};
  for (const auto& [r, error] : cases) {
    const ConversionReport report = describeConversion(r);
    EXPECT_FALSE(report.ok) << error;
    EXPECT_THAT(report.error, StartsWith(error));
  }
}

}  // namespace
}  // namespace kv4410
