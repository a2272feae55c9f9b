#include "device/serial_word.h"

#include <gtest/gtest.h>

namespace kv4410 {
namespace {

TEST(DeviceSerialWord, ClassifiesEveryRegisterSelection) {
  struct Case {
    std::uint32_t word;
    bool read;
    unsigned channels;
    RegisterKind kind;
    int dacAddress;
  };
  const Case cases[] = {
      {0x003FE4A0, false, 0x0, RegisterKind::SystemControl, 0},
      {0x10000000, true, 0x0, RegisterKind::SystemControl, 0},
      {0x0F21B300, false, 0xF, RegisterKind::Pmu, 0},
      {0x0521B300, false, 0x5, RegisterKind::Pmu, 0},  // PMU 0 and PMU 2 only
      {0x18000000, true, 0x8, RegisterKind::Pmu, 0},
      {0x11000000, true, 0x1, RegisterKind::Pmu, 0},
      {0x0FC81234, false, 0xF, RegisterKind::DacX1, 8},
      {0x025D0007, false, 0x2, RegisterKind::DacM, 29},
      {0x0FA80000, false, 0xF, RegisterKind::DacC, 40},
      {0x18C80000, true, 0x8, RegisterKind::DacX1, 8},  // FIN x1, level ±5uA, PMU 3
      {0x1FC00000, true, 0xF, RegisterKind::DacX1, 0},  // offset DAC
      {0x10400000, true, 0x0, RegisterKind::ComparatorStatus, 0},
      {0x10C00000, true, 0x0, RegisterKind::AlarmStatus, 0},
      {0x10800000, true, 0x0, RegisterKind::None, 0},
      {0x00400000, false, 0x0, RegisterKind::None, 0},  // status registers cannot be written
      {0x00C00000, false, 0x0, RegisterKind::None, 0},
      {0xE0000000, false, 0x0, RegisterKind::SystemControl, 0},  // bits 29..31 ignored
  };
  for (const auto& c : cases) {
    const WordTarget t = classifyWord(c.word);
    EXPECT_EQ(t.read, c.read) << std::hex << c.word;
    EXPECT_EQ(t.channels, c.channels) << std::hex << c.word;
    EXPECT_EQ(t.kind, c.kind) << std::hex << c.word;
    EXPECT_EQ(t.dacAddress, c.dacAddress) << std::hex << c.word;
  }
}

TEST(DeviceSerialWord, ChannelBitsAndNames) {
  EXPECT_EQ(channelBit(0), 0x01000000u);
  EXPECT_EQ(channelBit(3), 0x08000000u);
  EXPECT_STREQ(registerKindName(RegisterKind::SystemControl), "system control register");
  EXPECT_STREQ(registerKindName(RegisterKind::AlarmStatus), "alarm status register");
  EXPECT_STREQ(registerKindName(RegisterKind::None), "no register");
}

}  // namespace
}  // namespace kv4410
