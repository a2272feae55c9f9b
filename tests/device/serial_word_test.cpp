#include "device/serial_word.h"

#include <gtest/gtest.h>

#include <string>

namespace kv4410 {
namespace {

// Read or write, the register, the selected channels (bit i = PMU i) and the DAC address.
std::string target(std::uint32_t word) {
  const WordTarget t = classifyWord(word);
  return std::string(t.read ? "read " : "write ") + registerKindName(t.kind) + " " +
         std::to_string(t.channels) + " " + std::to_string(t.dacAddress);
}

// 0x0521B300 reaches PMU 0 and PMU 2 only; 0x18C80000 reads FIN x1 (level ±5uA) of PMU 3;
// 0x1FC00000 reads the offset DAC. The status registers cannot be written, and bits 29..31 are
// ignored.
TEST(DeviceSerialWord, ClassifiesEveryRegisterSelection) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0x003FE4A0, "write system control register 0 0"},
      {0x10000000, "read system control register 0 0"},
      {0x0F21B300, "write PMU register 15 0"},
      {0x0521B300, "write PMU register 5 0"},
      {0x18000000, "read PMU register 8 0"},
      {0x0FC81234, "write DAC x1 (input) register 15 8"},
      {0x025D0007, "write DAC M (gain) register 2 29"},
      {0x0FA80000, "write DAC C (offset) register 15 40"},
      {0x18C80000, "read DAC x1 (input) register 8 8"},
      {0x1FC00000, "read DAC x1 (input) register 15 0"},
      {0x10400000, "read comparator status register 0 0"},
      {0x10C00000, "read alarm status register 0 0"},
      {0x10800000, "read no register 0 0"},
      {0x00400000, "write no register 0 0"},
      {0x00C00000, "write no register 0 0"},
      {0xE0000000, "write system control register 0 0"}};
  for (const auto& [word, text] : cases) {
    EXPECT_EQ(target(word), text) << std::hex << word;
  }
}

}  // namespace
}  // namespace kv4410
