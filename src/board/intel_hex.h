#pragma once
// A strict Intel HEX reader for the board's firmware image (16-bit address space).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv4410::board {

// Bytes at consecutive addresses, in the order the file gives them.
struct MemoryBlock {
  std::uint16_t address = 0;
  std::vector<std::uint8_t> bytes;
};

struct HexImage {
  bool ok = false;
  std::string error;  // "line 3: checksum mismatch" when refused
  std::vector<MemoryBlock> blocks;
};

// Reads the text of a HEX file. Every record's bytes including the checksum sum to 0; data
// records (00) must land in 0..0xFFFF; the end record (01) has address 0 and length 0 and must
// be present (only line ends may follow it); 02 and 04 have length 2 and address 0 and set the
// base address; 03 and 05 have length 4 and are ignored; any other type is refused. Lines end
// in LF or CR LF. Consecutive data records are merged into one block.
HexImage parseIntelHex(std::string_view text);

}  // namespace kv4410::board
