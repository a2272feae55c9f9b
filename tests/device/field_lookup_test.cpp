#include <gtest/gtest.h>

#include "device/register_map.h"

namespace kv4410 {
namespace {

// Each enumerator reaches the field at the chip's bit position (lowest bit, width).
TEST(FieldLookup, EnumeratorsReachTheirBits) {
  const std::tuple<SysField, int, int> sys[] = {
      {SysField::ClampEn3, 21, 1},     {SysField::ClampEn0, 18, 1},
      {SysField::CompEn3, 17, 1},      {SysField::CompEn0, 14, 1},
      {SysField::CpBias, 13, 1},       {SysField::Dutgnd, 12, 1},
      {SysField::GuardAlarm, 11, 1},   {SysField::ClampAlarm, 10, 1},
      {SysField::ForceSense10k, 9, 1}, {SysField::GuardEn, 8, 1},
      {SysField::Gain1, 7, 1},         {SysField::Gain0, 6, 1},
      {SysField::ThermalEn, 5, 1},     {SysField::ShutdownTemp, 3, 2},
      {SysField::Latch, 2, 1},         {SysField::Unused, 0, 2}};
  for (const auto& [which, low, width] : sys) {
    EXPECT_EQ(field(which).lowBit, low) << field(which).key;
    EXPECT_EQ(field(which).width, width) << field(which).key;
  }
  const std::tuple<PmuField, int, int> pmu[] = {
      {PmuField::Enable, 21, 1},        {PmuField::Force, 19, 2},   {PmuField::X, 18, 1},
      {PmuField::Range, 15, 3},         {PmuField::Measure, 13, 2}, {PmuField::Fin, 12, 1},
      {PmuField::SysForceSense, 10, 2}, {PmuField::Clamp, 9, 1},    {PmuField::Comp, 8, 1},
      {PmuField::Compare, 7, 1},        {PmuField::Clear, 6, 1},    {PmuField::Unused, 0, 6}};
  for (const auto& [which, low, width] : pmu) {
    EXPECT_EQ(field(which).lowBit, low) << field(which).key;
    EXPECT_EQ(field(which).width, width) << field(which).key;
  }
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(clampEnableField(ch).lowBit, 18 + ch);
    EXPECT_EQ(comparatorEnableField(ch).lowBit, 14 + ch);
  }
}

// "MEASOUT GAIN =0.2" sets GAIN1 (bit 7), "MEASOUT GAIN = 1" clears it, no entry keeps it.
TEST(FieldLookup, MeasoutGainList) {
  EXPECT_EQ(composeMeasoutGainList(0x003FE420, 0), 0x003FE4A0u);
  EXPECT_EQ(composeMeasoutGainList(0x003FE4A0, 1), 0x003FE420u);
  EXPECT_EQ(composeMeasoutGainList(0x003FE4A0, -1), 0x003FE4A0u);
  EXPECT_EQ(composeMeasoutGainList(0x003FE4A0, 2), 0x003FE4A0u);
}

}  // namespace
}  // namespace kv4410
