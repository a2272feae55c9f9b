#include "device/conversions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kv4410 {

namespace {
constexpr double kCodeSpan = 65536.0;
constexpr double kMidCode = 32768.0;
constexpr double kSpanFactor = 4.5;    // the DACs span 4.5 x VREF
constexpr double kOffsetFactor = 3.5;  // the offset DAC shifts by up to 3.5 x VREF

// Division by a VREF, gain or resistor of zero, which callers do not rule out, gives the
// IEEE result (infinity, or NaN for 0/0) without relying on undefined behaviour.
double divide(double numerator, double denominator) {
  if (denominator != 0.0) {
    return numerator / denominator;
  }
  if (numerator == 0.0 || std::isnan(numerator)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return std::copysign(std::numeric_limits<double>::infinity(), numerator) *
         (std::signbit(denominator) ? -1.0 : 1.0);
}

}  // namespace

float toSingle(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) {
    return std::numeric_limits<float>::infinity();
  }
  if (value < -kMax) {
    return -std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}

std::optional<std::int32_t> roundToInt32(double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  // Ties to even without depending on the floating-point rounding mode. value - floor(value)
  // is exact for every finite double.
  double rounded = std::floor(value);
  const double fraction = value - rounded;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
    rounded += 1.0;
  }
  if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(rounded);
}

std::optional<double> senseResistorOhms(int rangeIndex, double externalOhms) {
  switch (rangeIndex) {
    case 0:
      return 200000.0;
    case 1:
      return 50000.0;
    case 2:
      return 5000.0;
    case 3:
      return 500.0;
    case 4:
      return externalOhms;
    default:
      return std::nullopt;
  }
}

std::optional<double> senseResistorDisplay(int rangeIndex, double externalOhms) {
  switch (rangeIndex) {
    case 0:
      return 0.2;  // megohms: currents in microamps
    case 1:
      return 0.05;
    case 2:
      return 0.005;
    case 3:
      return 0.5;  // kilohms: currents in milliamps
    case 4:
      return externalOhms / 1000.0;
    default:
      return std::nullopt;
  }
}

bool rangeInMicroamps(int rangeIndex) {
  return rangeIndex >= 0 && rangeIndex <= 2;
}

double currentUnitToAmps(int rangeIndex) {
  return rangeInMicroamps(rangeIndex) ? 1e-6 : 1e-3;
}

float miGainFromReadback(std::uint32_t readback) {
  return (readback & 0x40u) != 0 ? 5.0F : 10.0F;  // GAIN0, bit 6
}

double offsetVoltage(float vref, std::int32_t offsetCode) {
  return kOffsetFactor * static_cast<double>(vref) * offsetCode / kCodeSpan;
}

double voltageOfCode(std::int32_t code, float vref, std::int32_t offsetCode) {
  return kSpanFactor * static_cast<double>(vref) * code / kCodeSpan -
         offsetVoltage(vref, offsetCode);
}

std::optional<std::int32_t> codeForVoltage(double volts, float vref, std::int32_t offsetCode) {
  return roundToInt32(divide((volts + offsetVoltage(vref, offsetCode)) * kCodeSpan,
                             kSpanFactor * static_cast<double>(vref)));
}

double currentOfCode(std::int32_t code, float vref, float miGain, double rsenseOhms) {
  return divide(kSpanFactor * static_cast<double>(vref) * (code - kMidCode) / kCodeSpan,
                static_cast<double>(miGain) * rsenseOhms);
}

std::optional<std::int32_t> codeForCurrent(double amps, float vref, float miGain,
                                           double rsenseOhms) {
  return roundToInt32(divide(kCodeSpan * amps * rsenseOhms * static_cast<double>(miGain),
                             kSpanFactor * static_cast<double>(vref)) +
                      kMidCode);
}

RangeLimits voltageRangeLimits(float vref, std::int32_t offsetCode) {
  const double offset = offsetVoltage(vref, offsetCode);
  RangeLimits limits;
  limits.fullScale =
      toSingle(kSpanFactor * static_cast<double>(vref) * 65535.0 / kCodeSpan - offset);
  limits.zeroScale = toSingle(0.0 - offset);
  return limits;
}

RangeLimits currentRangeLimits(float vref, float miGain, double rsenseDisplay) {
  const double scale =
      divide(static_cast<double>(vref) * kSpanFactor, static_cast<double>(miGain) * rsenseDisplay);
  RangeLimits limits;
  limits.fullScale = toSingle(scale * (32767.0 / kCodeSpan));
  limits.zeroScale = toSingle(scale * (-32768.0 / kCodeSpan));
  return limits;
}

double adcVolts(std::int32_t code, float vref) {
  return code * (static_cast<double>(vref) / kCodeSpan);
}

float adcVoltsSingle(std::int32_t code, float vref) {
  const float lsb = vref / 65536.0F;
  return lsb * static_cast<float>(code);
}

float effectiveCodeVoltage(std::int64_t x1, float vref, std::int32_t offsetCode) {
  // With M = 0xFFFF and C = 0x8000 the chip's X2 = x1 * 65536 / 65536 + 32768 - 32768 = x1.
  const auto x2 = static_cast<std::int32_t>(std::clamp<std::int64_t>(x1, 0, 65536));
  return toSingle(voltageOfCode(x2, vref, offsetCode));
}

}  // namespace kv4410
