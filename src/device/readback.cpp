#include "device/readback.h"

#include "device/serial_word.h"

namespace kv4410 {

namespace {

bool bit(std::uint32_t value, int n) {
  return ((value >> n) & 1u) != 0;
}

std::string enabledText(std::string_view what, bool on) {
  return std::string(what) + (on ? " Enabled" : " Disabled");
}

}  // namespace

std::int32_t pmuReadRequest(int channel) {
  const std::uint32_t channelBits =
      channel >= 0 && channel < kChannelCount ? channelBit(channel) : 0u;
  return static_cast<std::int32_t>(kReadBit | channelBits);
}

std::int32_t dacReadRequest(int channel, std::int32_t mode, int address) {
  const std::uint32_t channelBits =
      channel >= 0 && channel < kChannelCount ? channelBit(channel) : 0u;
  const auto addressBits = (static_cast<std::uint32_t>(address) & 0x3Fu) << 16;
  return static_cast<std::int32_t>(kReadBit | channelBits |
                                   (static_cast<std::uint32_t>(mode) & kModeMask) | addressBits);
}

std::uint32_t readbackValue(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  return b0 + b1 * 256u + b2 * 65536u;
}

LampState lampFor(bool bitSet) {
  if (bitSet) {
    return {true, "OK", 0, 128, 0};
  }
  return {false, "TOO HOT", 255, 0, 0};
}

SystemReadback decodeSystemReadback(std::uint32_t r) {
  SystemReadback s;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    const std::string index = std::to_string(ch);
    s.clampLabels[static_cast<std::size_t>(ch)] = enabledText("CH" + index, bit(r, 18 + ch));
    s.cpolhLabels[static_cast<std::size_t>(ch)] = enabledText("CPOLH" + index, bit(r, 14 + ch));
  }
  s.cpolhVisible = bit(r, 13);
  s.cpBias = enabledText("CPBIASEN", bit(r, 13));
  s.dutGnd = enabledText("DUTGND/CH", bit(r, 12));
  s.guardAlarm = enabledText("GUARD ALM", bit(r, 11));
  s.clampAlarm = enabledText("CLAMP ALM", bit(r, 10));
  s.forceSense = enabledText("INT 10K", bit(r, 9));
  s.guardEnable = enabledText("GUARD", bit(r, 8));
  s.gain[1] = bit(r, 7) ? "GAIN1 = 1" : "GAIN1 = 0";
  s.gain[0] = bit(r, 6) ? "GAIN0 = 1" : "GAIN0 = 0";
  if (bit(r, 5)) {
    static constexpr const char* kTemperatures[] = {"130degC", "120degC", "110degC", "100degC"};
    s.thermal = "Enabled";
    s.shutdownTemperature = kTemperatures[(r & 0x18u) >> 3];
    s.shutdownTemperatureVisible = true;
  } else {
    s.thermal = "Disabled";
  }
  s.latched = bit(r, 2) ? "LATCHED" : "UNLATCHED";
  return s;
}

PmuReadback decodePmuReadback(std::uint32_t r) {
  static constexpr const char* kForce[] = {"FORCE VOLTAGE MODE", "FORCE CURRENT MODE",
                                           "Hi-Z FOH Voltage", "Hi-Z FOH Current"};
  static constexpr const char* kRange[] = {"±5uA CURRENT RANGE", "±20uA CURRENT RANGE",
                                           "±200uA CURRENT RANGE", "±2mA CURRENT RANGE"};
  static constexpr const char* kMeasure[] = {"MEASOUT = ISENSE", "MEASOUT = VSENSE",
                                             "MEASOUT = TEMP SENSOR", "MEASOUT HI-Z"};
  PmuReadback p;
  p.unlatchedTemp = lampFor(bit(r, 5));
  p.latchedTemp = lampFor(bit(r, 6));
  p.labels[0] = bit(r, 21) ? "CHANNEL ENABLED" : "CHANNEL DISABLED";
  p.labels[1] = kForce[(r >> 19) & 3u];
  // Bit 17 alone selects the external range, whatever bits 16 and 15 hold.
  p.labels[2] = bit(r, 17) ? "±EXTERNAL CURRENT RANGE" : kRange[(r >> 15) & 3u];
  p.labels[3] = kMeasure[(r >> 13) & 3u];
  p.labels[4] = bit(r, 12) ? " FORCE AMP TIED TO FINDAC" : "FORCE AMP TIED TO FINGND";
  p.labels[5] =
      ((r >> 10) & 3u) == 3u ? "SYSTEM SENSE/FORCE CONNECTED" : "SYSTEM SENSE/FORCE DISCONNECTED";
  p.labels[6] = bit(r, 9) ? "CLAMP ENABLED" : "CLAMP DISABLED";
  p.labels[7] = bit(r, 8) ? "COMPARATOR ENABLED" : "COMPARATOR DISABLED";
  p.labels[8] = bit(r, 7) ? "COMPARE VOLTAGE" : "COMPARE CURRENT";
  return p;
}

AlarmReadback decodeAlarmReadback(std::uint32_t r) {
  AlarmReadback a;
  a.latchedTemp = lampFor(bit(r, 21));
  a.temp = lampFor(bit(r, 20));
  return a;
}

std::int32_t offsetDacFromReadback(std::uint32_t answer) {
  // The answer carries the mode bits 23..22 (11) above the code; without them the difference is
  // negative. Unsigned arithmetic wraps instead of overflowing.
  return static_cast<std::int32_t>(answer - 0xC00000u);
}

std::int32_t dacCodeFromReadback(std::uint32_t answer) {
  return static_cast<std::int32_t>(answer & 0x100FFFFu);
}

}  // namespace kv4410
