#pragma once
// DAC register words: register kinds, the address map with its level index, the page defaults,
// and the two DACLOAD composers.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kv4410 {

// Register kind (bits 23..22) as the `Mode` value callers pass.
inline constexpr std::int32_t kModeX1 = 0xC00000;
inline constexpr std::int32_t kModeC = 0x800000;
inline constexpr std::int32_t kModeM = 0x400000;

enum class DacGroup { Offset, Fin, Cll, Clh, Cpl, Cph };
enum class DacRegister { X1, M, C };
inline constexpr std::array<DacGroup, 6> kDacGroups = {
    DacGroup::Offset, DacGroup::Fin, DacGroup::Cll, DacGroup::Clh, DacGroup::Cpl, DacGroup::Cph};

inline constexpr int kVoltageRangeLevel = 5;   // level index of "Voltage Range"
inline constexpr int kCurrentRangesLevel = 4;  // CLL/CLH "Current Ranges" (= "±Ext Rsense")

// FIN DAC group base (address 8) shifted to bit 16: the force level's registers.
inline constexpr std::int32_t kFinDacBase = 0x080000;
// The x1 register of the FIN DAC at the "Voltage Range" level (address 13), without channels.
inline constexpr std::int32_t kFinVoltageX1 = kModeX1 | kFinDacBase | (kVoltageRangeLevel << 16);

// `dacadd`: the group's base address already shifted to bit 16 (0, 0x080000, ... 0x280000).
std::int32_t groupBase(DacGroup group);
std::int32_t modeOf(DacRegister reg);
std::string_view groupName(DacGroup group);  // "OFFSET", "FIN", "CLL", "CLH", "CPL", "CPH"
// Which group and level a DAC address (bits 21..16, 0..63) selects; nullopt for addresses
// outside the map (1..7, 14, 15, 16..19, ...).
struct DacAddress {
  DacGroup group = DacGroup::Offset;
  int level = 0;
};
std::optional<DacAddress> dacAddressOf(int address);
// Level indices a group has: Offset {0}, Fin/Cpl/Cph 0..5, Cll/Clh 4..5.
bool groupHasLevel(DacGroup group, int level);
// Caption of a level row on the DAC page ("±5uA" ... "Voltage Range"; CLL/CLH index 4
// "Current Ranges").
std::string_view levelCaption(DacGroup group, int level);
// Default text of a register as the DAC page first shows it ("FFFF", "8000", "0000", "A492").
std::string_view defaultCodeText(DacGroup group, DacRegister reg);
std::uint16_t defaultCode(DacGroup group, DacRegister reg);
inline constexpr std::uint16_t kDefaultOffsetCode = 0xA492;

// The register window's DACLOAD, steps 1..6: chanBits | Mode | dacadd, keep bits 16..27,
// OR lx (not masked), OR Index * 0x10000 when Index is 1..5.
std::int32_t composeDacWord(std::int16_t index, std::int32_t lx, std::int32_t mode,
                            std::int32_t dacadd, std::int32_t chanBits);

// How the PMU control window's DACLOAD picks the FIN level (sub-address) it adds.
enum class ForceSelection { Voltage, Current, Other };
// The PMU control window's DACLOAD: chanBits | dacadd | Mode, AND 0xFFF0000, OR lx; then
// OR 0x50000 for force voltage, or rangeEntry * 0x10000 for force current with list entry
// 0..4; nothing otherwise (Hi-Z modes, the "Always on Ext Range" entries, no selection).
std::int32_t composePmuWindowDacWord(std::int32_t lx, std::int32_t mode, std::int32_t dacadd,
                                     std::int32_t chanBits, ForceSelection force, int rangeEntry);

// Offset DAC write of the PMU control window: ((chanBits | 0xC00000) & 0xFFF0000) | code.
std::int32_t composeOffsetDacWord(std::int32_t chanBits, std::int32_t code);

}  // namespace kv4410
