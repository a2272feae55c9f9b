#pragma once
// Whole-file replacement that never leaves a half-written or emptied file behind: the contents go
// to a temporary file in the same folder, which is renamed over the target only once it is
// completely written. Result files and saved setups both go through here.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kv4410::measure {

// Writes `contents` to `path`. On success returns nullopt; on failure returns why, naming the file
// and the system's reason ("cannot write '/data/run.csv': Permission denied"), and the old file
// is untouched and no temporary file is left. A file that existed keeps its permission bits; a
// new one gets rw-r--r--.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               std::string_view contents);

}  // namespace kv4410::measure
