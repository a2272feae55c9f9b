#include "device/readback.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kv4410 {
namespace {

using ::testing::ElementsAre;

TEST(DeviceReadback, RequestWords) {
  EXPECT_EQ(pmuReadRequest(0), 0x11000000);
  EXPECT_EQ(pmuReadRequest(1), 0x12000000);
  EXPECT_EQ(pmuReadRequest(2), 0x14000000);
  EXPECT_EQ(pmuReadRequest(3), 0x18000000);
  EXPECT_EQ(pmuReadRequest(4), 0x10000000);  // no such channel: no channel bit
  EXPECT_EQ(pmuReadRequest(-1), 0x10000000);
  EXPECT_EQ(dacReadRequest(3, 0xC00000, 8), 0x18C80000);  // the page's start-up request
  EXPECT_EQ(dacReadRequest(0, 0x400000, 29), 0x115D0000);
  EXPECT_EQ(dacReadRequest(1, 0x800000, 45), 0x12AD0000);
  EXPECT_EQ(kReadOffsetDacRequest, 0x1FC00000);
}

TEST(DeviceReadback, ValueFromReplyBytes) {
  EXPECT_EQ(readbackValue(0x92, 0xA4, 0xC0), 0xC0A492u);
  EXPECT_EQ(readbackValue(0xFF, 0xFF, 0xFF), 0xFFFFFFu);
  EXPECT_EQ(readbackValue(0, 0, 0), 0u);
}

TEST(DeviceReadback, Lamps) {
  const LampState ok = lampFor(true);
  EXPECT_TRUE(ok.ok);
  EXPECT_EQ(ok.caption, "OK");
  EXPECT_EQ(ok.red, 0);
  EXPECT_EQ(ok.green, 128);
  EXPECT_EQ(ok.blue, 0);
  const LampState hot = lampFor(false);
  EXPECT_FALSE(hot.ok);
  EXPECT_EQ(hot.caption, "TOO HOT");
  EXPECT_EQ(hot.red, 255);
  EXPECT_EQ(hot.green, 0);
  EXPECT_EQ(hot.blue, 0);
}

TEST(DeviceReadback, SystemThermalShutdown) {
  struct Case {
    std::uint32_t answer;
    const char* thermal;
    const char* temperature;
    bool visible;
  };
  const Case cases[] = {
      {0x000020, "Enabled", "130degC", true}, {0x000028, "Enabled", "120degC", true},
      {0x000030, "Enabled", "110degC", true}, {0x000038, "Enabled", "100degC", true},
      {0x000018, "Disabled", "", false},      {0x000000, "Disabled", "", false},
  };
  for (const auto& c : cases) {
    const SystemReadback s = decodeSystemReadback(c.answer);
    EXPECT_EQ(s.thermal, c.thermal) << std::hex << c.answer;
    EXPECT_EQ(s.shutdownTemperature, c.temperature) << std::hex << c.answer;
    EXPECT_EQ(s.shutdownTemperatureVisible, c.visible) << std::hex << c.answer;
  }
}

TEST(DeviceReadback, SystemLabels) {
  const SystemReadback s = decodeSystemReadback(0x3FE4A0);
  EXPECT_THAT(s.clampLabels,
              ElementsAre("CH0 Enabled", "CH1 Enabled", "CH2 Enabled", "CH3 Enabled"));
  EXPECT_THAT(s.cpolhLabels,
              ElementsAre("CPOLH0 Enabled", "CPOLH1 Enabled", "CPOLH2 Enabled", "CPOLH3 Enabled"));
  EXPECT_TRUE(s.cpolhVisible);
  EXPECT_EQ(s.cpBias, "CPBIASEN Enabled");
  EXPECT_EQ(s.dutGnd, "DUTGND/CH Disabled");
  EXPECT_EQ(s.guardAlarm, "GUARD ALM Disabled");
  EXPECT_EQ(s.clampAlarm, "CLAMP ALM Enabled");
  EXPECT_EQ(s.forceSense, "INT 10K Disabled");
  EXPECT_EQ(s.guardEnable, "GUARD Disabled");
  EXPECT_EQ(s.gain[1], "GAIN1 = 1");
  EXPECT_EQ(s.gain[0], "GAIN0 = 0");
  EXPECT_EQ(s.latched, "UNLATCHED");

  // Bit 13 clear hides the CPOLH labels even with bits 17..14 set; their texts still follow.
  const SystemReadback hidden = decodeSystemReadback(0x03DFDC);
  EXPECT_FALSE(hidden.cpolhVisible);
  EXPECT_EQ(hidden.cpBias, "CPBIASEN Disabled");
  EXPECT_THAT(hidden.cpolhLabels,
              ElementsAre("CPOLH0 Enabled", "CPOLH1 Enabled", "CPOLH2 Enabled", "CPOLH3 Enabled"));
  EXPECT_THAT(hidden.clampLabels,
              ElementsAre("CH0 Disabled", "CH1 Disabled", "CH2 Disabled", "CH3 Disabled"));
  EXPECT_EQ(hidden.dutGnd, "DUTGND/CH Enabled");
  EXPECT_EQ(hidden.forceSense, "INT 10K Enabled");
  EXPECT_EQ(hidden.guardEnable, "GUARD Enabled");
  EXPECT_EQ(hidden.gain[0], "GAIN0 = 1");
  EXPECT_EQ(hidden.latched, "LATCHED");
}

TEST(DeviceReadback, PmuLabels) {
  // Start-up PMU state with no temperature alarm (bits 6 and 5 read 1).
  const PmuReadback p = decodePmuReadback(0x21B360);
  EXPECT_THAT(p.labels, ElementsAre("CHANNEL ENABLED", "FORCE VOLTAGE MODE", "±2mA CURRENT RANGE",
                                    "MEASOUT = VSENSE", " FORCE AMP TIED TO FINDAC",
                                    "SYSTEM SENSE/FORCE DISCONNECTED", "CLAMP ENABLED",
                                    "COMPARATOR ENABLED", "COMPARE CURRENT"));
  EXPECT_EQ(p.unlatchedTemp.caption, "OK");
  EXPECT_EQ(p.latchedTemp.caption, "OK");

  const PmuReadback q = decodePmuReadback(0x18EC80);
  EXPECT_THAT(q.labels, ElementsAre("CHANNEL DISABLED", "Hi-Z FOH Current", "±20uA CURRENT RANGE",
                                    "MEASOUT HI-Z", "FORCE AMP TIED TO FINGND",
                                    "SYSTEM SENSE/FORCE CONNECTED", "CLAMP DISABLED",
                                    "COMPARATOR DISABLED", "COMPARE VOLTAGE"));
  EXPECT_EQ(q.unlatchedTemp.caption, "TOO HOT");
  EXPECT_EQ(q.latchedTemp.caption, "TOO HOT");

  struct Case {
    std::uint32_t answer;
    std::size_t label;
    const char* text;
  };
  const Case cases[] = {
      {0x028000, 2, "±EXTERNAL CURRENT RANGE"},  // bits 17..15 = 101
      {0x038000, 2, "±EXTERNAL CURRENT RANGE"},
      {0x020000, 2, "±EXTERNAL CURRENT RANGE"},
      {0x000000, 2, "±5uA CURRENT RANGE"},
      {0x010000, 2, "±200uA CURRENT RANGE"},
      {0x000800, 5, "SYSTEM SENSE/FORCE DISCONNECTED"},  // bits 11..10 = 10
      {0x000400, 5, "SYSTEM SENSE/FORCE DISCONNECTED"},
      {0x000C00, 5, "SYSTEM SENSE/FORCE CONNECTED"},
      {0x080000, 1, "FORCE CURRENT MODE"},
      {0x100000, 1, "Hi-Z FOH Voltage"},
      {0x004000, 3, "MEASOUT = TEMP SENSOR"},
      {0x000000, 3, "MEASOUT = ISENSE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodePmuReadback(c.answer).labels[c.label], c.text) << std::hex << c.answer;
  }
  // Bit 5 drives cmdTEMP(2), bit 6 cmdTEMP(3).
  EXPECT_TRUE(decodePmuReadback(0x20).unlatchedTemp.ok);
  EXPECT_FALSE(decodePmuReadback(0x20).latchedTemp.ok);
  EXPECT_TRUE(decodePmuReadback(0x40).latchedTemp.ok);
}

TEST(DeviceReadback, AlarmLamps) {
  const AlarmReadback ok = decodeAlarmReadback(0x300000);
  EXPECT_EQ(ok.latchedTemp.caption, "OK");
  EXPECT_EQ(ok.temp.caption, "OK");
  const AlarmReadback hot = decodeAlarmReadback(0);
  EXPECT_EQ(hot.latchedTemp.caption, "TOO HOT");
  EXPECT_EQ(hot.temp.caption, "TOO HOT");
  EXPECT_TRUE(decodeAlarmReadback(0x200000).latchedTemp.ok);
  EXPECT_FALSE(decodeAlarmReadback(0x200000).temp.ok);
}

TEST(DeviceReadback, DacCodes) {
  EXPECT_EQ(offsetDacFromReadback(0xC0A492), 0xA492);
  // Without the mode bits the difference is negative: shown as its two's complement.
  EXPECT_EQ(offsetDacFromReadback(0x00A492), 0xA492 - 0xC00000);
  EXPECT_EQ(offsetDacFromReadback(0), -0xC00000);
  EXPECT_EQ(offsetDacFromReadback(0xFFFFFFFF), -0xC00001);
  EXPECT_EQ(dacCodeFromReadback(0xC81234), 0x1234);
  EXPECT_EQ(dacCodeFromReadback(0xFFFFFFFF), 0x100FFFF);
}

}  // namespace
}  // namespace kv4410
