// kv4410ctl write / read / adc / reset / load / ccomp / cff / exec: commands on the board,
// through the bench. The board is opened once per process (search, connect, firmware, start) at
// the first board command; `exec` runs a script of such commands, one per line, on that one
// connection.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "board/board_link.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "cli/script_line.h"
#include "device/conversions.h"
#include "device/dac_words.h"
#include "device/readback.h"
#include "device/register_map.h"
#include "device/text_format.h"

namespace kv4410::cli {

namespace {

std::string hex(std::uint32_t value, int digits) {
  return NumberToHex(static_cast<std::int32_t>(value), digits);
}

// The answer's bits under the captions of a status register, e.g. "CPOL0=1 CPOH0=1 ...".
void printFlags(std::ostream& out, const RegisterDef& reg, std::uint32_t answer) {
  for (const FieldDef& field : reg.fields) {
    if (field.key == "UNUSED") {
      continue;
    }
    out << field.group << ":";
    for (int i = 0; i < field.width; ++i) {
      const int bitNumber = field.lowBit + field.width - 1 - i;
      out << " " << field.bitCaptions.at(static_cast<std::size_t>(i)) << "="
          << ((answer >> bitNumber) & 1u);
    }
    out << "\n";
  }
}

void printAnswer(std::ostream& out, ReadTarget target, std::uint32_t answer) {
  out << hex(answer, 6) << "\n";
  switch (target) {
    case ReadTarget::System: {
      const SystemReadback s = decodeSystemReadback(answer);
      for (int ch = 3; ch >= 0; --ch) {
        out << s.clampLabels[static_cast<std::size_t>(ch)] << "\n";
      }
      for (int ch = 3; ch >= 0; --ch) {
        out << s.cpolhLabels[static_cast<std::size_t>(ch)] << "\n";
      }
      out << s.cpBias << "\n"
          << s.dutGnd << "\n"
          << s.guardAlarm << "\n"
          << s.clampAlarm << "\n"
          << s.forceSense << "\n"
          << s.guardEnable << "\n"
          << s.gain[1] << "\n"
          << s.gain[0] << "\n"
          << "DIE THERMAL SHUTDOWN " << s.thermal;
      if (s.shutdownTemperatureVisible) {
        out << " " << s.shutdownTemperature;
      }
      out << "\n" << s.latched << "\n";
      break;
    }
    case ReadTarget::Pmu: {
      const PmuReadback p = decodePmuReadback(answer);
      for (const std::string& label : p.labels) {
        out << label << "\n";
      }
      out << "TEMP ALARM LATCHED " << p.latchedTemp.caption << "\n"
          << "TEMP ALARM UNLATCHED " << p.unlatchedTemp.caption << "\n";
      break;
    }
    case ReadTarget::Comparator:
      printFlags(out, comparatorStatusRegister(), answer);
      break;
    case ReadTarget::Alarm:
      printFlags(out, alarmStatusRegister(), answer);
      break;
    case ReadTarget::Offset:
      out << "offset " << NumberToHex(offsetDacFromReadback(answer), 4) << "\n";
      break;
    case ReadTarget::Dac:
      out << "code " << NumberToHex(dacCodeFromReadback(answer) & 0xFFFF, 4) << "\n";
      break;
  }
}

// Runs a checked command through the bench, an ADC reading scaled by `vref`; 1 when a request
// failed (the first failure's message is on stderr). `firstFailure` is the first failed status
// the bench's traffic reported since it was last 0.
int runCommand(BoardSession& session, const Command& c, float vref, const int& firstFailure,
               std::ostream& out) {
  bench::Bench& bench = session.bench();
  bench::Refusal refusal;
  switch (c.kind) {
    case Command::Kind::Write:
      for (const std::int32_t word : c.words) {
        if ((refusal = bench.sendWord(word))) {
          break;
        }
      }
      break;
    case Command::Kind::Read: {
      const std::optional<std::uint32_t> answer = bench.readBack(c.readRequest);
      if (answer && firstFailure == 0) {
        printAnswer(out, c.target, *answer);
      }
      break;
    }
    case Command::Kind::Adc:
      for (int i = 0; i < c.count && firstFailure == 0; ++i) {
        const std::optional<std::uint16_t> code = bench.readAdc();
        if (code && firstFailure == 0) {
          out << hex(*code, 4) << " " << *code << " " << formatFixed(adcVolts(*code, vref), 1, 6)
              << " V\n";
        }
      }
      break;
    case Command::Kind::Request:
      switch (c.request) {
        case board::request::kResetChip:
          refusal = bench.resetChip();
          break;
        case board::request::kPulseLoad:
          refusal = bench.sendLoadPulse();
          break;
        case board::request::kLoadHigh:
          refusal = bench.driveLoad(true);
          break;
        case board::request::kLoadLow:
          refusal = bench.driveLoad(false);
          break;
        case board::request::kCComp:
          refusal = bench.setCComp(c.value);
          break;
        default:
          refusal = bench.setCFeedforward(c.value);
          break;
      }
      break;
  }
  if (refusal) {
    std::cerr << "kv4410ctl: " << *refusal << "\n";
    return kUsageError;
  }
  if (firstFailure == 0) {
    return kSuccess;
  }
  session.reportStatus(firstFailure);
  return kBoardError;
}

int usage(const std::string& message) {
  std::cerr << "kv4410ctl: " << message << "\n";
  return kUsageError;
}

// A checked command with its script line number (0 for a command given on the command line).
struct NumberedCommand {
  int line = 0;
  Command command;
};

// Opens the board and runs the commands in order, stopping at the first that fails. An ADC
// reading is scaled by its own --vref, else by `vref`, else by the board's reference.
int runOnBoard(const GlobalOptions& globals, const std::vector<NumberedCommand>& commands,
               std::optional<float> vref) {
  BoardSession session(globals);
  if (const int opened = session.open(); opened != kSuccess) {
    return opened;
  }
  const float boardVref = vref.value_or(session.reference());
  int firstFailure = 0;
  session.bench().observeTraffic([&firstFailure](const board::BoardLink::RequestRecord& r) {
    if (firstFailure == 0) {
      firstFailure = r.status;
    }
  });
  for (const auto& [line, command] : commands) {
    firstFailure = 0;
    const int status =
        runCommand(session, command, command.vref.value_or(boardVref), firstFailure, std::cout);
    if (status != kSuccess) {
      if (line != 0) {
        std::cerr << "kv4410ctl: script stopped at line " << line << "\n";
      }
      return status;
    }
  }
  return kSuccess;
}

int runOne(const GlobalOptions& globals, const Tokens& tokens) {
  std::string error;
  const auto command = parseCommand(tokens, error);
  if (!command) {
    return usage(error);
  }
  return runOnBoard(globals, {{0, *command}}, std::nullopt);
}

// The lines of FILE (- for standard input), or nullopt with a one-line reason in `error`. A
// directory opens like a file and fails only when read, so every read is checked too.
std::optional<std::vector<std::string>> readScript(const std::string& file, std::string& error) {
  const bool standardInput = file == "-";
  const std::string name = standardInput ? "standard input" : "script '" + file + "'";
  const auto reason = [&name, &error](int errorNumber) {
    error = "cannot read " + name + ": " +
            std::generic_category().message(errorNumber != 0 ? errorNumber : EIO);
  };
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> opened;
  std::FILE* in = stdin;
  if (!standardInput) {
    opened.reset(std::fopen(file.c_str(), "r"));
    if (!opened) {
      reason(errno);
      return std::nullopt;
    }
    in = opened.get();
  }
  std::vector<std::string> lines;
  std::string line;
  for (int c = std::getc(in); c != EOF; c = std::getc(in)) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (std::ferror(in)) {
    reason(errno);
    return std::nullopt;
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

// Every line is checked before the board is opened; then they run in order, stopping at the
// first that fails. `vrefText` is exec's --vref, empty when not given.
int runScript(const GlobalOptions& globals, const std::string& file, const std::string& vrefText) {
  std::optional<float> vref;
  if (!vrefText.empty()) {
    vref = vrefNamed(vrefText);
    if (!vref) {
      return usage(vrefError(vrefText));
    }
  }
  std::string error;
  const auto lines = readScript(file, error);
  if (!lines) {
    return usage(error);
  }
  std::vector<NumberedCommand> commands;
  int number = 0;
  for (const std::string& line : *lines) {
    ++number;
    const ScriptLine parsed = parseScriptLine(line);
    if (!parsed.error.empty()) {
      return usage("line " + std::to_string(number) + ": " + parsed.error);
    }
    if (parsed.command) {
      commands.push_back({number, *parsed.command});
    }
  }
  return runOnBoard(globals, commands, vref);
}

}  // namespace

void addBoardCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus) {
  // Arguments are collected as words and checked by the same parser that reads scripts.
  const auto collect = [&app, &globals, &exitStatus](
                           const std::string& name, const std::string& help,
                           const std::string& argName, const std::string& argHelp, bool required) {
    auto* sub = app.add_subcommand(name, help)->ignore_case();
    auto args = std::make_shared<Tokens>();
    if (!argName.empty()) {
      auto* option = sub->add_option(argName, *args, argHelp);
      if (required) {
        option->required();
      }
    }
    sub->callback([name, args, &globals, &exitStatus] {
      Tokens tokens{name};
      tokens.insert(tokens.end(), args->begin(), args->end());
      exitStatus = runOne(globals, tokens);
    });
    return sub;
  };
  collect("write", "Send serial words to the chip", "WORD",
          "29-bit words in hexadecimal (optional 0x), sent in order", true);
  collect("read", "Read a register back and decode it", "REGISTER",
          "sys | comp | alarm | pmu CH | offset | dac CH GROUP LEVEL x1|m|c", true);
  collect("reset", "Reset the chip (request 219)", "", "", false);
  collect("load", "Drive /LOAD", "LEVEL", "pulse | high | low", true);
  collect("ccomp", "CCOMP capacitor of CH1 and CH3", "VALUE", "100pF | 1nF", true);
  collect("cff", "CFF capacitor of CH1 and CH3", "VALUE", "220pF | 1nF | 10nF", true);

  constexpr const char* kVrefHelp =
      "Board reference in volts, 2.5 or 5, that scales the ADC readings (default: the "
      "simulated board's vref=, else 5)";
  auto* adc = app.add_subcommand("adc", "Read the board's ADC (code and volts)")->ignore_case();
  auto count = std::make_shared<int>(1);
  auto adcVref = std::make_shared<std::string>();
  adc->add_option("--count", *count, "Number of readings")->check(CLI::Range(1, kMaxAdcCount));
  adc->add_option("--vref", *adcVref, kVrefHelp)->type_name("VOLTS");
  adc->callback([count, adcVref, &globals, &exitStatus] {
    Tokens tokens{"adc", "--count", std::to_string(*count)};
    if (!adcVref->empty()) {
      tokens.insert(tokens.end(), {"--vref", *adcVref});
    }
    exitStatus = runOne(globals, tokens);
  });

  auto* exec =
      app.add_subcommand("exec", "Run board commands from FILE (- for stdin), one per line")
          ->ignore_case();
  auto file = std::make_shared<std::string>();
  auto execVref = std::make_shared<std::string>();
  exec->add_option("FILE", *file, "Script file, or - for standard input")->required();
  exec->add_option("--vref", *execVref, std::string(kVrefHelp) + "; a line's own --vref wins")
      ->type_name("VOLTS");
  exec->callback([file, execVref, &globals, &exitStatus] {
    exitStatus = runScript(globals, *file, *execVref);
  });
}

}  // namespace kv4410::cli
