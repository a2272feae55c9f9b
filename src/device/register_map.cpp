#include "device/register_map.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "device/serial_word.h"

namespace kv4410 {

namespace {

using Captions = std::vector<std::string_view>;

FieldDef f(std::string_view key, int lowBit, int width, Captions bitCaptions,
           std::string_view group, std::string_view control, Captions values = {},
           std::vector<std::uint32_t> listValues = {}) {
  FieldDef field;
  field.key = key;
  field.lowBit = lowBit;
  field.width = width;
  field.bitCaptions = std::move(bitCaptions);
  field.group = group;
  field.control = control;
  field.values = std::move(values);
  field.listValues = std::move(listValues);
  return field;
}

// Captions of bits numbered only by their position: prefix + bit, highest first ("D15" ... "D0").
Captions numbered(std::string_view prefix, int high, int low) {
  static constexpr std::string_view kD[] = {"D0", "D1", "D2",  "D3",  "D4",  "D5",  "D6",  "D7",
                                            "D8", "D9", "D10", "D11", "D12", "D13", "D14", "D15"};
  static constexpr std::string_view kA[] = {"A0", "A1", "A2", "A3", "A4", "A5"};
  static constexpr std::string_view kPlain[] = {"0", "1", "2", "3", "4"};
  Captions captions;
  for (int bit = high; bit >= low; --bit) {
    captions.push_back(prefix == "D" ? kD[bit] : prefix == "A" ? kA[bit] : kPlain[bit]);
  }
  return captions;
}

// Functions, not globals: the tables may be built during another file's static initialisation.
Captions enabledTexts() {
  return {"disabled", "enabled"};
}
// The chip's status flags read 1 when there is no alarm.
Captions alarmFlagTexts() {
  return {"alarm", "no alarm"};
}

}  // namespace

const FieldDef& RegisterDef::field(std::string_view key) const {
  for (const auto& f : fields) {
    if (f.key == key) {
      return f;
    }
  }
  throw std::out_of_range("no field " + std::string(key) + " in the " + std::string(name));
}

// System control register (channel bits 0000, mode 00), with the controls of the system page;
// lists, which have no caption of their own, go by a short name ("DUTGND list").
const RegisterDef& systemControlRegister() {
  static const RegisterDef reg{
      "system control register",
      {
          f("CLAMP_EN3", 21, 1, {"CL3"}, "CLAMP ENABLE", "CH3", enabledTexts()),
          f("CLAMP_EN2", 20, 1, {"CL2"}, "CLAMP ENABLE", "CH2", enabledTexts()),
          f("CLAMP_EN1", 19, 1, {"CL1"}, "CLAMP ENABLE", "CH1", enabledTexts()),
          f("CLAMP_EN0", 18, 1, {"CL0"}, "CLAMP ENABLE", "CH0", enabledTexts()),
          f("COMP_EN3", 17, 1, {"C3"}, "COMP ENABLE", "CPOLH3", enabledTexts()),
          f("COMP_EN2", 16, 1, {"C2"}, "COMP ENABLE", "CPOLH2", enabledTexts()),
          f("COMP_EN1", 15, 1, {"C1"}, "COMP ENABLE", "CPOLH1", enabledTexts()),
          f("COMP_EN0", 14, 1, {"C0"}, "COMP ENABLE", "CPOLH0", enabledTexts()),
          f("CP_BIAS", 13, 1, {"CPEN"}, "CP BIAS", "ENABLE COMPARATOR", enabledTexts()),
          f("DUTGND", 12, 1, {"DUT"}, "DUT GND", "DUTGND list",
            {"DUTGND PER DEVICE", "DUTGND PER CHANNEL"}, {1, 0}),
          f("GUARD_ALARM", 11, 1, {"GRD"}, "ALARMS", "GUARD ALARM", enabledTexts()),
          f("CLAMP_ALARM", 10, 1, {"CLM"}, "ALARMS", "CLAMP ALARM", enabledTexts()),
          f("FORCE_SENSE_10K", 9, 1, {"10k"}, "10K", "FORCE/SENSE 10k", {"off", "on"}),
          f("GUARD_EN", 8, 1, {"EN"}, "GRD", "ENABLE GUARD FN", enabledTexts()),
          f("GAIN1", 7, 1, {"G1"}, "GAIN", "MEASOUT gain list",
            {"MEASOUT GAIN = 1", "MEASOUT GAIN =0.2"}, {1, 0}),
          f("GAIN0", 6, 1, {"G0"}, "GAIN", "current-measure gain list",
            {"I MEAS GAIN = 10", "I MEAS GAIN = 5"}),
          // The thermal list ("DISABLED", "ENABLED", "TJ = 130degC", ...) sets both fields.
          f("THERMAL_EN", 5, 1, {"EN"}, "TMP", "thermal list", {"DISABLED", "ENABLED"}),
          f("SHUTDOWN_TEMP", 3, 2, {"D4", "D3"}, "S/DOWN", "thermal list",
            {"TJ = 130degC", "TJ = 120degC", "TJ = 110degC", "TJ = 100degC"}),
          f("LATCH", 2, 1, {"L"}, "LATCHED", "latch list", {"UNLATCHED", "LATCHED"}),
          f("UNUSED", 0, 2, {"D1", "D0"}, "UNUSED", "", {}),
      }};
  return reg;
}

// PMU register (at least one channel bit, mode 00), with the controls of the PMU page.
const RegisterDef& pmuRegister() {
  static const RegisterDef reg{
      "PMU register",
      {
          f("ENABLE", 21, 1, {"EN"}, "CH EN", "ENABLE", enabledTexts()),
          f("FORCE", 19, 2, {"F1", "F0"}, "FORCE", "force list",
            {"Force Voltage", "Force Current", "Hi-Z FOH Voltage", "Hi-Z FOH Current"}),
          f("X", 18, 1, {"X"}, "", "", {}),
          f("RANGE", 15, 3, {"C2", "C1", "C0"}, "CURRENT RANGE", "current-range list",
            {"±5uA", "±20uA", "±200uA", "±2mA", "±ext current range", "DISABLE INT RANGE",
             "ENABLE INT RANGE"}),
          f("MEASURE", 13, 2, {"M1", "M0"}, "MEASURE", "measure list",
            {"Measure Current", "Measure Voltage", "Measure Die Temp Sensor", "Hi-Z MEASOUT"}),
          f("FIN", 12, 1, {"FIN"}, "FIN", "FIN connected to FORCE DAC",
            {"FIN tied to ground", "FIN connected to the force DAC"}),
          f("SYS_FORCE_SENSE", 10, 2, {"SF0", "SS0"}, "SYS FORCE /SENSE", "system force/sense list",
            {"Hi-Z SYS_FORCE & SENSE", "sys-force hi-z, sense conn", "sys force conn, sense hi-z",
             "CONNECT TO FOHx MEASVHx"}),
          f("CLAMP", 9, 1, {"CLAMP"}, "CLAMP", "Clamp Enable", enabledTexts()),
          f("COMP", 8, 1, {"COMP"}, "COMP", "Comparator Output  Enable", enabledTexts()),
          f("COMPARE", 7, 1, {"C V/I"}, "COMPARE", "compare list",
            {"Compare Current", "Compare Voltage"}),
          f("CLEAR", 6, 1, {"CLEAR"}, "CLEAR", "CLEAR LATCHED BITS",
            {"no clear", "clear the latched alarm bits"}),
          f("UNUSED", 0, 6, numbered("D", 5, 0), "UNUSED DATA BITS", "", {}),
      }};
  return reg;
}

const RegisterDef& wordHeader() {
  static const RegisterDef reg{
      "serial word header",
      {
          f("RW", 28, 1, {"R/W"}, "", "", {"write", "read"}),
          f("CHANNEL", 24, 4, {"CH3", "CH2", "CH1", "CH0"}, "CHANNEL ADDRESS", "PMU CH SELECT", {}),
          f("MODE", 22, 2, {"M1", "M2"}, "MODE", "", {}),
      }};
  return reg;
}

const RegisterDef& dacRegister() {
  static const RegisterDef reg{"DAC register",
                               {
                                   f("ADDRESS", 16, 6, numbered("A", 5, 0), "ADDRESS", "", {}),
                                   f("CODE", 0, 16, numbered("D", 15, 0), "DATA BITS", "", {}),
                               }};
  return reg;
}

// The PMU answer: bits 21..7 as written (bit 8 captioned "CPOLH" on the read page); bits 6 and 5
// the channel's temperature alarm flags instead of the clear bit.
const RegisterDef& pmuReadbackRegister() {
  static const RegisterDef reg = [] {
    RegisterDef r{"PMU register (readback)", {}};
    for (const auto& f : pmuRegister().fields) {
      if (f.lowBit >= 7) {
        r.fields.push_back(f);
      }
    }
    for (auto& f : r.fields) {
      if (f.key == "COMP") {
        f.bitCaptions = {"CPOLH"};
      }
    }
    FieldDef temp =
        f("TEMP_ALARM", 5, 2, {"LATCHED", "UNLATCHed"}, "TEMP ALARM", "", alarmFlagTexts());
    temp.activeLow = true;
    r.fields.push_back(temp);
    r.fields.push_back(f("UNUSED", 0, 5, numbered("", 4, 0), "", ""));
    return r;
  }();
  return reg;
}

const RegisterDef& comparatorStatusRegister() {
  static const RegisterDef reg{
      "comparator status register",
      {
          f("CPO", 14, 8, {"CPOL0", "CPOH0", "CPOL1", "CPOH1", "CPOL2", "CPOH2", "CPOL3", "CPOH3"},
            "COMPARATOR OUTPUT STATUS", "", {}),
          f("UNUSED", 0, 14, numbered("D", 13, 0), "UNUSED DATA BITS", "", {}),
      }};
  return reg;
}

const RegisterDef& alarmStatusRegister() {
  static const RegisterDef reg = [] {
    RegisterDef r{
        "alarm status register",
        {
            f("TEMP_ALARM", 20, 2, {"LTMPALM", "TMPALM"}, "TEMP ALARM", "", alarmFlagTexts()),
            // Bit 18 is captioned with the letter O ("GO"), not the digit.
            f("GUARD_ALARM", 12, 8, {"LG0", "GO", "LG1", "G1", "LG2", "G2", "LG3", "G3"},
              "GUARD ALARM", "", alarmFlagTexts()),
            f("CLAMP_ALARM", 4, 8, {"LC0", "C0", "LC1", "C1", "LC2", "C2", "LC3", "C3"},
              "CLAMP ALARM", "", alarmFlagTexts()),
            f("UNUSED", 0, 4, numbered("D", 3, 0), "UNUSED DATA BITS", "", {}),
        }};
    for (auto& f : r.fields) {
      f.activeLow = f.key != "UNUSED";
    }
    return r;
  }();
  return reg;
}

const FieldDef& field(SysField which) {
  return systemControlRegister().fields[static_cast<std::size_t>(which)];
}

const FieldDef& field(PmuField which) {
  return pmuRegister().fields[static_cast<std::size_t>(which)];
}

const FieldDef& clampEnableField(int channel) {
  return field(static_cast<SysField>(static_cast<int>(SysField::ClampEn0) - (channel & 3)));
}

const FieldDef& comparatorEnableField(int channel) {
  return field(static_cast<SysField>(static_cast<int>(SysField::CompEn0) - (channel & 3)));
}

std::uint32_t composeMeasoutGainList(std::uint32_t sysWord, int entry) {
  if (entry < 0 || entry > 1) {
    return sysWord;
  }
  return composeField(sysWord, field(SysField::Gain1), entry == 0 ? 1 : 0);
}

const std::vector<std::string_view>& thermalListItems() {
  static const std::vector<std::string_view> items = {
      "DISABLED", "ENABLED", "TJ = 130degC", "TJ = 120degC", "TJ = 110degC", "TJ = 100degC"};
  return items;
}

std::uint32_t composeThermalList(std::uint32_t sysWord, int entry) {
  std::uint32_t word = composeField(sysWord, field(SysField::Unused), 0);
  word = composeField(word, field(SysField::ShutdownTemp), 0);
  word = composeField(word, field(SysField::ThermalEn), 0);
  if (entry < 1 || entry >= static_cast<int>(thermalListItems().size())) {
    return word;  // "DISABLED", or no entry
  }
  word = composeField(word, field(SysField::ThermalEn), 1);
  // Entries from "TJ = 120degC" on lower the threshold by 10 degC each.
  return entry >= 3 ? composeField(word, field(SysField::ShutdownTemp),
                                   static_cast<std::uint32_t>(entry - 2))
                    : word;
}

std::uint32_t composeLatchList(std::uint32_t sysWord, int entry) {
  if (entry == 0) {
    return composeField(composeField(sysWord, field(SysField::Latch), 0), field(SysField::Unused),
                        0);
  }
  return entry == 1 ? composeField(sysWord, field(SysField::Latch), 1) : sysWord;
}

std::uint32_t composeField(std::uint32_t word, const FieldDef& field, std::uint32_t value) {
  return (word & ~field.mask()) | ((value << field.lowBit) & field.mask());
}

std::uint32_t fieldValue(std::uint32_t word, const FieldDef& field) {
  return (word & field.mask()) >> field.lowBit;
}

// ---- Bit displays ---------------------------------------------------------------------------

namespace {

// Lays the fields' captions out bit by bit and merges neighbouring fields with one group caption
// ("ALARMS" over GRD and CLM). Only bits below bitCount are shown.
DisplayLayout layOut(std::string_view frame, int bitCount,
                     const std::vector<const RegisterDef*>& registers,
                     std::string_view (*groupOf)(const FieldDef&)) {
  DisplayLayout layout;
  layout.frameCaption = frame;
  layout.bitCount = bitCount;
  layout.bits.resize(static_cast<std::size_t>(bitCount));
  for (const RegisterDef* reg : registers) {
    for (const FieldDef& field : reg->fields) {
      if (field.highBit() >= bitCount) {
        continue;
      }
      for (int i = 0; i < field.width; ++i) {
        const int bit = field.highBit() - i;
        layout.bits[static_cast<std::size_t>(bit)] = {
            field.bitCaptions[static_cast<std::size_t>(i)], field.activeLow};
      }
      const std::string_view group = groupOf(field);
      if (group.empty()) {
        continue;
      }
      if (!layout.groups.empty() && layout.groups.back().caption == group &&
          layout.groups.back().lowBit == field.highBit() + 1) {
        layout.groups.back().lowBit = field.lowBit;
      } else {
        layout.groups.push_back({group, field.highBit(), field.lowBit});
      }
    }
  }
  return layout;
}

std::string_view writeGroup(const FieldDef& field) {
  return field.group;
}

// The read page of the system control register words two group captions differently.
std::string_view readSystemGroup(const FieldDef& field) {
  if (field.group == "CP BIAS") {
    return "CP BIAS EN";
  }
  if (field.group == "DUT GND") {
    return "DUTGND";
  }
  return field.group;
}

bool isWriteDisplay(Display display) {
  return display == Display::DacInput || display == Display::PmuInput ||
         display == Display::SystemControl;
}

}  // namespace

const DisplayLayout& displayLayout(Display display) {
  static const DisplayLayout kLayouts[] = {
      layOut("DAC INPUT REGISTER", kWordBits, {&wordHeader(), &dacRegister()}, writeGroup),
      layOut("PMU INPUT REGISTER", kWordBits, {&wordHeader(), &pmuRegister()}, writeGroup),
      layOut("SYSTEM CONTROL REGISTER", kWordBits, {&wordHeader(), &systemControlRegister()},
             writeGroup),
      layOut("SYSTEM CONTROL REGISTER", kWordBits, {&wordHeader(), &systemControlRegister()},
             readSystemGroup),
      layOut("PMU REGISTER", kWordBits, {&wordHeader(), &pmuReadbackRegister()}, writeGroup),
      layOut("DAC REGISTER", kWordBits, {&wordHeader(), &dacRegister()}, writeGroup),
      layOut("COMPARATOR STATUS REGISTER", 24, {&wordHeader(), &comparatorStatusRegister()},
             writeGroup),
      layOut("ALARM STATUS REGISTER", 24, {&wordHeader(), &alarmStatusRegister()}, writeGroup),
  };
  return kLayouts[static_cast<int>(display)];
}

std::vector<char> displayBits(Display display, std::int32_t code) {
  if (isWriteDisplay(display) && (code < 0 || static_cast<std::uint32_t>(code) > kWordMask)) {
    return {};  // DecToBin leaves its boxes as they were
  }
  const auto bits = static_cast<std::uint32_t>(code);
  std::vector<char> boxes(static_cast<std::size_t>(displayLayout(display).bitCount));
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    boxes[i] = ((bits >> i) & 1u) != 0 ? '1' : '0';
  }
  return boxes;
}

}  // namespace kv4410
