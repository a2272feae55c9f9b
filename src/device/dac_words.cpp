#include "device/dac_words.h"

#include "device/text_format.h"

namespace kv4410 {

namespace {

struct GroupInfo {
  std::string_view name;
  std::int32_t dacadd;
  int firstLevel;  // the group has levels firstLevel..lastLevel
  int lastLevel;
  std::string_view x1Default;  // default text of the x1 register on the DAC page
};

const GroupInfo& info(DacGroup group) {
  // Order of DacGroup.
  static const GroupInfo kGroups[] = {
      {"OFFSET", 0x000000, 0, 0, "A492"}, {"FIN", kFinDacBase, 0, 5, "8000"},
      {"CLL", 0x100000, 4, 5, "0000"},    {"CLH", 0x180000, 4, 5, "FFFF"},
      {"CPL", 0x200000, 0, 5, "0000"},    {"CPH", 0x280000, 0, 5, "FFFF"},
  };
  return kGroups[static_cast<int>(group)];
}

constexpr std::string_view kLevelCaptions[] = {"±5uA", "±20uA",       "±200uA",
                                               "±2mA", "±Ext Rsense", "Voltage Range"};

}  // namespace

std::int32_t groupBase(DacGroup group) {
  return info(group).dacadd;
}

std::int32_t modeOf(DacRegister reg) {
  switch (reg) {
    case DacRegister::X1:
      return kModeX1;
    case DacRegister::M:
      return kModeM;
    case DacRegister::C:
      return kModeC;
  }
  return kModeX1;
}

std::string_view groupName(DacGroup group) {
  return info(group).name;
}

std::optional<DacAddress> dacAddressOf(int address) {
  for (const DacGroup group : kDacGroups) {
    const int level = address - (groupBase(group) >> 16);
    if (groupHasLevel(group, level)) {
      return DacAddress{group, level};
    }
  }
  return std::nullopt;
}

bool groupHasLevel(DacGroup group, int level) {
  return level >= info(group).firstLevel && level <= info(group).lastLevel;
}

std::string_view levelCaption(DacGroup group, int level) {
  if (!groupHasLevel(group, level)) {
    return {};
  }
  if (group == DacGroup::Offset) {
    return "OFFSET DAC CODE";
  }
  if ((group == DacGroup::Cll || group == DacGroup::Clh) && level == kCurrentRangesLevel) {
    return "Current Ranges";  // one clamp level shared by all current ranges
  }
  return kLevelCaptions[level];
}

std::string_view defaultCodeText(DacGroup group, DacRegister reg) {
  if (group == DacGroup::Offset && reg != DacRegister::X1) {
    return {};  // the offset DAC has only its x1 register
  }
  switch (reg) {
    case DacRegister::M:
      return "FFFF";
    case DacRegister::C:
      return "8000";
    case DacRegister::X1:
      break;
  }
  return info(group).x1Default;
}

std::uint16_t defaultCode(DacGroup group, DacRegister reg) {
  const auto code = parseHexSigned(defaultCodeText(group, reg));
  return static_cast<std::uint16_t>(code.value_or(0));
}

std::int32_t composeDacWord(std::int16_t index, std::int32_t lx, std::int32_t mode,
                            std::int32_t dacadd, std::int32_t chanBits) {
  std::int32_t word = (chanBits | mode | dacadd) & 0x0FFF0000;  // bit 28 and low bits dropped
  word |= lx;                                                   // callers keep lx in 0..0xFFFF
  if (index >= 1 && index <= 5) {
    word |= index * 0x10000;  // adds the level to the base: every base is a multiple of 8
  }
  return word;
}

std::int32_t composePmuWindowDacWord(std::int32_t lx, std::int32_t mode, std::int32_t dacadd,
                                     std::int32_t chanBits, ForceSelection force, int rangeEntry) {
  std::int32_t word = ((chanBits | dacadd | mode) & 0xFFF0000) | lx;
  if (force == ForceSelection::Voltage) {
    word |= kVoltageRangeLevel * 0x10000;
  } else if (force == ForceSelection::Current && rangeEntry >= 0 && rangeEntry <= 4) {
    word |= rangeEntry * 0x10000;
  }
  return word;
}

std::int32_t composeOffsetDacWord(std::int32_t chanBits, std::int32_t code) {
  return ((chanBits | kModeX1) & 0xFFF0000) | code;
}

}  // namespace kv4410
