// One line of an exec script: a line with words before any '#' gives a command or a reason, never
// both, and one without gives neither; an accepted command lies within the ranges the board
// takes; a trailing comment and the letters' case change nothing.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/script_line.h"
#include "device/serial_word.h"
#include "fuzz_check.h"

namespace {

using kv4410::cli::Command;

bool sameCommand(const Command& a, const Command& b) {
  return a.kind == b.kind && a.words == b.words && a.target == b.target &&
         a.readRequest == b.readRequest && a.count == b.count && a.vref == b.vref &&
         a.request == b.request && a.value == b.value;
}

void checkCommand(const Command& c) {
  switch (c.kind) {
    case Command::Kind::Write:
      FUZZ_CHECK(!c.words.empty());
      for (const std::int32_t word : c.words) {
        FUZZ_CHECK(word >= 0 && word <= static_cast<std::int32_t>(kv4410::kWordMask));
      }
      break;
    case Command::Kind::Adc:
      FUZZ_CHECK(c.count >= 1 && c.count <= kv4410::cli::kMaxAdcCount);
      FUZZ_CHECK(!c.vref || *c.vref == 2.5f || *c.vref == 5.0f);
      break;
    case Command::Kind::Read:
    case Command::Kind::Request:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const auto parsed = kv4410::cli::parseScriptLine(line);
  const std::string beforeComment = line.substr(0, line.find('#'));
  const bool hasWords = beforeComment.find_first_not_of(" \t\n\v\f\r") != std::string::npos;
  const int outcomes = int(parsed.command.has_value()) + int(!parsed.error.empty());
  FUZZ_CHECK(outcomes == (hasWords ? 1 : 0));
  if (parsed.command) {
    checkCommand(*parsed.command);
  }

  const auto commented = kv4410::cli::parseScriptLine(line + " # comment");
  FUZZ_CHECK(commented.error == parsed.error);
  FUZZ_CHECK(commented.command.has_value() == parsed.command.has_value());
  if (parsed.command) {
    FUZZ_CHECK(sameCommand(*commented.command, *parsed.command));
  }

  std::string upper = line;
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  const auto shouted = kv4410::cli::parseScriptLine(upper);
  FUZZ_CHECK(shouted.command.has_value() == parsed.command.has_value());
  if (parsed.command) {
    FUZZ_CHECK(sameCommand(*shouted.command, *parsed.command));
  }
  return 0;
}
