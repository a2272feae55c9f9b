#include "board/simulated_chip.h"

#include <algorithm>

#include "device/dac_words.h"
#include "device/serial_word.h"

namespace kv4410::board {

namespace {

// System control register bits the model acts on.
constexpr std::uint32_t kSysClampEnable0 = 1u << 18;  // CL0; CL1..CL3 follow upwards
constexpr std::uint32_t kSysCompEnable0 = 1u << 14;   // C0; C1..C3 follow upwards
constexpr std::uint32_t kSysCompBias = 1u << 13;      // CPEN
constexpr std::uint32_t kSysClampAlarm = 1u << 10;    // CLM
constexpr std::uint32_t kSysGain1 = 1u << 7;          // MEASOUT gain 0.2 when set
constexpr std::uint32_t kSysGain0 = 1u << 6;          // current-measure gain 5 when set
constexpr std::uint32_t kSysThermalShutdown = 1u << 5;
constexpr int kSysShutdownShift = 3;            // bits 4..3
constexpr std::uint32_t kSysStored = 0x3FFFFC;  // bits 1..0 are not implemented

// PMU register bits.
constexpr std::uint32_t kPmuEnable = 1u << 21;
constexpr int kPmuForceShift = 19;    // bits 20..19
constexpr int kPmuRangeShift = 15;    // bits 17..15
constexpr int kPmuMeasureShift = 13;  // bits 14..13
constexpr std::uint32_t kPmuFin = 1u << 12;
constexpr std::uint32_t kPmuClamp = 1u << 9;
constexpr std::uint32_t kPmuComp = 1u << 8;
constexpr std::uint32_t kPmuCompareVoltage = 1u << 7;
constexpr std::uint32_t kPmuClear = 1u << 6;
constexpr std::uint32_t kPmuStored = 0x3FFF80;           // bits 21..7
constexpr std::uint32_t kAnswerLatchedTempOk = 1u << 6;  // in a PMU answer
constexpr std::uint32_t kAnswerTempOk = 1u << 5;

enum Force { kForceVoltage = 0, kForceCurrent = 1 };  // 2, 3: Hi-Z FOH modes
enum Measure { kMeasureCurrent = 0, kMeasureVoltage = 1, kMeasureTemperature = 2 };

constexpr int kExternalRange = 4;
// Sense resistors of the current ranges, ohms: 5 uA, 20 uA, 200 uA, 2 mA and the board's
// external resistor.
constexpr double kSenseOhms[5] = {200e3, 50e3, 5e3, 500.0, 100.0};
constexpr double kShutdownCelsius[4] = {130.0, 120.0, 110.0, 100.0};

constexpr int kFinBase = 8;
constexpr int kCllBase = 16;
constexpr int kClhBase = 24;
constexpr int kCplBase = 32;
constexpr int kCphBase = 40;

DacLevel powerOnLevel(DacGroup group) {
  DacLevel level;
  level.x1 = defaultCode(group, DacRegister::X1);
  if (group != DacGroup::Offset) {
    level.m = defaultCode(group, DacRegister::M);
    level.c = defaultCode(group, DacRegister::C);
  }
  return level;
}

// X2 = x1 * (M + 1) / 65536 + C - 32768, limited to the 16-bit code range.
std::uint16_t effectiveCode(const DacLevel& level) {
  const std::int64_t scaled = (static_cast<std::int64_t>(level.x1) * (level.m + 1)) >> 16;
  const std::int64_t x2 = scaled + level.c - 32768;
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(x2, 0, 65535));
}

int rangeOf(std::uint32_t pmu) {
  const int bits = static_cast<int>((pmu >> kPmuRangeShift) & 7u);
  // Bit 17 selects the external sense resistor whatever bits 16 and 15 hold.
  return bits >= 4 ? kExternalRange : bits;
}

}  // namespace

SimulatedChip::SimulatedChip(const ChipEnvironment& environment) : environment_(environment) {
  reset();
}

void SimulatedChip::reset() {
  system_ = 0;
  for (Channel& channel : channels_) {
    channel.pmu = 0;
    channel.clampLatched = false;
    for (int address = 0; address < kDacAddressCount; ++address) {
      const auto where = dacAddressOf(address);
      DacLevel& level = channel.dacs[static_cast<std::size_t>(address)];
      level = where && where->group != DacGroup::Offset ? powerOnLevel(where->group) : DacLevel{};
      takeEffect(level);
    }
  }
  offset_ = powerOnLevel(DacGroup::Offset);
  takeEffect(offset_);
  temperatureLatched_ = false;
  answer_ = 0;
  settle();
}

