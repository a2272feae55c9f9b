#include "device/readback.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/dac_words.h"

namespace kv4410 {
namespace {

using ::testing::ElementsAre;

// PMU4 does not exist: no channel bit. DAC addresses are masked to 6 bits.
TEST(DeviceReadback, RequestWordsAndReplyBytes) {
  const std::int32_t pmu[] = {0x11000000, 0x12000000, 0x14000000, 0x18000000, 0x10000000};
  for (int channel = 0; channel <= 4; ++channel) {
    EXPECT_EQ(pmuReadRequest(channel), pmu[channel]) << channel;
  }
  EXPECT_EQ(dacReadRequest(3, kModeX1, 8), 0x18C80000);
  EXPECT_EQ(dacReadRequest(0, kModeM, 29), 0x115D0000);
  EXPECT_EQ(dacReadRequest(1, kModeC, 45), 0x12AD0000);
  EXPECT_EQ(dacReadRequest(-1, kModeX1, 0x7F), 0x10FF0000);
}

// Everything the system control read page shows, in the order of the page.
std::string shown(const SystemReadback& s) {
  std::string text;
  for (const auto& label : s.clampLabels) {
    text += label + ", ";
  }
  for (const auto& label : s.cpolhLabels) {
    text += label + ", ";
  }
  text += std::string(s.cpolhVisible ? "shown" : "hidden") + " | " + s.cpBias + ", " + s.dutGnd +
          ", " + s.guardAlarm + ", " + s.clampAlarm + ", " + s.forceSense + ", " + s.guardEnable +
          ", " + s.gain[1] + ", " + s.gain[0] + " | " + s.thermal + " " + s.shutdownTemperature +
          (s.shutdownTemperatureVisible ? " shown" : " hidden") + ", " + s.latched;
  return text;
}

// Bit 13 clear hides the CPOLH labels even with bits 17..14 set; their texts still follow. The
// shutdown temperature shows only when bit 5 enables the shutdown.
TEST(DeviceReadback, SystemPage) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0x3FE4A0,
       "CH0 Enabled, CH1 Enabled, CH2 Enabled, CH3 Enabled, CPOLH0 Enabled, CPOLH1 Enabled, "
       "CPOLH2 Enabled, CPOLH3 Enabled, shown | CPBIASEN Enabled, DUTGND/CH Disabled, GUARD ALM "
       "Disabled, CLAMP ALM Enabled, INT 10K Disabled, GUARD Disabled, GAIN1 = 1, GAIN0 = 0 | "
       "Enabled 130degC shown, UNLATCHED"},
      {0x03DFDC,
       "CH0 Disabled, CH1 Disabled, CH2 Disabled, CH3 Disabled, CPOLH0 Enabled, CPOLH1 Enabled, "
       "CPOLH2 Enabled, CPOLH3 Enabled, hidden | CPBIASEN Disabled, DUTGND/CH Enabled, GUARD ALM "
       "Enabled, CLAMP ALM Enabled, INT 10K Enabled, GUARD Enabled, GAIN1 = 1, GAIN0 = 1 | "
       "Disabled  hidden, LATCHED"},
      {0x3C2028,
       "CH0 Enabled, CH1 Enabled, CH2 Enabled, CH3 Enabled, CPOLH0 Disabled, CPOLH1 Disabled, "
       "CPOLH2 Disabled, CPOLH3 Disabled, shown | CPBIASEN Enabled, DUTGND/CH Disabled, GUARD ALM "
       "Disabled, CLAMP ALM Disabled, INT 10K Disabled, GUARD Disabled, GAIN1 = 0, GAIN0 = 0 | "
       "Enabled 120degC shown, UNLATCHED"}};
  for (const auto& [answer, text] : cases) {
    EXPECT_EQ(shown(decodeSystemReadback(answer)), text) << std::hex << answer;
  }
  EXPECT_EQ(decodeSystemReadback(0x30).shutdownTemperature, "110degC");
  EXPECT_EQ(decodeSystemReadback(0x38).shutdownTemperature, "100degC");
}

