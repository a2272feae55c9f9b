#include "device/dac_words.h"

#include <gtest/gtest.h>

namespace kv4410 {
namespace {

constexpr std::int32_t kAllChannels = 0x0F000000;

// DACLOAD, with the words the DAC page sends.
TEST(DeviceDacWords, Dacload) {
  struct Case {
    std::int16_t index;
    std::int32_t lx, mode, dacadd, chanBits, word;
  };
  const Case cases[] = {
      {0, 0x1234, kModeX1, 0x080000, kAllChannels, 0x0FC81234},
      {5, 0x1234, kModeX1, 0x080000, kAllChannels, 0x0FCD1234},
      {6, 0x1234, kModeX1, 0x080000, kAllChannels, 0x0FC81234},  // outside 0..5 adds nothing
      {-1, 0x1234, kModeX1, 0x080000, kAllChannels, 0x0FC81234},
      {0, 0xA492, kModeX1, 0, 0x04000000, 0x04C0A492},  // offset DAC, PMU2 only
      {0, 0xA492, kModeX1, 0, kAllChannels, 0x0FC0A492},
      {2, 0x1234, kModeX1, 0x080000, kAllChannels, 0x0FCA1234},  // FIN x1, ±200uA
      {5, 0x0007, kModeM, 0x180000, 0x02000000, 0x025D0007},     // CLH m, Voltage Range, PMU1
      {4, 0x8000, kModeC, 0x280000, 0, 0x00AC8000},              // no channel: bits 24..27 0
      // Bit 28 and low bits of Mode/dacadd are dropped.
      {0, 0x0001, kModeX1 | 0x10000FFF, 0x080000, kAllChannels, 0x0FC80001},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(composeDacWord(c.index, c.lx, c.mode, c.dacadd, c.chanBits), c.word)
        << std::hex << c.word;
  }
}

// The PMU control window's composers.
TEST(DeviceDacWords, PmuWindowDacload) {
  EXPECT_EQ(
      composePmuWindowDacWord(0x8000, kModeX1, 0x80000, kAllChannels, ForceSelection::Voltage, 3),
      0x0FCD8000);
  EXPECT_EQ(
      composePmuWindowDacWord(0xB8E4, kModeX1, 0x80000, kAllChannels, ForceSelection::Current, 3),
      0x0FCBB8E4);
  EXPECT_EQ(
      composePmuWindowDacWord(0xB8E4, kModeX1, 0x80000, kAllChannels, ForceSelection::Current, 5),
      0x0FC8B8E4);
  EXPECT_EQ(composePmuWindowDacWord(0x1, kModeX1, 0x80000, kAllChannels, ForceSelection::Other, 2),
            0x0FC80001);
  EXPECT_EQ(composeOffsetDacWord(kAllChannels, 0xA492), 0x0FC0A492);
}

TEST(DeviceDacWords, AddressMap) {
  EXPECT_EQ(groupBase(DacGroup::Offset), 0);
  EXPECT_EQ(groupBase(DacGroup::Fin), 0x080000);
  EXPECT_EQ(groupBase(DacGroup::Cll), 0x100000);
  EXPECT_EQ(groupBase(DacGroup::Clh), 0x180000);
  EXPECT_EQ(groupBase(DacGroup::Cpl), 0x200000);
  EXPECT_EQ(groupBase(DacGroup::Cph), 0x280000);
  EXPECT_EQ(modeOf(DacRegister::X1), 0xC00000);
  EXPECT_EQ(modeOf(DacRegister::C), 0x800000);
  EXPECT_EQ(modeOf(DacRegister::M), 0x400000);
  EXPECT_EQ(groupName(DacGroup::Cph), "CPH");

  EXPECT_TRUE(groupHasLevel(DacGroup::Fin, 0));
  EXPECT_FALSE(groupHasLevel(DacGroup::Fin, 6));
  EXPECT_FALSE(groupHasLevel(DacGroup::Cll, 3));
  EXPECT_TRUE(groupHasLevel(DacGroup::Clh, 5));
  EXPECT_FALSE(groupHasLevel(DacGroup::Offset, 1));

  EXPECT_EQ(levelCaption(DacGroup::Fin, 0), "±5uA");
  EXPECT_EQ(levelCaption(DacGroup::Cpl, 4), "±Ext Rsense");
  EXPECT_EQ(levelCaption(DacGroup::Cll, 4), "Current Ranges");
  EXPECT_EQ(levelCaption(DacGroup::Clh, 5), "Voltage Range");
  EXPECT_EQ(levelCaption(DacGroup::Cll, 0), "");

  struct Case {
    int address;
    bool valid;
    DacGroup group;
    int level;
  };
  const Case cases[] = {
      {0, true, DacGroup::Offset, 0},
      {1, false, {}, 0},
      {8, true, DacGroup::Fin, 0},
      {13, true, DacGroup::Fin, 5},
      {14, false, {}, 0},
      {19, false, {}, 0},
      {20, true, DacGroup::Cll, 4},
      {29, true, DacGroup::Clh, 5},
      {32, true, DacGroup::Cpl, 0},
      {45, true, DacGroup::Cph, 5},
      {46, false, {}, 0},
      {63, false, {}, 0},
  };
  for (const auto& c : cases) {
    const auto dac = dacAddressOf(c.address);
    ASSERT_EQ(dac.has_value(), c.valid) << c.address;
    if (dac) {
      EXPECT_EQ(dac->group, c.group) << c.address;
      EXPECT_EQ(dac->level, c.level) << c.address;
    }
  }
}

TEST(DeviceDacWords, PageDefaults) {
  for (const DacGroup g : kDacGroups) {
    if (g == DacGroup::Offset) {
      continue;
    }
    EXPECT_EQ(defaultCodeText(g, DacRegister::M), "FFFF");
    EXPECT_EQ(defaultCodeText(g, DacRegister::C), "8000");
  }
  EXPECT_EQ(defaultCodeText(DacGroup::Fin, DacRegister::X1), "8000");
  EXPECT_EQ(defaultCodeText(DacGroup::Cll, DacRegister::X1), "0000");
  EXPECT_EQ(defaultCodeText(DacGroup::Clh, DacRegister::X1), "FFFF");
  EXPECT_EQ(defaultCodeText(DacGroup::Cpl, DacRegister::X1), "0000");
  EXPECT_EQ(defaultCodeText(DacGroup::Cph, DacRegister::X1), "FFFF");
  EXPECT_EQ(defaultCodeText(DacGroup::Offset, DacRegister::X1), "A492");
  EXPECT_EQ(defaultCode(DacGroup::Offset, DacRegister::X1), kDefaultOffsetCode);
  EXPECT_EQ(defaultCode(DacGroup::Clh, DacRegister::X1), 0xFFFF);
}

}  // namespace
}  // namespace kv4410
