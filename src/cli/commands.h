#pragma once
// Sub-commands of kv4410ctl. Each group registers its sub-commands on the app; a sub-command's
// callback stores the process exit status (0 success, 1 board error, 2 bad usage).
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string_view>

#include "board/board_factory.h"
#include "board/board_link.h"

namespace kv4410::cli {

// Board messages as one stderr line each; remembers that one was printed.
class CliReporter final : public board::Reporter {
 public:
  void noBoard(int searchStatus) override {
    std::cerr << "kv4410ctl: No Evaluation Board Found (: " << searchStatus << ")\n";
    reported_ = true;
  }
  void usbError(int /*code*/, std::string_view text) override {
    std::cerr << "kv4410ctl: " << text << "\n";
    reported_ = true;
  }
  bool reported() const { return reported_; }

 private:
  bool reported_ = false;
};

struct GlobalOptions {
  board::BoardOptions board;
};

// decode WORD, convert ...: work without a board.
void addDeviceCommands(CLI::App& app, int& exitStatus);
// write, read, adc, reset, load, ccomp, cff, exec: open the board from `globals` when run.
void addBoardCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus);
// test [--csv FILE]: the automated channel test; exit 0 on PASS, 1 on FAILURE.
void addTestCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus);

}  // namespace kv4410::cli
