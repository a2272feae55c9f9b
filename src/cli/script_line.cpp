#include "cli/script_line.h"

#include <cctype>
#include <sstream>
#include <utility>

#include "board/board_link.h"
#include "device/dac_words.h"
#include "device/readback.h"
#include "device/serial_word.h"
#include "device/text_format.h"

namespace kv4410::cli {

std::string_view withoutHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  return text;
}

namespace {

std::optional<int> smallNumber(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 6) {
    return std::nullopt;
  }
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::string upperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return upper;
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

// Command names and keywords are taken in any case ("READ Sys", "ccomp 1NF").
bool sameWord(std::string_view a, std::string_view b) {
  return lowerCase(a) == lowerCase(b);
}

std::optional<DacGroup> groupNamed(std::string_view name) {
  const std::string upper = upperCase(name);
  for (const DacGroup group :
       {DacGroup::Fin, DacGroup::Cll, DacGroup::Clh, DacGroup::Cpl, DacGroup::Cph}) {
    if (upper == groupName(group)) {
      return group;
    }
  }
  return std::nullopt;
}

// x1, m or c, in any case. A table rather than a chain of optionals: GCC 12 at -O2 takes the
// chained form for a possibly uninitialised read.
std::optional<DacRegister> dacRegisterNamed(std::string_view name) {
  struct Named {
    const char* name;
    DacRegister reg;
  };
  static constexpr Named kRegisters[] = {
      {"X1", DacRegister::X1}, {"M", DacRegister::M}, {"C", DacRegister::C}};
  const std::string upper = upperCase(name);
  for (const Named& r : kRegisters) {
    if (upper == r.name) {
      return r.reg;
    }
  }
  return std::nullopt;
}

Tokens split(std::string_view line) {
  Tokens tokens;
  std::istringstream in{std::string(line)};
  for (std::string token; in >> token;) {
    tokens.push_back(token);
  }
  return tokens;
}

}  // namespace

std::optional<float> vrefNamed(std::string_view text) {
  const auto volts = parseDecimal(text);
  if (!volts || (*volts != 2.5 && *volts != 5.0)) {
    return std::nullopt;
  }
  return static_cast<float>(*volts);
}

std::string vrefError(std::string_view text) {
  return "--vref must be 2.5 or 5, not '" + std::string(text) + "'";
}

