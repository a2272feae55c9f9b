#pragma once
// Saved setups: a bench's state as a JSON file, so that a day's work starts where the last one
// ended and a run's result file says which register state produced it.
//
// The file holds a format number, the program's version, the date, the board ("simulated", "usb"
// or "usb BUS-PORT"), every stored register word, the conversion values, every shared setting,
// the sweep window's fields and delays, and what the chip holds (system control and PMU register
// contents, the DAC codes that differ from their reset codes, the compensation switches).
// Words and codes are written as hexadecimal texts ("0x0F21B300"), the rest as numbers.
//
// Opening a setup sends, in this order: the chip reset (219); the system control word; the PMU
// words, one per group of channels that hold the same contents; the OFFSET DAC when it is not
// at its reset code; the DAC registers that differ from their reset codes, address by address
// (M and C before x1, since they act at the next x1 update); the feed-forward switch (229),
// then the compensation switch (228). Then every stored word, conversion value and setting
// takes the file's value without sending anything again. /LOAD is assumed low.
//
// A file is refused as a whole, naming its first bad entry; a refused file sends nothing.
#include <optional>
#include <string>
#include <string_view>

#include "bench/bench.h"
#include "measure/run_fields.h"

namespace kv4410::bench {

// The layout this program writes; files of a newer one are refused.
inline constexpr int kSetupFormat = 1;
// How a run's CSV file carries the setup of its bench: one comment line.
inline constexpr std::string_view kSetupLinePrefix = "# setup: ";

struct Setup {
  std::string program;  // the version that wrote it
  std::string date;     // local time, "2026-12-07 10:15:02"
  std::string board;    // "simulated", "usb", "usb 1-4"
  BenchSnapshot bench;
  measure::SweepRequest sweepFields;  // Start Voltage, End Voltage, Voltage Step (mV)
  double forceVolts = 0.0;            // FORCE VOLTAGE of the measurement versus time
};

struct SetupResult {
  std::optional<Setup> setup;
  std::string refusal;  // why the text is no setup; empty when setup is set
};

enum class JsonLayout { Pretty, OneLine };

std::string setupJson(const Setup& setup, JsonLayout layout = JsonLayout::Pretty);
// A setup file, or a run CSV file with a "# setup: " comment line. Every entry is checked
// against its field's range before it is used.
SetupResult readSetup(std::string_view text);
// The values a bench can take, as readSetup checks them; nullopt when all are in range.
std::optional<std::string> setupRefusal(const Setup& setup);

}  // namespace kv4410::bench
