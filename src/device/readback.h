#pragma once
// Read-request words and the decoding of the 24-bit answers into what the read pages show.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv4410 {

inline constexpr std::int32_t kReadSystemRequest = 0x10000000;
inline constexpr std::int32_t kReadComparatorRequest = 0x10400000;
inline constexpr std::int32_t kReadAlarmRequest = 0x10C00000;
inline constexpr std::int32_t kReadOffsetDacRequest = 0x1FC00000;

// 0x11000000, 0x12000000, 0x14000000, 0x18000000 for PMU 0..3.
std::int32_t pmuReadRequest(int channel);
// bit 28 | channel bit | register kind (kModeX1/kModeM/kModeC) | address << 16.
std::int32_t dacReadRequest(int channel, std::int32_t mode, int address);

// Readback value from the three reply bytes, low byte first.
std::uint32_t readbackValue(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2);

// Alarm lamp: bit 1 -> green (0, 128, 0) "OK"; bit 0 -> red (255, 0, 0) "TOO HOT".
struct LampState {
  bool ok = true;
  std::string_view caption;  // "OK" or "TOO HOT"
  std::uint8_t red = 0, green = 128, blue = 0;
};
LampState lampFor(bool bitSet);

struct SystemReadback {
  std::array<std::string, 4> clampLabels;  // index = channel: "CH0 Enabled" / "CH0 Disabled"
  std::array<std::string, 4> cpolhLabels;  // lblCPOLH(i): "CPOLH0 Enabled" / ... Disabled
  bool cpolhVisible = false;               // bit 13
  std::string cpBias;                      // lblCPBIASEN
  std::string dutGnd, guardAlarm, clampAlarm, forceSense, guardEnable;
  std::array<std::string, 2> gain;          // lblGAIN(0) "GAIN0 = 1/0", lblGAIN(1) "GAIN1 = 1/0"
  std::string thermal;                      // READSYSDATA(2): "Enabled" / "Disabled"
  std::string shutdownTemperature;          // READSYSDATA(1): "130degC" ... or "" when disabled
  bool shutdownTemperatureVisible = false;  // the "TEMPERATURE OF SHUTDOWN" caption
  std::string latched;                      // READSYSDATA(0): "LATCHED" / "UNLATCHED"
};
SystemReadback decodeSystemReadback(std::uint32_t answer);

struct PmuReadback {
  LampState unlatchedTemp;            // cmdTEMP(2), bit 5
  LampState latchedTemp;              // cmdTEMP(3), bit 6
  std::array<std::string, 9> labels;  // RPMU(0..8)
};
PmuReadback decodePmuReadback(std::uint32_t answer);

struct AlarmReadback {
  LampState latchedTemp;  // cmdTEMP(0), bit 21
  LampState temp;         // cmdTEMP(1), bit 20
};
AlarmReadback decodeAlarmReadback(std::uint32_t answer);

// Offset DAC answer minus 0xC00000 (negative when the mode bits are missing); any other DAC
// answer AND 0x100FFFF.
std::int32_t offsetDacFromReadback(std::uint32_t answer);
std::int32_t dacCodeFromReadback(std::uint32_t answer);

}  // namespace kv4410
