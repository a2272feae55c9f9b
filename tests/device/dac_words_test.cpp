#include "device/dac_words.h"

#include <gtest/gtest.h>

namespace kv4410 {
namespace {

constexpr std::int32_t kAll = 0x0F000000;  // all four channels selected

// DACLOAD, with the words the DAC page sends: an index outside 0..5 adds nothing; the offset
// DAC with PMU2 only; CLH M of the voltage range on PMU1; no channel at all; bit 28 and the low
// bits of Mode are dropped.
TEST(DeviceDacWords, Dacload) {
  struct Case {
    std::int16_t index;
    std::int32_t lx, mode, dacadd, chanBits, word;
  };
  const Case cases[] = {{0, 0x1234, kModeX1, 0x080000, kAll, 0x0FC81234},
                        {5, 0x1234, kModeX1, 0x080000, kAll, 0x0FCD1234},
                        {6, 0x1234, kModeX1, 0x080000, kAll, 0x0FC81234},
                        {-1, 0x1234, kModeX1, 0x080000, kAll, 0x0FC81234},
                        {2, 0x1234, kModeX1, 0x080000, kAll, 0x0FCA1234},
                        {0, 0xA492, kModeX1, 0, 0x04000000, 0x04C0A492},
                        {5, 0x0007, kModeM, 0x180000, 0x02000000, 0x025D0007},
                        {4, 0x8000, kModeC, 0x280000, 0, 0x00AC8000},
                        {0, 0x0001, kModeX1 | 0x10000FFF, 0x080000, kAll, 0x0FC80001}};
  for (const auto& c : cases) {
    EXPECT_EQ(composeDacWord(c.index, c.lx, c.mode, c.dacadd, c.chanBits), c.word)
        << std::hex << c.word;
  }
}

// The PMU control window's composers: level 5 for force voltage, the range for force current.
TEST(DeviceDacWords, PmuWindowDacload) {
  const std::tuple<std::int32_t, ForceSelection, int, std::int32_t> cases[] = {
      {0x8000, ForceSelection::Voltage, 3, 0x0FCD8000},
      {0xB8E4, ForceSelection::Current, 3, 0x0FCBB8E4},
      {0xB8E4, ForceSelection::Current, 4, 0x0FCCB8E4},  // the external resistor's level
      {0xB8E4, ForceSelection::Current, 5, 0x0FC8B8E4},
      {0x0001, ForceSelection::Other, 2, 0x0FC80001}};
  for (const auto& [lx, force, range, word] : cases) {
    EXPECT_EQ(composePmuWindowDacWord(lx, kModeX1, 0x80000, kAll, force, range), word);
  }
  EXPECT_EQ(composeOffsetDacWord(0x04000000, 0xA492), 0x04C0A492);
}

TEST(DeviceDacWords, AddressMapCaptionsAndDefaults) {
  const std::pair<DacGroup, std::int32_t> bases[] = {
      {DacGroup::Offset, 0},     {DacGroup::Fin, 0x080000}, {DacGroup::Cll, 0x100000},
      {DacGroup::Clh, 0x180000}, {DacGroup::Cpl, 0x200000}, {DacGroup::Cph, 0x280000}};
  for (const auto& [group, base] : bases) {
    EXPECT_EQ(groupBase(group), base) << groupName(group);
  }
  EXPECT_EQ(modeOf(DacRegister::C), 0x800000);
  EXPECT_EQ(modeOf(DacRegister::M), 0x400000);
  EXPECT_EQ(levelCaption(DacGroup::Fin, 0), "±5uA");
  EXPECT_EQ(levelCaption(DacGroup::Cpl, 4), "±Ext Rsense");
  EXPECT_EQ(levelCaption(DacGroup::Cll, 4), "Current Ranges");
  EXPECT_EQ(levelCaption(DacGroup::Clh, 5), "Voltage Range");
  // Group and level of each address; "" outside the map.
  const std::tuple<int, const char*, int> cases[] = {
      {0, "OFFSET", 0}, {1, "", 0},     {8, "FIN", 0},  {13, "FIN", 5}, {14, "", 0}, {19, "", 0},
      {20, "CLL", 4},   {29, "CLH", 5}, {32, "CPL", 0}, {45, "CPH", 5}, {46, "", 0}, {63, "", 0}};
  for (const auto& [address, group, level] : cases) {
    const auto dac = dacAddressOf(address);
    EXPECT_EQ(dac ? groupName(dac->group) : "", group) << address;
    EXPECT_EQ(dac ? dac->level : 0, level) << address;
  }
  // Defaults the DAC page first shows.
  const std::pair<DacGroup, const char*> x1[] = {
      {DacGroup::Offset, "A492"}, {DacGroup::Fin, "8000"}, {DacGroup::Cll, "0000"},
      {DacGroup::Clh, "FFFF"},    {DacGroup::Cpl, "0000"}, {DacGroup::Cph, "FFFF"}};
  for (const auto& [group, text] : x1) {
    const bool offset = group == DacGroup::Offset;  // it has only its x1 register
    EXPECT_EQ(defaultCodeText(group, DacRegister::X1), text) << groupName(group);
    EXPECT_EQ(defaultCodeText(group, DacRegister::M), offset ? "" : "FFFF") << groupName(group);
    EXPECT_EQ(defaultCodeText(group, DacRegister::C), offset ? "" : "8000") << groupName(group);
  }
  EXPECT_EQ(defaultCode(DacGroup::Offset, DacRegister::X1), 0xA492);
}

}  // namespace
}  // namespace kv4410
