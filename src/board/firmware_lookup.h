#pragma once
// Where the program looks for the board's firmware file (KV4410SPI.hex): in its own directory
// first, then in the shared data folder that the package installs (/usr/share/kv4410), unless
// --firmware names the file. Every place looked at is kept for the "not found" message.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv4410::board {

struct FirmwareLookup {
  // The file handed to the board: the first candidate that is a regular file, else the first
  // candidate (the board then answers 3002 - FIRMWARE FILE NOT FOUND).
  std::filesystem::path path;
  // Every candidate looked at, in order, up to the one found.
  std::vector<std::filesystem::path> tried;
};

// KV4410SPI.hex in each folder in turn.
FirmwareLookup findFirmware(const std::vector<std::filesystem::path>& folders);
// The named file when there is one (it is used as it is), else the search beside the program
// and then in the installed shared data folder.
FirmwareLookup lookUpFirmware(const std::optional<std::filesystem::path>& named,
                              const std::filesystem::path& programDir);
// "firmware file looked for at: A, B", for stderr after 3002.
std::string triedText(const FirmwareLookup& lookup);

// The directory of the running program: the target of `selfLink` (/proc/self/exe), else the
// directory of `argv0`, found through `searchPath` (PATH) when it holds no '/'; else the
// current directory. Symbolic links are resolved in every case.
std::filesystem::path programDirectory(const std::filesystem::path& selfLink,
                                       std::string_view argv0, std::string_view searchPath);
// The same for this process, from /proc/self/exe, argv[0] (may be null) and $PATH.
std::filesystem::path programDirectory(const char* argv0);

}  // namespace kv4410::board
