#include "board/intel_hex.h"

#include <optional>

namespace kv4410::board {

namespace {

std::optional<std::uint8_t> hexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<std::uint8_t>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<std::uint8_t>(c - 'A' + 10);
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<std::uint8_t>(c - 'a' + 10);
  }
  return std::nullopt;
}

HexImage refuse(int line, const std::string& why) {
  HexImage image;
  image.error = "line " + std::to_string(line) + ": " + why;
  return image;
}

}  // namespace

HexImage parseIntelHex(std::string_view text) {
  HexImage image;
  std::uint32_t base = 0;
  bool ended = false;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find('\n', start);
    if (stop == std::string_view::npos) {
      stop = text.size();
    }
    std::string_view line = text.substr(start, stop - start);
    start = stop + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (ended) {
      if (line.empty()) {
        continue;
      }
      return refuse(lineNumber, "data after the end record");
    }
    if (line.empty() || line.front() != ':') {
      return refuse(lineNumber, "a record starts with ':'");
    }
    line.remove_prefix(1);
    if (line.size() < 10 || line.size() % 2 != 0) {
      return refuse(lineNumber, "record too short or of odd length");
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(line.size() / 2);
    for (std::size_t i = 0; i < line.size(); i += 2) {
      const auto high = hexDigit(line[i]);
      const auto low = hexDigit(line[i + 1]);
      if (!high || !low) {
        return refuse(lineNumber, "not a hexadecimal digit");
      }
      bytes.push_back(static_cast<std::uint8_t>(*high * 16 + *low));
    }
    const std::size_t length = bytes[0];
    if (bytes.size() != length + 5) {
      return refuse(lineNumber, "length does not match the record");
    }
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : bytes) {
      sum = static_cast<std::uint8_t>(sum + byte);
    }
    if (sum != 0) {
      return refuse(lineNumber, "checksum mismatch");
    }
    const auto address = static_cast<std::uint16_t>(bytes[1] * 256 + bytes[2]);
    const std::uint8_t type = bytes[3];
    const std::uint8_t* payload = bytes.data() + 4;
    switch (type) {
      case 0x00: {
        const std::uint32_t first = base + address;
        if (length > 0 && first + length - 1 > 0xFFFF) {
          return refuse(lineNumber, "address outside 0000..FFFF");
        }
        if (length == 0) {
          break;
        }
        if (image.blocks.empty() ||
            image.blocks.back().address + image.blocks.back().bytes.size() != first) {
          image.blocks.push_back(MemoryBlock{static_cast<std::uint16_t>(first), {}});
        }
        image.blocks.back().bytes.insert(image.blocks.back().bytes.end(), payload,
                                         payload + length);
        break;
      }
      case 0x01:
        if (length != 0 || address != 0) {
          return refuse(lineNumber, "end record with a length or an address");
        }
        ended = true;
        break;
      case 0x02:
      case 0x04:
        if (length != 2 || address != 0) {
          return refuse(lineNumber, "address record needs length 2 and address 0");
        }
        base = type == 0x02 ? (payload[0] * 256u + payload[1]) * 16u
                            : (payload[0] * 256u + payload[1]) << 16;
        break;
      case 0x03:
      case 0x05:
        if (length != 4) {
          return refuse(lineNumber, "start address record needs length 4");
        }
        break;
      default:
        return refuse(lineNumber, "unknown record type");
    }
  }
  if (!ended) {
    return refuse(lineNumber, "no end record");
  }
  image.ok = true;
  return image;
}

}  // namespace kv4410::board
