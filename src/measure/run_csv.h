#pragma once
// A run as a CSV file: comment lines ("# ...") describing it, the header, one comma row per
// reading with its board status as the last column, and the minimum and maximum as comment
// lines, so that every non-comment line after the header is a row of the run.
#include <string>
#include <string_view>

#include "measure/sweep_engine.h"

namespace kv4410::measure {

// The rows so far of `run`; min and max are added once it has ended with at least one row. A run
// that was stopped or lost its board says so in a comment line before the header.
// A setup as one-line JSON (`setupJsonLine`) goes first, as the comment line "# setup: {...}",
// so that the file can be opened as the setup that produced it.
std::string csvText(const RunDescription& description, const Run& run,
                    std::string_view setupJsonLine = {});

// The local time as the files give it: "2026-12-07 10:15:02".
std::string localDateTime();

}  // namespace kv4410::measure