std::optional<Command> parseCommand(const Tokens& t, std::string& error) {
  Command c;
  const std::string name = lowerCase(t.at(0));
  const auto args = t.size() - 1;
  const auto choose = [&](std::uint8_t request, const std::vector<std::string_view>& items,
                          std::string_view what) -> std::optional<Command> {
    if (args == 1) {
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (sameWord(t[1], items[i])) {
          c.kind = Command::Kind::Request;
          c.request = request;
          c.value = static_cast<std::uint16_t>(i + 1);
          return c;
        }
      }
    }
    error = name + " takes one of " + std::string(what);
    return std::nullopt;
  };

  if (name == "write") {
    if (args == 0) {
      error = "write needs at least one WORD";
      return std::nullopt;
    }
    c.kind = Command::Kind::Write;
    for (std::size_t i = 1; i < t.size(); ++i) {
      const auto word = parseHexUnsigned(withoutHexPrefix(t[i]));
      if (!word || *word > kWordMask) {
        error = "'" + t[i] + "' is not a serial word (hexadecimal, 0 to 1FFFFFFF)";
        return std::nullopt;
      }
      c.words.push_back(static_cast<std::int32_t>(*word));
    }
    return c;
  }
  if (name == "read") {
    c.kind = Command::Kind::Read;
    const std::string what = args >= 1 ? lowerCase(t[1]) : "";
    // The registers read without arguments, each with its fixed read request.
    struct FixedRead {
      const char* name;
      ReadTarget target;
      std::int32_t request;
    };
    static constexpr FixedRead kFixedReads[] = {
        {"sys", ReadTarget::System, kReadSystemRequest},
        {"comp", ReadTarget::Comparator, kReadComparatorRequest},
        {"alarm", ReadTarget::Alarm, kReadAlarmRequest},
        {"offset", ReadTarget::Offset, kReadOffsetDacRequest},
    };
    for (const FixedRead& fixed : kFixedReads) {
      if (what == fixed.name && args == 1) {
        c.target = fixed.target;
        c.readRequest = fixed.request;
        return c;
      }
    }
    if (what == "pmu" && args == 2) {
      const auto channel = smallNumber(t[2], 0, kChannelCount - 1);
      if (!channel) {
        error = "read pmu takes a channel 0 to 3";
        return std::nullopt;
      }
      c.target = ReadTarget::Pmu;
      c.readRequest = pmuReadRequest(*channel);
      return c;
    }
    if (what == "dac" && args == 5) {
      const auto channel = smallNumber(t[2], 0, kChannelCount - 1);
      const auto group = groupNamed(t[3]);
      const auto level = smallNumber(t[4], 0, 5);
      const auto kind = dacRegisterNamed(t[5]);
      if (!channel || !group || !level || !kind || !groupHasLevel(*group, *level)) {
        error =
            "read dac takes CH (0-3) GROUP (FIN, CLL, CLH, CPL, CPH) LEVEL (0-5; CLL and CLH "
            "4-5) x1|m|c";
        return std::nullopt;
      }
      c.target = ReadTarget::Dac;
      c.readRequest = dacReadRequest(*channel, modeOf(*kind), (groupBase(*group) >> 16) + *level);
      return c;
    }
    error = "read takes sys, comp, alarm, pmu CH, offset or dac CH GROUP LEVEL x1|m|c";
    return std::nullopt;
  }
  if (name == "adc") {
    c.kind = Command::Kind::Adc;
    const std::string adcUsage = "adc takes [--count N] with N from 1 to " +
                                 std::to_string(kMaxAdcCount) + " and [--vref 2.5|5]";
    for (std::size_t i = 1; i < t.size(); i += 2) {
      const bool count = sameWord(t[i], "--count");
      if ((!count && !sameWord(t[i], "--vref")) || i + 1 == t.size()) {
        error = adcUsage;
        return std::nullopt;
      }
      if (count) {
        const auto n = smallNumber(t[i + 1], 1, kMaxAdcCount);
        if (!n) {
          error = adcUsage;
          return std::nullopt;
        }
        c.count = *n;
      } else {
        c.vref = vrefNamed(t[i + 1]);
        if (!c.vref) {
          error = vrefError(t[i + 1]);
          return std::nullopt;
        }
      }
    }
    return c;
  }
  if (name == "reset") {
    if (args != 0) {
      error = "reset takes no arguments";
      return std::nullopt;
    }
    c.request = board::request::kResetChip;
    return c;
  }
  if (name == "load") {
    if (args == 1) {
      const std::pair<std::string_view, std::uint8_t> lines[] = {
          {"pulse", board::request::kPulseLoad},
          {"high", board::request::kLoadHigh},
          {"low", board::request::kLoadLow}};
      for (const auto& [word, request] : lines) {
        if (sameWord(t[1], word)) {
          c.request = request;
          return c;
        }
      }
    }
    error = "load takes pulse, high or low";
    return std::nullopt;
  }
  if (name == "ccomp") {
    return choose(board::request::kCComp, {"100pF", "1nF"}, "100pF, 1nF");
  }
  if (name == "cff") {
    return choose(board::request::kCFeedforward, {"220pF", "1nF", "10nF"}, "220pF, 1nF, 10nF");
  }
  error = "unknown command '" + t.at(0) + "'";
  return std::nullopt;
}

ScriptLine parseScriptLine(std::string_view line) {
  ScriptLine parsed;
  // A '#' starts a comment, on a line of its own or after a command.
  line = line.substr(0, line.find('#'));
  const Tokens tokens = split(line);
  if (tokens.empty()) {
    return parsed;
  }
  if (sameWord(tokens[0], "exec")) {
    parsed.error = "exec cannot run inside a script";
    return parsed;
  }
  parsed.command = parseCommand(tokens, parsed.error);
  return parsed;
}

}  // namespace kv4410::cli
