// The firmware file reader: an accepted image lies inside the 16-bit address space in merged
// blocks, a refused one names its line, and an accepted image written out again as records
// reads back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "board/intel_hex.h"
#include "fuzz_check.h"

namespace {

using kv4410::board::HexImage;

void appendByte(std::string& out, unsigned byte, std::uint8_t& sum) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += kDigits[(byte >> 4) & 0xF];
  out += kDigits[byte & 0xF];
  sum = static_cast<std::uint8_t>(sum + byte);
}

// Data records of at most 16 bytes each, then the end record.
std::string writeRecords(const HexImage& image) {
  std::string out;
  for (const auto& block : image.blocks) {
    for (std::size_t at = 0; at < block.bytes.size(); at += 16) {
      const std::size_t length = std::min<std::size_t>(16, block.bytes.size() - at);
      const unsigned address = block.address + static_cast<unsigned>(at);
      std::uint8_t sum = 0;
      out += ':';
      appendByte(out, static_cast<unsigned>(length), sum);
      appendByte(out, address >> 8, sum);
      appendByte(out, address & 0xFF, sum);
      appendByte(out, 0, sum);
      for (std::size_t i = 0; i < length; ++i) {
        appendByte(out, block.bytes[at + i], sum);
      }
      appendByte(out, static_cast<std::uint8_t>(-sum), sum);
      out += '\n';
    }
  }
  return out + ":00000001FF\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const HexImage image = kv4410::board::parseIntelHex(text);
  if (!image.ok) {
    FUZZ_CHECK(image.blocks.empty());
    FUZZ_CHECK(image.error.rfind("line ", 0) == 0);
    return 0;
  }
  FUZZ_CHECK(image.error.empty());
  std::size_t total = 0;
  for (std::size_t i = 0; i < image.blocks.size(); ++i) {
    const auto& block = image.blocks[i];
    FUZZ_CHECK(!block.bytes.empty());
    FUZZ_CHECK(block.address + block.bytes.size() <= 0x10000);
    if (i > 0) {
      const auto& before = image.blocks[i - 1];
      FUZZ_CHECK(before.address + before.bytes.size() != block.address);
    }
    total += block.bytes.size();
  }
  FUZZ_CHECK(total <= size / 2);
  const HexImage again = kv4410::board::parseIntelHex(writeRecords(image));
  FUZZ_CHECK(again.ok);
  FUZZ_CHECK(again.blocks.size() == image.blocks.size());
  for (std::size_t i = 0; i < image.blocks.size(); ++i) {
    FUZZ_CHECK(again.blocks[i].address == image.blocks[i].address);
    FUZZ_CHECK(again.blocks[i].bytes == image.blocks[i].bytes);
  }
  return 0;
}
