#pragma once
// A board command checked from its words before anything goes to the board: one line of an
// exec script, or the words of a command given on the command line. No board, CLI11 or Qt here,
// so the fuzz targets call it alone.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv4410::cli {

inline constexpr int kMaxAdcCount = 100000;

enum class ReadTarget { System, Comparator, Alarm, Pmu, Offset, Dac };

// One parsed command line, checked before anything goes to the board.
struct Command {
  enum class Kind { Write, Read, Adc, Request } kind = Kind::Request;
  std::vector<std::int32_t> words;  // Write
  ReadTarget target = ReadTarget::System;
  std::int32_t readRequest = 0;  // Read
  int count = 1;                 // Adc
  std::optional<float> vref;     // Adc: --vref, else the script's or the board's reference
  std::uint8_t request = 0;      // Request: a one-line board command
  std::uint16_t value = 0;
};

using Tokens = std::vector<std::string>;

// Parses one command from its words (at least one); on a usage error puts a one-line reason
// into `error`.
std::optional<Command> parseCommand(const Tokens& t, std::string& error);

struct ScriptLine {
  std::optional<Command> command;  // empty for a blank or comment-only line, and when refused
  std::string error;               // the one-line reason when refused, else empty
};

// One line of a script: a '#' starts a comment, words are separated by blanks, and `exec` is
// refused (a script cannot run another).
ScriptLine parseScriptLine(std::string_view line);

// A hexadecimal word as the command line takes it: with or without a leading 0x.
std::string_view withoutHexPrefix(std::string_view text);

// The board's reference as --vref takes it: 2.5 or 5 volts.
std::optional<float> vrefNamed(std::string_view text);
std::string vrefError(std::string_view text);

}  // namespace kv4410::cli
