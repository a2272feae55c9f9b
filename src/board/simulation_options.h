#pragma once
// Options of the simulated board, as given after --simulate= ("key=value,key,...").
#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace kv4410::board {

enum class FirmwareFault { None, Missing, Corrupt };

struct SimulationOptions {
  // Resistor from each channel's output to ground, ohms.
  std::array<double, 4> loadOhms = {5600.0, 5600.0, 5600.0, 5600.0};
  double noiseLsb = 0.0;                   // ADC noise, LSB rms
  std::uint64_t seed = 1;                  // seed of the noise generator
  std::uint32_t latencyUs = 0;             // added to every vendor request, microseconds
  double dieTemperatureC = 25.0;           // die temperature, degrees Celsius
  double referenceVolts = 5.0;             // the board's reference (DAC span and ADC full scale)
  bool noBoard = false;                    // the search finds nothing
  std::optional<std::uint64_t> failAfter;  // every vendor request after the N-th fails (3005)
  std::set<std::uint64_t> failAt;          // these vendor requests (counted from 1) fail (3005)
  FirmwareFault firmware = FirmwareFault::None;
};

inline constexpr std::size_t kMaxFailAt = 64;

struct SimulationOptionsResult {
  std::optional<SimulationOptions> options;  // empty when the text is refused
  std::string error;                         // one line naming the refused item
};

// Parses "key=value,..." (an empty text gives the defaults). Keys: load, load0..load3 (ohms,
// above 0), noise (LSB rms, 0 or more), seed (unsigned integer), latency (microseconds,
// 0..10000000), temp (degrees Celsius, -55..250), vref (volts, above 0 and at most 10),
// noboard (no value), fail-after (unsigned integer), fail-at (unsigned integer, given up to
// kMaxFailAt times: each names one request that fails), firmware (missing|corrupt).
SimulationOptionsResult parseSimulationOptions(std::string_view text);

}  // namespace kv4410::board
