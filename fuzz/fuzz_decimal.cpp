// The decimal entry fields: finite values only, blanks around do not matter, and the value
// printed with 15 significant digits reads back to within that precision.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/text_format.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = kv4410::parseDecimal(text);
  const auto padded = kv4410::parseDecimal(" \t" + std::string(text) + "\t ");
  FUZZ_CHECK(value.has_value() == padded.has_value());
  if (!value) {
    return 0;
  }
  FUZZ_CHECK(std::isfinite(*value));
  FUZZ_CHECK(*padded == *value);
  const auto again = kv4410::parseDecimal(kv4410::formatDouble(*value));
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(std::fabs(*again - *value) <= 1e-14 * std::fabs(*value) + DBL_MIN);
  return 0;
}
