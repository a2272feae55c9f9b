#include "device/register_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>

namespace kv4410 {
namespace {

using ::testing::ElementsAre;

// Expected field values of a word: key -> value, and the text that value has in the table.
struct Expect {
  const char* key;
  std::uint32_t value;
  const char* text;
};

void expectDecode(const RegisterDef& reg, std::uint32_t word, const std::vector<Expect>& fields) {
  for (const auto& e : fields) {
    const FieldDef& f = reg.field(e.key);
    EXPECT_EQ(fieldValue(word, f), e.value) << e.key;
    EXPECT_EQ(f.valueText(e.value), e.text) << e.key;
  }
}

// The start-up system word.
TEST(DeviceRegisterMap, DecodesStartupSystemWord) {
  expectDecode(systemControlRegister(), 0x003FE4A0,
               {
                   {"CLAMP_EN3", 1, "enabled"},       {"CLAMP_EN2", 1, "enabled"},
                   {"CLAMP_EN1", 1, "enabled"},       {"CLAMP_EN0", 1, "enabled"},
                   {"COMP_EN3", 1, "enabled"},        {"COMP_EN2", 1, "enabled"},
                   {"COMP_EN1", 1, "enabled"},        {"COMP_EN0", 1, "enabled"},
                   {"CP_BIAS", 1, "enabled"},         {"DUTGND", 0, "DUTGND PER DEVICE"},
                   {"CLAMP_ALARM", 1, "enabled"},     {"GUARD_ALARM", 0, "disabled"},
                   {"FORCE_SENSE_10K", 0, "off"},     {"GUARD_EN", 0, "disabled"},
                   {"GAIN1", 1, "MEASOUT GAIN =0.2"}, {"GAIN0", 0, "I MEAS GAIN = 10"},
                   {"THERMAL_EN", 1, "ENABLED"},      {"SHUTDOWN_TEMP", 0, "TJ = 130degC"},
                   {"LATCH", 0, "UNLATCHED"},         {"UNUSED", 0, ""},
               });
}

// The start-up PMU word.
TEST(DeviceRegisterMap, DecodesStartupPmuWord) {
  expectDecode(pmuRegister(), 0x0F21B300,
               {
                   {"ENABLE", 1, "enabled"},
                   {"FORCE", 0, "Force Voltage"},
                   {"X", 0, ""},
                   {"RANGE", 3, "±2mA"},
                   {"MEASURE", 1, "Measure Voltage"},
                   {"FIN", 1, "FIN connected to the force DAC"},
                   {"SYS_FORCE_SENSE", 0, "Hi-Z SYS_FORCE & SENSE"},
                   {"CLAMP", 1, "enabled"},
                   {"COMP", 1, "enabled"},
                   {"COMPARE", 0, "Compare Current"},
                   {"CLEAR", 0, "no clear"},
               });
  expectDecode(wordHeader(), 0x0F21B300, {{"RW", 0, "write"}, {"CHANNEL", 0xF, ""}});
}

// Composition by the tables rebuilds the start-up words and the page examples.
TEST(DeviceRegisterMap, ComposesWordsFromTheTables) {
  const RegisterDef& sys = systemControlRegister();
  std::uint32_t word = 0;
  for (const char* key :
       {"CLAMP_EN3", "CLAMP_EN2", "CLAMP_EN1", "CLAMP_EN0", "COMP_EN3", "COMP_EN2", "COMP_EN1",
        "COMP_EN0", "CP_BIAS", "CLAMP_ALARM", "GAIN1", "THERMAL_EN"}) {
    word = composeField(word, sys.field(key), 1);
  }
  EXPECT_EQ(word, 0x003FE4A0u);
  EXPECT_EQ(composeField(composeField(word, sys.field("LATCH"), 1), sys.field("SHUTDOWN_TEMP"), 3),
            0x003FE4BCu);
  EXPECT_EQ(composeField(word, sys.field("CLAMP_EN2"), 0), 0x002FE4A0u);
  EXPECT_EQ(
      composeField(composeField(word, sys.field("THERMAL_EN"), 0), sys.field("SHUTDOWN_TEMP"), 0),
      0x003FE480u);

  const RegisterDef& pmu = pmuRegister();
  std::uint32_t p = 0x0F000000;
  p = composeField(p, pmu.field("ENABLE"), 1);
  p = composeField(p, pmu.field("RANGE"), 3);
  p = composeField(p, pmu.field("MEASURE"), 1);
  p = composeField(p, pmu.field("FIN"), 1);
  p = composeField(p, pmu.field("CLAMP"), 1);
  p = composeField(p, pmu.field("COMP"), 1);
  EXPECT_EQ(p, 0x0F21B300u);
  EXPECT_EQ(composeField(p, pmu.field("FORCE"), 1), 0x0F29B300u);
  EXPECT_EQ(fieldValue(composeField(p, pmu.field("RANGE"), 6), pmu.field("RANGE")), 6u);
  // The value is masked to the field: it never spills into a neighbour.
  EXPECT_EQ(composeField(0, pmu.field("FORCE"), 0xFF), 0x00180000u);
}

// The thermal and latch lists set several fields at once; both windows compose through these.
TEST(DeviceRegisterMap, ThermalAndLatchLists) {
  const std::uint32_t startup = 0x003FE4A0;
  const std::uint32_t dirty = startup | 0x1F;  // every bit the lists own, set
  struct Row {
    int entry;
    std::uint32_t thermal;
  } const rows[] = {{0, 0x003FE480}, {1, 0x003FE4A0}, {2, 0x003FE4A0},  {3, 0x003FE4A8},
                    {4, 0x003FE4B0}, {5, 0x003FE4B8}, {-1, 0x003FE480}, {6, 0x003FE480}};
  for (const Row& row : rows) {
    EXPECT_EQ(composeThermalList(dirty, row.entry), row.thermal | 0x04) << "entry " << row.entry;
  }
  ASSERT_EQ(thermalListItems().size(), 6u);
  EXPECT_EQ(thermalListItems()[5], "TJ = 100degC");

  EXPECT_EQ(composeLatchList(startup | 0x03, 0), startup);         // clears bits 2..0
  EXPECT_EQ(composeLatchList(startup | 0x03, 1), startup | 0x07);  // sets bit 2 only
  EXPECT_EQ(composeLatchList(startup | 0x03, -1), startup | 0x03);
  EXPECT_EQ(composeLatchList(composeThermalList(startup, 5), 1), 0x003FE4BCu);
}

TEST(DeviceRegisterMap, TablesAreConsistent) {
  for (const RegisterDef* reg :
       {&systemControlRegister(), &pmuRegister(), &wordHeader(), &dacRegister(),
        &pmuReadbackRegister(), &comparatorStatusRegister(), &alarmStatusRegister()}) {
    std::uint32_t covered = 0;
    std::set<std::string_view> keys;
    int previousLow = 32;
    for (const FieldDef& f : reg->fields) {
      EXPECT_TRUE(keys.insert(f.key).second) << reg->name << " " << f.key;
      EXPECT_EQ(f.bitCaptions.size(), static_cast<std::size_t>(f.width)) << f.key;
      EXPECT_EQ(covered & f.mask(), 0u) << "overlap at " << f.key;
      EXPECT_LT(f.highBit(), previousLow) << "fields must be listed highest first: " << f.key;
      EXPECT_LE(f.values.size(), std::size_t{1} << f.width) << f.key;
      previousLow = f.lowBit;
      covered |= f.mask();
    }
  }
  EXPECT_THROW(pmuRegister().field("NOPE"), std::out_of_range);
  // List order differs from value order where the list offers the set bit first.
  EXPECT_THAT(systemControlRegister().field("DUTGND").listValues, ElementsAre(1u, 0u));
  EXPECT_THAT(systemControlRegister().field("GAIN1").listValues, ElementsAre(1u, 0u));
  EXPECT_EQ(pmuRegister().field("RANGE").values.size(), 7u);  // 111 is not used
  EXPECT_EQ(pmuRegister().field("RANGE").valueText(7), "");
}

// ---- Bit displays ---------------------------------------------------------------------------

std::vector<std::string_view> captionsHighFirst(const DisplayLayout& layout) {
  std::vector<std::string_view> captions;
  for (int bit = layout.bitCount - 1; bit >= 0; --bit) {
    captions.push_back(layout.bits[static_cast<std::size_t>(bit)].caption);
  }
  return captions;
}

std::vector<std::string_view> groupCaptions(const DisplayLayout& layout) {
  std::vector<std::string_view> captions;
  for (const auto& g : layout.groups) {
    captions.push_back(g.caption);
  }
  return captions;
}

TEST(DeviceRegisterMap, ReadSystemDisplay) {
  const DisplayLayout& l = displayLayout(Display::ReadSystem);
  EXPECT_EQ(l.frameCaption, "SYSTEM CONTROL REGISTER");
  EXPECT_THAT(captionsHighFirst(l),
              ElementsAre("R/W", "CH3", "CH2", "CH1", "CH0", "M1", "M2", "CL3", "CL2", "CL1", "CL0",
                          "C3", "C2", "C1", "C0", "CPEN", "DUT", "GRD", "CLM", "10k", "EN", "G1",
                          "G0", "EN", "D4", "D3", "L", "D1", "D0"));
  EXPECT_THAT(groupCaptions(l), ElementsAre("CHANNEL ADDRESS", "MODE", "CLAMP ENABLE",
                                            "COMP ENABLE", "CP BIAS EN", "DUTGND", "ALARMS", "10K",
                                            "GRD", "GAIN", "TMP", "S/DOWN", "LATCHED", "UNUSED"));
  // The write display shows the same bits with the write page's group captions.
  const DisplayLayout& w = displayLayout(Display::SystemControl);
  EXPECT_EQ(captionsHighFirst(w), captionsHighFirst(l));
  EXPECT_EQ(w.groups[4].caption, "CP BIAS");
  EXPECT_EQ(w.groups[5].caption, "DUT GND");
  EXPECT_EQ(w.groups[6].highBit, 11);
  EXPECT_EQ(w.groups[6].lowBit, 10);  // ALARMS over GRD and CLM
}

TEST(DeviceRegisterMap, PmuDisplays) {
  EXPECT_THAT(captionsHighFirst(displayLayout(Display::ReadPmu)),
              ElementsAre("R/W", "CH3", "CH2", "CH1", "CH0", "M1", "M2", "EN", "F1", "F0", "X",
                          "C2", "C1", "C0", "M1", "M0", "FIN", "SF0", "SS0", "CLAMP", "CPOLH",
                          "C V/I", "LATCHED", "UNLATCHed", "4", "3", "2", "1", "0"));
  const DisplayLayout& w = displayLayout(Display::PmuInput);
  EXPECT_EQ(w.frameCaption, "PMU INPUT REGISTER");
  EXPECT_EQ(w.bits[8].caption, "COMP");
  EXPECT_EQ(w.bits[6].caption, "CLEAR");
  EXPECT_EQ(w.bits[5].caption, "D5");
  const auto& groups = displayLayout(Display::ReadPmu).groups;
  const auto temp = std::find_if(groups.begin(), groups.end(),
                                 [](const GroupSpan& g) { return g.caption == "TEMP ALARM"; });
  ASSERT_NE(temp, groups.end());
  EXPECT_EQ(temp->highBit, 6);
  EXPECT_EQ(temp->lowBit, 5);
}

TEST(DeviceRegisterMap, DacAndStatusDisplays) {
  for (const Display d : {Display::DacInput, Display::ReadDac}) {
    const DisplayLayout& l = displayLayout(d);
    EXPECT_EQ(l.bitCount, 29);
    EXPECT_EQ(l.bits[21].caption, "A5");
    EXPECT_EQ(l.bits[16].caption, "A0");
    EXPECT_EQ(l.bits[15].caption, "D15");
    EXPECT_EQ(l.bits[0].caption, "D0");
    EXPECT_THAT(groupCaptions(l), ElementsAre("CHANNEL ADDRESS", "MODE", "ADDRESS", "DATA BITS"));
  }
  EXPECT_EQ(displayLayout(Display::DacInput).frameCaption, "DAC INPUT REGISTER");
  EXPECT_EQ(displayLayout(Display::ReadDac).frameCaption, "DAC REGISTER");

  const DisplayLayout& comp = displayLayout(Display::ComparatorStatus);
  EXPECT_EQ(comp.bitCount, 24);
  const auto compCaptions = captionsHighFirst(comp);
  EXPECT_THAT(std::vector<std::string_view>(compCaptions.begin(), compCaptions.begin() + 11),
              ElementsAre("M1", "M2", "CPOL0", "CPOH0", "CPOL1", "CPOH1", "CPOL2", "CPOH2", "CPOL3",
                          "CPOH3", "D13"));
  EXPECT_THAT(groupCaptions(comp),
              ElementsAre("MODE", "COMPARATOR OUTPUT STATUS", "UNUSED DATA BITS"));

  const DisplayLayout& alm = displayLayout(Display::AlarmStatus);
  EXPECT_EQ(alm.bitCount, 24);
  EXPECT_THAT(captionsHighFirst(alm),
              ElementsAre("M1", "M2", "LTMPALM", "TMPALM", "LG0", "GO", "LG1", "G1", "LG2", "G2",
                          "LG3", "G3", "LC0", "C0", "LC1", "C1", "LC2", "C2", "LC3", "C3", "D3",
                          "D2", "D1", "D0"));
  EXPECT_THAT(groupCaptions(alm),
              ElementsAre("MODE", "TEMP ALARM", "GUARD ALARM", "CLAMP ALARM", "UNUSED DATA BITS"));
}

// Bold (active-low) bits: PMU readback 6 and 5, alarm status 21..4; nothing else.
TEST(DeviceRegisterMap, ActiveLowBits) {
  for (int d = 0; d <= static_cast<int>(Display::AlarmStatus); ++d) {
    const auto display = static_cast<Display>(d);
    const DisplayLayout& l = displayLayout(display);
    ASSERT_EQ(l.bits.size(), static_cast<std::size_t>(l.bitCount));
    for (int bit = 0; bit < l.bitCount; ++bit) {
      bool expected = false;
      if (display == Display::ReadPmu) {
        expected = bit == 6 || bit == 5;
      } else if (display == Display::AlarmStatus) {
        expected = bit >= 4 && bit <= 21;
      }
      EXPECT_EQ(l.bits[static_cast<std::size_t>(bit)].activeLow, expected)
          << "display " << d << " bit " << bit;
      EXPECT_FALSE(l.bits[static_cast<std::size_t>(bit)].caption.empty());
    }
  }
}

std::string boxes(const std::vector<char>& bits) {
  return std::string(bits.rbegin(), bits.rend());
}

TEST(DeviceRegisterMap, DisplayBits) {
  const auto pmu = displayBits(Display::PmuInput, 0x0F21B300);
  ASSERT_EQ(pmu.size(), 29u);
  const std::set<int> ones = {8, 9, 12, 13, 15, 16, 21, 24, 25, 26, 27};
  for (int bit = 0; bit < 29; ++bit) {
    EXPECT_EQ(pmu[static_cast<std::size_t>(bit)], ones.count(bit) ? '1' : '0') << bit;
  }
  EXPECT_EQ(boxes(displayBits(Display::PmuInput, 0x1FFFFFFF)), std::string(29, '1'));
  // The write displays refuse words outside 0..0x1FFFFFFF: the boxes keep what they showed.
  for (const Display d : {Display::DacInput, Display::PmuInput, Display::SystemControl}) {
    EXPECT_TRUE(displayBits(d, 0x20000000).empty());
    EXPECT_TRUE(displayBits(d, -1).empty());
    EXPECT_EQ(displayBits(d, 0).size(), 29u);
  }
  // Readback displays take the low bits as they are.
  EXPECT_EQ(boxes(displayBits(Display::ReadSystem, -1)), std::string(29, '1'));
  EXPECT_EQ(boxes(displayBits(Display::AlarmStatus, 0x300000)), "001100000000000000000000");
  EXPECT_EQ(displayBits(Display::ComparatorStatus, -1).size(), 24u);
  EXPECT_EQ(boxes(displayBits(Display::DacInput, 0x0FC81234)), "01111110010000001001000110100");
}

}  // namespace
}  // namespace kv4410
