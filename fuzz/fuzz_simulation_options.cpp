// The --simulate= options: either options or a reason, and accepted options within the ranges
// the simulated board works with.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "board/simulation_options.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto result = kv4410::board::parseSimulationOptions(text);
  FUZZ_CHECK(result.options.has_value() == result.error.empty());
  if (!result.options) {
    FUZZ_CHECK(result.error.rfind("--simulate: ", 0) == 0);
    return 0;
  }
  const auto& o = *result.options;
  for (const double ohms : o.loadOhms) {
    FUZZ_CHECK(std::isfinite(ohms) && ohms > 0.0);
  }
  FUZZ_CHECK(std::isfinite(o.noiseLsb) && o.noiseLsb >= 0.0 && o.noiseLsb <= 65536.0);
  FUZZ_CHECK(o.latencyUs <= 10'000'000);
  FUZZ_CHECK(o.dieTemperatureC >= -55.0 && o.dieTemperatureC <= 250.0);
  FUZZ_CHECK(o.referenceVolts > 0.0 && o.referenceVolts <= 10.0);
  FUZZ_CHECK(o.failAt.size() <= kv4410::board::kMaxFailAt && o.failAt.count(0) == 0);
  return 0;
}
