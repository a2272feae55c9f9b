#pragma once
// Sub-commands of kv4410ctl. Each group registers its sub-commands on the app; a sub-command's
// callback stores the process exit status (0 success, 1 board error, 2 bad usage, 3 results not
// saved).
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>

#include "board/board_factory.h"

namespace kv4410::cli {

// A run or test whose --csv file could not be written; it outranks success and failure, since
// a script that checks only the status must not take unsaved results for saved ones.
inline constexpr int kResultsNotSaved = 3;

struct GlobalOptions {
  board::BoardOptions board;
  std::filesystem::path programDirectory;  // where the firmware file is looked for first
  std::string setup;  // --setup FILE: opened on the board after connecting, before the command
};

// Writes a run's or a test's results: to stdout for "-", else replacing FILE only once the text
// is completely written. False, with "kv4410ctl: results not saved: REASON" on stderr, when it
// could not be written; an existing FILE is then kept.
bool saveResults(const std::string& file, const std::string& text);

// decode WORD, convert ...: work without a board.
void addDeviceCommands(CLI::App& app, int& exitStatus);
// write, read, adc, reset, load, ccomp, cff, exec: open the board from `globals` when run.
void addBoardCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus);
// test [--csv FILE]: the automated channel test; exit 0 on PASS, 1 on FAILURE, 3 when the
// readings could not be saved.
void addTestCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus);
// sweep --start V --end V --step MV, timerun --force V [run options]: the sweep window's runs.
void addRunCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus);
// setup save FILE, setup load FILE: the bench's state as a setup file, and opening one.
void addSetupCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus);
// list: every connected board, where it sits and whether it runs our firmware.
void addListCommand(CLI::App& app, const GlobalOptions& globals, int& exitStatus);

}  // namespace kv4410::cli
