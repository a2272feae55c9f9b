#pragma once
// Builds Intel HEX records with correct checksums for the tests.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kv4410::board::testing {

inline std::string hexRecord(std::uint8_t type, std::uint16_t address,
                             const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()),
                                     static_cast<std::uint8_t>(address >> 8),
                                     static_cast<std::uint8_t>(address & 0xFF), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (const std::uint8_t b : bytes) {
    sum = static_cast<std::uint8_t>(sum + b);
  }
  bytes.push_back(static_cast<std::uint8_t>(0x100 - sum));
  std::string line = ":";
  for (const std::uint8_t b : bytes) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", b);
    line += two;
  }
  return line;
}

inline const std::string kEndRecord = ":00000001FF";

}  // namespace kv4410::board::testing