bool SimulatedChip::dacExists(int address) {
  const auto where = dacAddressOf(address);
  return where.has_value() && where->group != DacGroup::Offset;
}

std::uint32_t SimulatedChip::pmu(int channel) const {
  return channel >= 0 && channel < 4 ? channels_[static_cast<std::size_t>(channel)].pmu : 0;
}

const DacLevel& SimulatedChip::dac(int channel, int address) const {
  static const DacLevel kNone{};
  if (channel < 0 || channel >= 4 || address < 0 || address >= kDacAddressCount) {
    return kNone;
  }
  return channels_[static_cast<std::size_t>(channel)].dacs[static_cast<std::size_t>(address)];
}

void SimulatedChip::clockWord(std::uint32_t word) {
  word &= kWordMask;
  const WordTarget target = classifyWord(word);
  if (target.read) {
    answer_ = readAnswer(word);
    return;
  }
  const std::uint32_t mode = word & kModeMask;
  switch (target.kind) {
    case RegisterKind::SystemControl:
      system_ = word & kSysStored;
      break;
    case RegisterKind::Pmu:
      for (int ch = 0; ch < 4; ++ch) {
        if ((target.channels & (1u << ch)) == 0) {
          continue;
        }
        Channel& channel = channels_[static_cast<std::size_t>(ch)];
        channel.pmu = word & kPmuStored;
        if ((word & kPmuClear) != 0) {
          // CLEAR releases the latched bits; a condition that still holds latches again below.
          channel.clampLatched = false;
          temperatureLatched_ = false;
        }
      }
      break;
    case RegisterKind::DacX1:
    case RegisterKind::DacM:
    case RegisterKind::DacC:
      for (int ch = 0; ch < 4; ++ch) {
        if ((target.channels & (1u << ch)) != 0) {
          writeDac(ch, mode, target.dacAddress, static_cast<std::uint16_t>(word & 0xFFFFu));
        }
      }
      break;
    default:
      // No channel bit and a mode other than 00 selects no register.
      break;
  }
  settle();
}

void SimulatedChip::writeDac(int ch, std::uint32_t mode, int address, std::uint16_t code) {
  if (address == 0) {
    // The offset DAC is one per chip and has only its x1 register.
    if (mode == static_cast<std::uint32_t>(kModeX1)) {
      offset_.x1 = code;
      if (loadHigh_) {
        offset_.pending = true;
      } else {
        takeEffect(offset_);
      }
    }
    return;
  }
  if (!dacExists(address)) {
    return;
  }
  DacLevel& level = channels_[static_cast<std::size_t>(ch)].dacs[static_cast<std::size_t>(address)];
  if (mode == static_cast<std::uint32_t>(kModeX1)) {
    level.x1 = code;
    if (loadHigh_) {
      level.pending = true;
    } else {
      takeEffect(level);
    }
  } else if (mode == static_cast<std::uint32_t>(kModeM)) {
    level.m = code;  // acts on the output at the level's next x1 update
  } else {
    level.c = code;
  }
}

void SimulatedChip::takeEffect(DacLevel& level) const {
  level.output = effectiveCode(level);
  level.pending = false;
}

void SimulatedChip::applyPending() {
  for (Channel& channel : channels_) {
    for (DacLevel& level : channel.dacs) {
      if (level.pending) {
        takeEffect(level);
      }
    }
  }
  if (offset_.pending) {
    takeEffect(offset_);
  }
}

void SimulatedChip::setLoadHigh(bool high) {
  loadHigh_ = high;
  if (!high) {
    applyPending();
  }
  settle();
}

void SimulatedChip::pulseLoad() {
  applyPending();
  settle();
}

