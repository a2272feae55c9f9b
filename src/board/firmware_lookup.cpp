#include "board/firmware_lookup.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "board/board_link.h"
#include "kv4410_install_dirs.h"

namespace kv4410::board {

namespace fs = std::filesystem;

FirmwareLookup findFirmware(const std::vector<fs::path>& folders) {
  FirmwareLookup lookup;
  for (const fs::path& folder : folders) {
    const fs::path candidate = BoardLink::firmwarePathBeside(folder);
    lookup.tried.push_back(candidate);
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) {
      lookup.path = candidate;
      return lookup;
    }
  }
  if (!lookup.tried.empty()) {
    lookup.path = lookup.tried.front();
  }
  return lookup;
}

FirmwareLookup lookUpFirmware(const std::optional<fs::path>& named, const fs::path& programDir) {
  if (named) {
    return FirmwareLookup{*named, {*named}};
  }
  return findFirmware({programDir, fs::path(kSharedDataDirectory)});
}

std::string triedText(const FirmwareLookup& lookup) {
  std::string text = "firmware file looked for at:";
  const char* separator = " ";
  for (const fs::path& path : lookup.tried) {
    text += separator + path.u8string();
    separator = ", ";
  }
  return text;
}

namespace {

fs::path resolvedDirectory(const fs::path& file) {
  std::error_code error;
  const fs::path absolute = fs::absolute(file, error);
  const fs::path resolved = fs::weakly_canonical(absolute, error);
  return (error ? absolute : resolved).parent_path();
}

}  // namespace

fs::path programDirectory(const fs::path& selfLink, std::string_view argv0,
                          std::string_view searchPath) {
  std::error_code error;
  const fs::path self = fs::read_symlink(selfLink, error);
  if (!error && self.is_absolute()) {
    return self.parent_path();
  }
  if (argv0.find('/') != std::string_view::npos) {
    return resolvedDirectory(fs::path(argv0));
  }
  // A bare name was found through PATH by the shell; an empty entry means the current directory.
  while (!argv0.empty()) {
    const std::size_t colon = searchPath.find(':');
    const std::string_view entry = searchPath.substr(0, colon);
    const fs::path candidate = fs::path(entry.empty() ? std::string_view(".") : entry) / argv0;
    if (fs::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0) {
      return resolvedDirectory(candidate);
    }
    if (colon == std::string_view::npos) {
      break;
    }
    searchPath.remove_prefix(colon + 1);
  }
  return fs::current_path(error);
}

fs::path programDirectory(const char* argv0) {
  const char* path = std::getenv("PATH");
  return programDirectory("/proc/self/exe", argv0 != nullptr ? argv0 : "",
                          path != nullptr ? path : "");
}

}  // namespace kv4410::board
