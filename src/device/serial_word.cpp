#include "device/serial_word.h"

namespace kv4410 {

WordTarget classifyWord(std::uint32_t word) {
  WordTarget target;
  target.read = (word & kReadBit) != 0;
  target.channels = (word & kChannelMask) >> 24;
  const unsigned mode = (word & kModeMask) >> 22;  // M1 M2
  if (target.channels == 0) {
    // Without a channel bit the mode picks a chip-wide register; the status registers can
    // only be read.
    switch (mode) {
      case 0b00:
        target.kind = RegisterKind::SystemControl;
        break;
      case 0b01:
        target.kind = target.read ? RegisterKind::ComparatorStatus : RegisterKind::None;
        break;
      case 0b11:
        target.kind = target.read ? RegisterKind::AlarmStatus : RegisterKind::None;
        break;
      default:
        target.kind = RegisterKind::None;
        break;
    }
    return target;
  }
  switch (mode) {
    case 0b00:
      target.kind = RegisterKind::Pmu;
      break;
    case 0b11:
      target.kind = RegisterKind::DacX1;
      break;
    case 0b10:
      target.kind = RegisterKind::DacC;
      break;
    default:
      target.kind = RegisterKind::DacM;
      break;
  }
  if (mode != 0b00) {
    target.dacAddress = static_cast<int>((word >> 16) & 0x3Fu);
  }
  return target;
}

const char* registerKindName(RegisterKind kind) {
  switch (kind) {
    case RegisterKind::SystemControl:
      return "system control register";
    case RegisterKind::Pmu:
      return "PMU register";
    case RegisterKind::DacX1:
      return "DAC x1 (input) register";
    case RegisterKind::DacC:
      return "DAC C (offset) register";
    case RegisterKind::DacM:
      return "DAC M (gain) register";
    case RegisterKind::ComparatorStatus:
      return "comparator status register";
    case RegisterKind::AlarmStatus:
      return "alarm status register";
    case RegisterKind::None:
      break;
  }
  return "no register";
}

}  // namespace kv4410