std::uint32_t SimulatedChip::readAnswer(std::uint32_t word) const {
  const WordTarget target = classifyWord(word);
  int lowest = 0;  // several channel bits: the lowest channel answers
  while (lowest < 3 && (target.channels & (1u << lowest)) == 0) {
    ++lowest;
  }
  const std::uint32_t mode = word & kModeMask;
  switch (target.kind) {
    case RegisterKind::SystemControl:
      return system_;
    case RegisterKind::Pmu: {
      const bool hot = overTemperature();
      std::uint32_t value = channels_[static_cast<std::size_t>(lowest)].pmu;
      value |= temperatureLatched_ ? 0u : kAnswerLatchedTempOk;
      value |= hot ? 0u : kAnswerTempOk;
      return value;
    }
    case RegisterKind::ComparatorStatus:
      return mode | comparatorStatus();
    case RegisterKind::AlarmStatus:
      return mode | alarmStatus();
    case RegisterKind::DacX1:
    case RegisterKind::DacM:
    case RegisterKind::DacC: {
      const auto address = static_cast<std::uint32_t>(target.dacAddress);
      std::uint32_t code = 0;
      if (address == 0) {
        code = mode == static_cast<std::uint32_t>(kModeX1) ? offset_.x1 : 0u;
      } else if (dacExists(target.dacAddress)) {
        const DacLevel& level = dac(lowest, target.dacAddress);
        code = mode == static_cast<std::uint32_t>(kModeX1)  ? level.x1
               : mode == static_cast<std::uint32_t>(kModeM) ? level.m
                                                            : level.c;
      }
      return mode | (address << 16) | code;
    }
    default:
      return 0;
  }
}

double SimulatedChip::miGain() const {
  return (system_ & kSysGain0) != 0 ? 5.0 : 10.0;
}

double SimulatedChip::offsetVolts() const {
  return 3.5 * referenceVolts() * offset_.output / 65536.0;
}

double SimulatedChip::levelVolts(std::uint16_t code) const {
  return 4.5 * referenceVolts() * code / 65536.0 - offsetVolts();
}

double SimulatedChip::levelAmps(std::uint16_t code, int range) const {
  return 4.5 * referenceVolts() * (static_cast<double>(code) - 32768.0) / 65536.0 /
         (miGain() * kSenseOhms[range]);
}

bool SimulatedChip::overTemperature() const {
  return dieTemperature() > kShutdownCelsius[(system_ >> kSysShutdownShift) & 3u];
}

bool SimulatedChip::thermalShutdown() const {
  return (system_ & kSysThermalShutdown) != 0 && overTemperature();
}

ChannelState SimulatedChip::channel(int ch) const {
  ChannelState state;
  if (ch < 0 || ch >= 4) {
    return state;
  }
  const Channel& regs = channels_[static_cast<std::size_t>(ch)];
  if ((regs.pmu & kPmuEnable) == 0) {
    return state;  // a disabled channel forces nothing and leaves its measure output Hi-Z
  }
  const int force = static_cast<int>((regs.pmu >> kPmuForceShift) & 3u);
  const int range = rangeOf(regs.pmu);
  const int measure = static_cast<int>((regs.pmu >> kPmuMeasureShift) & 3u);
  const bool clamps = (regs.pmu & kPmuClamp) != 0 && (system_ & (kSysClampEnable0 << ch)) != 0;
  const double ohms = environment_.loadOhms[static_cast<std::size_t>(ch)];
  const auto out = [&regs](int address) {
    return regs.dacs[static_cast<std::size_t>(address)].output;
  };

  state.forcing = (regs.pmu & kPmuFin) != 0 && force <= kForceCurrent && !thermalShutdown();
  if (state.forcing && force == kForceVoltage) {
    double amps = levelVolts(out(kFinBase + kVoltageRangeLevel)) / ohms;
    if (clamps) {
      // In force-voltage mode the clamps limit the current ("Current Ranges" levels).
      const double low = levelAmps(out(kCllBase + kCurrentRangesLevel), range);
      const double high = levelAmps(out(kClhBase + kCurrentRangesLevel), range);
      const double limited = std::min(std::max(amps, low), high);
      state.clamping = limited != amps;
      amps = limited;
    }
    // The sense amplifier saturates at the range's full scale.
    amps = std::clamp(amps, levelAmps(0, range), levelAmps(65535, range));
    state.amps = amps;
    state.volts = amps * ohms;
  } else if (state.forcing) {
    double volts = levelAmps(out(kFinBase + range), range) * ohms;
    if (clamps) {
      // In force-current mode the clamps limit the voltage ("Voltage Range" levels).
      const double low = levelVolts(out(kCllBase + kVoltageRangeLevel));
      const double high = levelVolts(out(kClhBase + kVoltageRangeLevel));
      const double limited = std::min(std::max(volts, low), high);
      state.clamping = limited != volts;
      volts = limited;
    }
    // The force amplifier cannot leave the span of the voltage range.
    volts = std::clamp(volts, levelVolts(0), levelVolts(65535));
    state.volts = volts;
    state.amps = volts / ohms;
  }

  const double gain = (system_ & kSysGain1) != 0 ? 0.2 : 1.0;
  switch (measure) {
    case kMeasureCurrent:
      state.measureVolts = gain * (miGain() * kSenseOhms[range] * state.amps + offsetVolts());
      break;
    case kMeasureVoltage:
      state.measureVolts = gain * (state.volts + offsetVolts());
      break;
    case kMeasureTemperature:
      state.measureVolts = temperatureSensorVolts(dieTemperature());
      break;
    default:
      break;  // Hi-Z MEASOUT
  }
  return state;
}

