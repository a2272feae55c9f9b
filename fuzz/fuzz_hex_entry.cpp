// The hexadecimal entry fields: both readings agree, and an accepted text prints back as itself.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/text_format.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto asSigned = kv4410::parseHexSigned(text);
  const auto asUnsigned = kv4410::parseHexUnsigned(text);
  FUZZ_CHECK(asSigned.has_value() == asUnsigned.has_value());
  if (!asUnsigned) {
    return 0;
  }
  FUZZ_CHECK(size >= 1 && size <= 8);
  FUZZ_CHECK(static_cast<std::uint32_t>(*asSigned) == *asUnsigned);
  // Printed with as many digits as were typed, the value is the typed text upper-cased.
  std::string upper(text);
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  FUZZ_CHECK(kv4410::NumberToHex(*asSigned, static_cast<int>(size)) == upper);
  FUZZ_CHECK(kv4410::parseHexUnsigned(kv4410::HexText(*asSigned)) == asUnsigned);
  return 0;
}
