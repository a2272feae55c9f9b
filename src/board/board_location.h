#pragma once
// Where a board sits on USB, as the user names it with --board and as `kv4410ctl list` prints
// it: the bus number, a dash and the port path from the root hub, ports joined by dots ("1-4",
// "3-1.2.4"). The port path stays the same when the board re-enumerates after its firmware
// download, so the name picks the same board before and after.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv4410::board {

struct BoardLocation {
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> portPath;
  bool operator==(const BoardLocation& other) const {
    return bus == other.bus && portPath == other.portPath;
  }
};

// At most this many ports deep (the USB limit of hubs in a chain, plus the board's own port).
inline constexpr std::size_t kMaxPortDepth = 7;

std::string locationText(const BoardLocation& location);
// "BUS-PORT[.PORT...]" with numbers 1..255; nullopt for anything else.
std::optional<BoardLocation> parseLocation(std::string_view text);

}  // namespace kv4410::board
