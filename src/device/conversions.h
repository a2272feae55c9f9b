#pragma once
// Conversions between DAC codes and volts or amps. Arithmetic is double precision; values the
// program stores in single precision (VREF, MI gain, range limits) are float. Every
// float-to-integer conversion rounds to nearest, ties to even, and never overflows: a value
// whose code cannot be a 32-bit integer (NaN, infinite, huge) gives std::nullopt.
#include <cstdint>
#include <optional>

namespace kv4410 {

// Nearest 32-bit integer, ties to even; nullopt for NaN, infinities and out-of-range values.
std::optional<std::int32_t> roundToInt32(double value);
// A double stored as single precision. A finite value beyond float's range (a plain cast would
// be undefined behaviour) becomes the infinity of its sign; NaN stays NaN.
float toSingle(double value);

// Sense resistor of a current range for the conversions, in ohms:
// 0 -> 200k, 1 -> 50k, 2 -> 5k, 3 -> 500, 4 -> externalOhms. Other indices give nullopt.
std::optional<double> senseResistorOhms(int rangeIndex, double externalOhms);
// The same resistor in the unit of the range display: megohms for ranges 0..2 (currents in uA),
// kilohms for 3 and 4 (currents in mA): 0.2, 0.05, 0.005, 0.5, externalOhms / 1000.
std::optional<double> senseResistorDisplay(int rangeIndex, double externalOhms);
// Scale of a user's level in a current range to amps: 1e-6 for ranges 0..2, 1e-3 for 3..4.
double currentUnitToAmps(int rangeIndex);
// True when the range's currents are shown in microamps (0..2), false for milliamps (3, 4).
bool rangeInMicroamps(int rangeIndex);

// MI gain from a system control readback: bit 6 (GAIN0) set -> 5, clear -> 10.
float miGainFromReadback(std::uint32_t readback);

// Offset DAC voltage shift: 3.5 * VREF * OFFSET / 65536.
double offsetVoltage(float vref, std::int32_t offsetCode);
// V = 4.5 * VREF * code / 65536 - 3.5 * VREF * OFFSET / 65536.
double voltageOfCode(std::int32_t code, float vref, std::int32_t offsetCode);
// code = [(V + 3.5 * VREF * OFFSET / 65536) * 65536 / (4.5 * VREF)].
std::optional<std::int32_t> codeForVoltage(double volts, float vref, std::int32_t offsetCode);
// I = 4.5 * VREF * (code - 32768) / 65536 / (MI gain * Rsense), amps.
double currentOfCode(std::int32_t code, float vref, float miGain, double rsenseOhms);
// code = [65536 * I * Rsense * MI gain / (4.5 * VREF) + 32768], I in amps, Rsense in ohms.
std::optional<std::int32_t> codeForCurrent(double amps, float vref, float miGain,
                                           double rsenseOhms);

struct RangeLimits {
  float fullScale = 0.0F;  // F/S
  float zeroScale = 0.0F;  // Z/S
};
// Voltage range: F/S = 4.5 VREF 65535/65536 - Voff, Z/S = -Voff (single precision).
RangeLimits voltageRangeLimits(float vref, std::int32_t offsetCode);
// Current range in the display unit: F/S = 4.5 VREF (32767/65536) / (MI gain * R),
// Z/S = 4.5 VREF (-32768/65536) / (MI gain * R), R from senseResistorDisplay.
RangeLimits currentRangeLimits(float vref, float miGain, double rsenseDisplay);

// The board ADC spans 0 to VREF in 65536 steps. Volts of an ADC code, code * (VREF / 65536),
// in double precision (the sweeps' LSB is a double).
double adcVolts(std::int32_t code, float vref);
// The same with the LSB held in single precision and the product rounded to single (the
// automated channel test's arithmetic).
float adcVoltsSingle(std::int32_t code, float vref);

// Voltage that an x1 code finally produces with M and C at their defaults: X2 = x1, limited to
// 0..65536 (65536 is the upper limit), through the voltage formula, as single precision.
float effectiveCodeVoltage(std::int64_t x1, float vref, std::int32_t offsetCode);

}  // namespace kv4410
