#include "device/register_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace kv4410 {
namespace {

using ::testing::ElementsAre;

// The windows compose through the tables: the start-up words and the page examples.
TEST(DeviceRegisterMap, ComposesWordsFromTheTables) {
  const RegisterDef& sys = systemControlRegister();
  std::uint32_t word = 0;
  for (const char* key :
       {"CLAMP_EN3", "CLAMP_EN2", "CLAMP_EN1", "CLAMP_EN0", "COMP_EN3", "COMP_EN2", "COMP_EN1",
        "COMP_EN0", "CP_BIAS", "CLAMP_ALARM", "GAIN1", "THERMAL_EN"}) {
    word = composeField(word, sys.field(key), 1);
  }
  EXPECT_EQ(word, 0x003FE4A0u);
  EXPECT_EQ(composeField(word, sys.field("CLAMP_EN2"), 0), 0x002FE4A0u);
  EXPECT_EQ(composeField(word, sys.field("SHUTDOWN_TEMP"), 3), 0x003FE4B8u);

  const RegisterDef& pmu = pmuRegister();
  std::uint32_t p = 0x0F000000;
  for (const auto& [key, value] : {std::pair{"ENABLE", 1},
                                   {"RANGE", 3},
                                   {"MEASURE", 1},
                                   {"FIN", 1},
                                   {"CLAMP", 1},
                                   {"COMP", 1}}) {
    p = composeField(p, pmu.field(key), value);
  }
  EXPECT_EQ(p, 0x0F21B300u);
  EXPECT_EQ(composeField(p, pmu.field("FORCE"), 1), 0x0F29B300u);
  EXPECT_EQ(composeField(p, pmu.field("SYS_FORCE_SENSE"), 2), 0x0F21BB00u);
  // The value is masked to the field: it never spills into a neighbour.
  EXPECT_EQ(composeField(0, pmu.field("FORCE"), 0xFF), 0x00180000u);
  // The list offers the set bit first.
  EXPECT_THAT(systemControlRegister().field("DUTGND").listValues, ElementsAre(1u, 0u));
  EXPECT_THAT(systemControlRegister().field("GAIN1").listValues, ElementsAre(1u, 0u));
  EXPECT_TRUE(pmuRegister().field("FORCE").listValues.empty());
  EXPECT_EQ(pmuRegister().field("RANGE").valueText(6), "ENABLE INT RANGE");
  EXPECT_EQ(pmuRegister().field("RANGE").valueText(7), "");  // 111 is not used
  EXPECT_THROW(pmuRegister().field("NOPE"), std::out_of_range);
}

// The thermal and latch lists set several fields at once; both windows compose through these.
TEST(DeviceRegisterMap, ThermalAndLatchLists) {
  const std::uint32_t dirty = 0x003FE4A0 | 0x1F;  // every bit the lists own, set
  const std::pair<int, std::uint32_t> rows[] = {{0, 0x003FE484},  {1, 0x003FE4A4}, {2, 0x003FE4A4},
                                                {3, 0x003FE4AC},  {4, 0x003FE4B4}, {5, 0x003FE4BC},
                                                {-1, 0x003FE484}, {6, 0x003FE484}};
  for (const auto& [entry, word] : rows) {
    EXPECT_EQ(composeThermalList(dirty, entry), word) << "entry " << entry;
  }
  EXPECT_EQ(thermalListItems()[5], "TJ = 100degC");
  EXPECT_EQ(composeLatchList(0x003FE4A3, 0), 0x003FE4A0u);  // clears bits 2..0
  EXPECT_EQ(composeLatchList(0x003FE4A3, 1), 0x003FE4A7u);  // sets bit 2 only
  EXPECT_EQ(composeLatchList(0x003FE4A3, -1), 0x003FE4A3u);
}

// A display as its frame caption, its bit captions from the highest bit down ('*': printed bold,
// 1 means no alarm) and its group captions with the bits they span.
std::string layoutText(Display display) {
  const DisplayLayout& l = displayLayout(display);
  std::string text = std::string(l.frameCaption) + ":";
  for (int bit = l.bitCount - 1; bit >= 0; --bit) {
    const BitCaption& b = l.bits.at(static_cast<std::size_t>(bit));
    text += " " + std::string(b.caption) + (b.activeLow ? "*" : "");
  }
  for (const GroupSpan& g : l.groups) {
    text += "|" + std::string(g.caption) + " " + std::to_string(g.highBit) + "-" +
            std::to_string(g.lowBit);
  }
  return text;
}

TEST(DeviceRegisterMap, BitDisplays) {
  const std::string head = " R/W CH3 CH2 CH1 CH0 M1 M2";
  const std::string dac = head +
                          " A5 A4 A3 A2 A1 A0 D15 D14 D13 D12 D11 D10 D9 D8 D7 D6 D5 D4 D3 D2 D1 D0"
                          "|CHANNEL ADDRESS 27-24|MODE 23-22|ADDRESS 21-16|DATA BITS 15-0";
  EXPECT_EQ(layoutText(Display::DacInput), "DAC INPUT REGISTER:" + dac);
  EXPECT_EQ(layoutText(Display::ReadDac), "DAC REGISTER:" + dac);
  const std::string sys =
      "SYSTEM CONTROL REGISTER:" + head +
      " CL3 CL2 CL1 CL0 C3 C2 C1 C0 CPEN DUT GRD CLM 10k EN G1 G0 EN D4 D3 L D1 D0"
      "|CHANNEL ADDRESS 27-24|MODE 23-22|CLAMP ENABLE 21-18|COMP ENABLE 17-14|";
  const std::string sysLow =
      "|ALARMS 11-10|10K 9-9|GRD 8-8|GAIN 7-6|TMP 5-5|S/DOWN 4-3|LATCHED 2-2|UNUSED 1-0";
  EXPECT_EQ(layoutText(Display::SystemControl), sys + "CP BIAS 13-13|DUT GND 12-12" + sysLow);
  EXPECT_EQ(layoutText(Display::ReadSystem), sys + "CP BIAS EN 13-13|DUTGND 12-12" + sysLow);
  const std::string pmu = head + " EN F1 F0 X C2 C1 C0 M1 M0 FIN SF0 SS0 CLAMP ";
  const std::string pmuGroups =
      "|CHANNEL ADDRESS 27-24|MODE 23-22|CH EN 21-21|FORCE 20-19|CURRENT RANGE 17-15|MEASURE "
      "14-13|FIN 12-12|SYS FORCE /SENSE 11-10|CLAMP 9-9|COMP 8-8|COMPARE 7-7|";
  EXPECT_EQ(layoutText(Display::PmuInput), "PMU INPUT REGISTER:" + pmu +
                                               "COMP C V/I CLEAR D5 D4 D3 D2 D1 D0" + pmuGroups +
                                               "CLEAR 6-6|UNUSED DATA BITS 5-0");
  EXPECT_EQ(layoutText(Display::ReadPmu), "PMU REGISTER:" + pmu +
                                              "CPOLH C V/I LATCHED* UNLATCHed* 4 3 2 1 0" +
                                              pmuGroups + "TEMP ALARM 6-5");
  EXPECT_EQ(layoutText(Display::ComparatorStatus),
            "COMPARATOR STATUS REGISTER: M1 M2 CPOL0 CPOH0 CPOL1 CPOH1 CPOL2 CPOH2 CPOL3 CPOH3 D13 "
            "D12 D11 D10 D9 D8 D7 D6 D5 D4 D3 D2 D1 D0|MODE 23-22|COMPARATOR OUTPUT STATUS "
            "21-14|UNUSED DATA BITS 13-0");
  EXPECT_EQ(
      layoutText(Display::AlarmStatus),
      "ALARM STATUS REGISTER: M1 M2 LTMPALM* TMPALM* LG0* GO* LG1* G1* LG2* G2* LG3* G3* LC0* "
      "C0* LC1* C1* LC2* C2* LC3* C3* D3 D2 D1 D0|MODE 23-22|TEMP ALARM 21-20|GUARD ALARM "
      "19-12|CLAMP ALARM 11-4|UNUSED DATA BITS 3-0");
}

std::string boxes(Display display, std::int32_t code) {
  const std::vector<char> bits = displayBits(display, code);
  return std::string(bits.rbegin(), bits.rend());
}

TEST(DeviceRegisterMap, DisplayBits) {
  EXPECT_EQ(boxes(Display::PmuInput, 0x0F21B300), "01111001000011011001100000000");
  EXPECT_EQ(boxes(Display::DacInput, 0x1FFFFFFF), std::string(29, '1'));
  // The write displays refuse words outside 0..0x1FFFFFFF: the boxes keep what they showed.
  for (const Display d : {Display::DacInput, Display::PmuInput, Display::SystemControl}) {
    EXPECT_EQ(boxes(d, 0x20000000), "");
    EXPECT_EQ(boxes(d, -1), "");
  }
  // Readback displays take the low bits as they are.
  EXPECT_EQ(boxes(Display::ReadSystem, -1), std::string(29, '1'));
  EXPECT_EQ(boxes(Display::AlarmStatus, 0x300000), "001100000000000000000000");
}

}  // namespace
}  // namespace kv4410
