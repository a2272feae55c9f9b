#pragma once
// Plain-text description of a serial word from the register map tables: which register it
// writes or reads and, for system control and PMU writes, every field with its captions and
// meaning. Used by `kv4410ctl decode`.
#include <cstdint>
#include <string>

namespace kv4410 {

// "PMU 0, PMU 2" for channel bits 0101; "no channel" for 0.
std::string channelListText(unsigned channels);

// Lines separated by '\n', the last one too. Bits 29..31 are ignored, as by classifyWord.
std::string describeWord(std::uint32_t word);

}  // namespace kv4410