double SimulatedChip::measureBusVolts() const {
  double sum = 0.0;
  int driving = 0;
  for (int ch = 0; ch < 4; ++ch) {
    const auto volts = channel(ch).measureVolts;
    if (volts) {
      sum += *volts;
      ++driving;
    }
  }
  return driving == 0 ? 0.0 : sum / driving;
}

std::uint32_t SimulatedChip::comparatorStatus() const {
  std::uint32_t status = 0;
  const bool bias = (system_ & kSysCompBias) != 0;
  for (int ch = 0; ch < 4; ++ch) {
    bool low = false;   // below the low threshold
    bool high = false;  // above the high threshold
    const Channel& regs = channels_[static_cast<std::size_t>(ch)];
    if (bias && (system_ & (kSysCompEnable0 << ch)) != 0 && (regs.pmu & kPmuComp) != 0) {
      const ChannelState state = channel(ch);
      const auto out = [&regs](int address) {
        return regs.dacs[static_cast<std::size_t>(address)].output;
      };
      if ((regs.pmu & kPmuCompareVoltage) != 0) {
        low = state.volts < levelVolts(out(kCplBase + kVoltageRangeLevel));
        high = state.volts > levelVolts(out(kCphBase + kVoltageRangeLevel));
      } else {
        const int range = rangeOf(regs.pmu);
        low = state.amps < levelAmps(out(kCplBase + range), range);
        high = state.amps > levelAmps(out(kCphBase + range), range);
      }
    }
    // CPOL<ch> at bit 21 - 2ch, CPOH<ch> below it; 1 = no alarm.
    status |= (low ? 0u : 1u) << (21 - 2 * ch);
    status |= (high ? 0u : 1u) << (20 - 2 * ch);
  }
  return status;
}

std::uint32_t SimulatedChip::alarmStatus() const {
  const bool hot = overTemperature();
  std::uint32_t status = 0;
  status |= (temperatureLatched_ ? 0u : 1u) << 21;
  status |= (hot ? 0u : 1u) << 20;
  status |= 0xFFu << 12;  // guard alarms: the model has no guard amplifier fault
  const bool clampAlarms = (system_ & kSysClampAlarm) != 0;
  for (int ch = 0; ch < 4; ++ch) {
    const bool clamping = clampAlarms && channel(ch).clamping;
    status |= (channels_[static_cast<std::size_t>(ch)].clampLatched ? 0u : 1u) << (11 - 2 * ch);
    status |= (clamping ? 0u : 1u) << (10 - 2 * ch);
  }
  return status;
}

void SimulatedChip::settle() {
  const bool clampAlarms = (system_ & kSysClampAlarm) != 0;
  for (int ch = 0; ch < 4; ++ch) {
    if (clampAlarms && channel(ch).clamping) {
      channels_[static_cast<std::size_t>(ch)].clampLatched = true;
    }
  }
  if (overTemperature()) {
    temperatureLatched_ = true;
  }
}

void SimulatedChip::setDieTemperature(double celsius) {
  environment_.dieTemperatureC = celsius;
  settle();
}

void SimulatedChip::setLoad(int ch, double ohms) {
  if (ch >= 0 && ch < 4 && ohms > 0.0) {
    environment_.loadOhms[static_cast<std::size_t>(ch)] = ohms;
    settle();
  }
}

double SimulatedChip::load(int ch) const {
  return ch >= 0 && ch < 4 ? environment_.loadOhms[static_cast<std::size_t>(ch)] : 0.0;
}

double SimulatedChip::temperatureSensorVolts(double celsius) {
  // 1.5 V at 25 degC, rising 5 mV per kelvin.
  return 1.5 + 0.005 * (celsius - 25.0);
}

}  // namespace kv4410::board
