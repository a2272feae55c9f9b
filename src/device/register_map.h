#pragma once
// The register map as data: every field of the system control and PMU registers with its bits,
// captions, group caption and the control that sets it; and the caption rows of the eight
// bit displays. Windows, decoders and the CLI all read these tables.
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv4410 {

struct FieldDef {
  std::string_view key;  // unique within its register, e.g. "CLAMP_EN3", "FORCE", "RANGE"
  int lowBit = 0;
  int width = 1;
  std::vector<std::string_view> bitCaptions;  // highest bit first, e.g. {"F1", "F0"}
  std::string_view group;    // group caption above the bits, "" when the table gives none
  std::string_view control;  // caption of the check box or list that sets the field
  // Text of each field value, index = value: the list items where a list sets the field, or a
  // short meaning for check-box fields (e.g. {"disabled", "enabled"}).
  std::vector<std::string_view> values;
  // Value set by each item of the list that sets the field, in list order, where that order
  // differs from value order ({1, 0} for "DUTGND PER CHANNEL", "DUTGND PER DEVICE"); empty
  // when item i sets value i or no list sets the field.
  std::vector<std::uint32_t> listValues;
  // The read pages print these bits in bold: 1 means "no alarm".
  bool activeLow = false;

  int highBit() const { return lowBit + width - 1; }
  std::uint32_t mask() const { return ((1u << width) - 1u) << lowBit; }
  // values[value], or "" when the table has no text for it (unused codes, fields without one).
  std::string_view valueText(std::uint32_t value) const {
    return value < values.size() ? values[value] : std::string_view{};
  }
};

struct RegisterDef {
  std::string_view name;
  std::vector<FieldDef> fields;                       // highest bits first
  const FieldDef& field(std::string_view key) const;  // throws std::out_of_range if unknown
};

const RegisterDef& systemControlRegister();
const RegisterDef& pmuRegister();

// The fields of the two composed registers by enumerator, in table order (highest bits first),
// so a handler never looks a field up by a name that could be wrong at run time.
enum class SysField {
  ClampEn3,
  ClampEn2,
  ClampEn1,
  ClampEn0,
  CompEn3,
  CompEn2,
  CompEn1,
  CompEn0,
  CpBias,
  Dutgnd,
  GuardAlarm,
  ClampAlarm,
  ForceSense10k,
  GuardEn,
  Gain1,
  Gain0,
  ThermalEn,
  ShutdownTemp,
  Latch,
  Unused,
};
enum class PmuField {
  Enable,
  Force,
  X,
  Range,
  Measure,
  Fin,
  SysForceSense,
  Clamp,
  Comp,
  Compare,
  Clear,
  Unused,
};
const FieldDef& field(SysField which);
const FieldDef& field(PmuField which);
// "CH0".."CH3" of CLAMP ENABLE and "CPOLH0".."CPOLH3" of COMPARATOR EN, by channel 0..3.
const FieldDef& clampEnableField(int channel);
const FieldDef& comparatorEnableField(int channel);

// MEASOUT gain list (GAIN1, bit 7): item 0 "MEASOUT GAIN =0.2" sets the bit, item 1
// "MEASOUT GAIN = 1" clears it (gain 1 can drive the 5 V ADC beyond its range).
std::uint32_t composeMeasoutGainList(std::uint32_t sysWord, int entry);
// Bits 28..22 of every word: "RW", "CHANNEL" (CH3..CH0), "MODE" (M1 M2).
const RegisterDef& wordHeader();
// Bits 21..0 of a DAC register word: "ADDRESS" (A5..A0) and "CODE" (D15..D0).
const RegisterDef& dacRegister();
// Answer layouts that differ from the written register: the PMU answer (bits 8, 6
// and 5 differ), the comparator status and the alarm status register.
const RegisterDef& pmuReadbackRegister();
const RegisterDef& comparatorStatusRegister();
const RegisterDef& alarmStatusRegister();

// Clear the field, OR in value * 2^lowBit (value is masked to the field's width).
std::uint32_t composeField(std::uint32_t word, const FieldDef& field, std::uint32_t value);
std::uint32_t fieldValue(std::uint32_t word, const FieldDef& field);

// The thermal shutdown list sets the enable (bit 5) and the shutdown temperature (bits 4..3)
// together: "DISABLED", "ENABLED", "TJ = 130degC", "TJ = 120degC", "TJ = 110degC",
// "TJ = 100degC" ("ENABLED" keeps the 130 degC threshold).
const std::vector<std::string_view>& thermalListItems();
// Clears bits 5, 4, 3, 1 and 0, then adds the entry's bits; an entry outside the list only
// clears.
std::uint32_t composeThermalList(std::uint32_t sysWord, int entry);
// "UNLATCHED" (0) clears bits 2, 1 and 0; "LATCHED" (1) sets bit 2 only; other entries change
// nothing.
std::uint32_t composeLatchList(std::uint32_t sysWord, int entry);

// System force/sense list (PMU bits 11..10), PMU force list, etc. are FieldDef::values.

// ---- Bit displays ---------------------------------------------------------------------------

struct BitCaption {
  std::string_view caption;
  bool activeLow = false;  // shown in bold on the read pages
};

struct GroupSpan {
  std::string_view caption;
  int highBit = 0;
  int lowBit = 0;
};

enum class Display {
  DacInput,          // DecToBin      "DAC INPUT REGISTER"
  PmuInput,          // DecToBinPMU   "PMU INPUT REGISTER"
  SystemControl,     // DecToBinSYS   "SYSTEM CONTROL REGISTER"
  ReadSystem,        // DecToBinRSYS  "SYSTEM CONTROL REGISTER" (readback)
  ReadPmu,           // DecToBinRPMU  "PMU REGISTER"
  ReadDac,           // DecToBinRDAC  "DAC REGISTER"
  ComparatorStatus,  // DecToBinCOMP  "COMPARATOR STATUS REGISTER" (24 bits)
  AlarmStatus,       // DecToBinALM   "ALARM STATUS REGISTER" (24 bits)
};

struct DisplayLayout {
  std::string_view frameCaption;
  int bitCount = 29;              // 29 or 24
  std::vector<BitCaption> bits;   // index = bit number, size bitCount
  std::vector<GroupSpan> groups;  // left to right (highest bits first)
};

const DisplayLayout& displayLayout(Display display);

// Box texts of a display for `code`: "0"/"1" per bit (index = bit number). The 29-bit write
// displays accept only 0..0x1FFFFFFF and return an empty vector otherwise (the display then
// keeps what it showed); the 24-bit readback displays take the low bitCount bits as they are.
std::vector<char> displayBits(Display display, std::int32_t code);

}  // namespace kv4410
