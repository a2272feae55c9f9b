#pragma once
// A level-to-FIN-code conversion and its way back, as text: the computation behind
// `kv4410ctl convert`, with the forcing range (F/S, Z/S) of the PMU control window.
#include <cstdint>
#include <optional>
#include <string>

#include "device/dac_words.h"

namespace kv4410 {

struct ConversionRequest {
  float vref = 5.0F;
  std::int32_t offsetCode = kDefaultOffsetCode;
  std::optional<int> rangeIndex;  // 0..4 current range (5uA ... external); none: voltage range
  float miGain = 10.0F;
  double externalOhms = 100.0;  // sense resistor of range 4
  // Exactly one of the two: a level (volts, or uA for ranges 0..2 and mA for 3..4) or a code.
  std::optional<double> level;
  std::optional<std::int32_t> code;
};

struct ConversionReport {
  bool ok = false;
  std::string text;   // lines, each ending in '\n'
  std::string error;  // one line without '\n' when !ok
};

ConversionReport describeConversion(const ConversionRequest& request);

}  // namespace kv4410
