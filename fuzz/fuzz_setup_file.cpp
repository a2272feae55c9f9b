// Setup files (and run files with a "# setup:" line): either a setup or the reason it is refused,
// never both; an accepted setup holds only values its fields can take, and what it writes reads
// back as the same setup.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bench/setup_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kv4410::bench::SetupResult read = kv4410::bench::readSetup(text);
  FUZZ_CHECK(read.setup.has_value() == read.refusal.empty());
  if (!read.setup) {
    return 0;
  }
  FUZZ_CHECK(!kv4410::bench::setupRefusal(*read.setup));
  const std::string json = kv4410::bench::setupJson(*read.setup);
  const kv4410::bench::SetupResult again = kv4410::bench::readSetup(json);
  FUZZ_CHECK(again.setup.has_value());
  FUZZ_CHECK(kv4410::bench::setupJson(*again.setup) == json);
  return 0;
}
