#include "board/board_location.h"

namespace kv4410::board {

namespace {

// A decimal number 1..255 at the front of `text`, which is advanced past it.
std::optional<std::uint8_t> takeNumber(std::string_view& text) {
  unsigned value = 0;
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[digits] - '0');
    if (value > 255) {
      return std::nullopt;
    }
    ++digits;
  }
  if (digits == 0 || value == 0) {
    return std::nullopt;
  }
  text.remove_prefix(digits);
  return static_cast<std::uint8_t>(value);
}

}  // namespace

std::string locationText(const BoardLocation& location) {
  std::string text = std::to_string(location.bus);
  char separator = '-';
  for (const std::uint8_t port : location.portPath) {
    text += separator;
    text += std::to_string(port);
    separator = '.';
  }
  return text;
}

std::optional<BoardLocation> parseLocation(std::string_view text) {
  BoardLocation location;
  const auto bus = takeNumber(text);
  if (!bus || text.empty() || text.front() != '-') {
    return std::nullopt;
  }
  location.bus = *bus;
  do {
    text.remove_prefix(1);  // the '-' or a '.'
    const auto port = takeNumber(text);
    if (!port || location.portPath.size() == kMaxPortDepth) {
      return std::nullopt;
    }
    location.portPath.push_back(*port);
  } while (!text.empty() && text.front() == '.');
  if (!text.empty()) {
    return std::nullopt;
  }
  return location;
}

}  // namespace kv4410::board
