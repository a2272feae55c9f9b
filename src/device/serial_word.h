#pragma once
// The KV4410's 29-bit serial word: header fields and which register a word selects.
#include <cstdint>

namespace kv4410 {

// A serial word is an unsigned 29-bit value held in a signed 32-bit integer.
using Word = std::int32_t;

inline constexpr std::uint32_t kReadBit = 0x10000000;       // bit 28, R/W
inline constexpr std::uint32_t kChannelMask = 0x0F000000;   // bits 27..24, one per PMU
inline constexpr std::uint32_t kModeMask = 0x00C00000;      // bits 23..22, M1 M2
inline constexpr std::uint32_t kContentsMask = 0x003FFFFF;  // bits 21..0
inline constexpr std::uint32_t kWordMask = 0x1FFFFFFF;      // the 29 bits that reach the chip
inline constexpr int kWordBits = 29;
inline constexpr int kChannelCount = 4;

// Channel-select bit of PMU `channel` (0..3): bit 24 + channel.
constexpr std::uint32_t channelBit(int channel) {
  return 1u << (24 + channel);
}

enum class RegisterKind {
  SystemControl,
  Pmu,
  DacX1,  // mode 11
  DacC,   // mode 10
  DacM,   // mode 01
  ComparatorStatus,
  AlarmStatus,
  None,  // a write that selects no register (no channel bit, mode not 00)
};

// What a word does: read or write, which channels, which register.
struct WordTarget {
  bool read = false;
  unsigned channels = 0;  // bit i set = PMU i selected
  RegisterKind kind = RegisterKind::None;
  int dacAddress = 0;  // bits 21..16, meaningful for the DAC kinds
};

// Register selection by header (R/W, channel bits, mode). Bits 29..31 are ignored.
WordTarget classifyWord(std::uint32_t word);

// Human-readable name of a register kind ("system control register", "PMU register", ...).
const char* registerKindName(RegisterKind kind);

}  // namespace kv4410