// Bits 17..15 = 101 (and 100) select the external range; bits 11..10 = 10 or 01 are
// disconnected.
TEST(DeviceReadback, PmuLabels) {
  EXPECT_THAT(
      decodePmuReadback(0x21B360).labels,
      ElementsAre("CHANNEL ENABLED", "FORCE VOLTAGE MODE", "±2mA CURRENT RANGE", "MEASOUT = VSENSE",
                  " FORCE AMP TIED TO FINDAC", "SYSTEM SENSE/FORCE DISCONNECTED", "CLAMP ENABLED",
                  "COMPARATOR ENABLED", "COMPARE CURRENT"));
  EXPECT_THAT(
      decodePmuReadback(0x18EC80).labels,
      ElementsAre("CHANNEL DISABLED", "Hi-Z FOH Current", "±20uA CURRENT RANGE", "MEASOUT HI-Z",
                  "FORCE AMP TIED TO FINGND", "SYSTEM SENSE/FORCE CONNECTED", "CLAMP DISABLED",
                  "COMPARATOR DISABLED", "COMPARE VOLTAGE"));
  const std::tuple<std::uint32_t, std::size_t, const char*> cases[] = {
      {0x028000, 2, "±EXTERNAL CURRENT RANGE"}, {0x000000, 2, "±5uA CURRENT RANGE"},
      {0x010000, 2, "±200uA CURRENT RANGE"},    {0x000800, 5, "SYSTEM SENSE/FORCE DISCONNECTED"},
      {0x080000, 1, "FORCE CURRENT MODE"},      {0x100000, 1, "Hi-Z FOH Voltage"},
      {0x004000, 3, "MEASOUT = TEMP SENSOR"},   {0x000000, 3, "MEASOUT = ISENSE"}};
  for (const auto& [answer, label, text] : cases) {
    EXPECT_EQ(decodePmuReadback(answer).labels[label], text) << std::hex << answer;
  }
}

// Bit 5 of a PMU answer drives cmdTEMP(2), bit 6 cmdTEMP(3); alarm bits 21 and 20 cmdTEMP(0)
// and (1). A 1 is a green "OK", a 0 a red "TOO HOT".
TEST(DeviceReadback, TemperatureLamps) {
  const PmuReadback pmu = decodePmuReadback(0x20);
  const AlarmReadback latched = decodeAlarmReadback(0x200000);
  const std::pair<LampState, bool> lamps[] = {{pmu.unlatchedTemp, true},   {pmu.latchedTemp, false},
                                              {latched.latchedTemp, true}, {latched.temp, false},
                                              {lampFor(true), true},       {lampFor(false), false}};
  for (const auto& [l, ok] : lamps) {
    EXPECT_EQ(std::string(l.caption) + (l.ok ? " ok " : " hot ") + std::to_string(l.red) + "," +
                  std::to_string(l.green) + "," + std::to_string(l.blue),
              ok ? "OK ok 0,128,0" : "TOO HOT hot 255,0,0");
  }
  EXPECT_TRUE(decodeAlarmReadback(0x100000).temp.ok);
  EXPECT_TRUE(decodePmuReadback(0x40).latchedTemp.ok);
}

// Without the mode bits the offset difference is negative: shown as its two's complement.
TEST(DeviceReadback, DacCodes) {
  EXPECT_EQ(offsetDacFromReadback(0xC0A492), 0xA492);
  EXPECT_EQ(offsetDacFromReadback(0x00A492), 0xA492 - 0xC00000);
  EXPECT_EQ(dacCodeFromReadback(0xC81234), 0x1234);
  EXPECT_EQ(dacCodeFromReadback(0xFFFFFFFF), 0x100FFFF);
  EXPECT_EQ(readbackValue(0x34, 0x12, 0xAB), 0xAB1234u);
}

}  // namespace
}  // namespace kv4410
