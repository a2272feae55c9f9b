// kv4410ctl setup save FILE and setup load FILE: the bench's state as a setup file, and opening
// a setup file (or a run's CSV file) on the board.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "bench/setup_file.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "measure/atomic_file.h"

namespace kv4410::cli {

namespace {

int saveSetup(const GlobalOptions& globals, const std::string& file) {
  BoardSession session(globals);
  if (const int status = session.open(); status != kSuccess) {
    return status;
  }
  if (const auto reason = measure::writeFileAtomically(file, bench::setupJson(session.setup()))) {
    std::cerr << "kv4410ctl: setup not saved: " << *reason << "\n";
    return kResultsNotSaved;
  }
  return kSuccess;
}

int loadSetup(const GlobalOptions& globals, const std::string& file) {
  const std::optional<bench::Setup> setup = readSetupFile(file);
  if (!setup) {
    return kUsageError;
  }
  BoardSession session(globals);
  if (const int status = session.open(); status != kSuccess) {
    return status;
  }
  for (const bench::BoardStep& step : session.bench().setupPlan(*setup)) {
    std::cout << bench::stepText(step) << "\n";
  }
  return openSetup(session.bench(), *setup) ? kSuccess : kUsageError;
}

}  // namespace

void addSetupCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus) {
  auto* setup = app.add_subcommand("setup", "Save the bench's state as a setup file, or open one")
                    ->ignore_case()
                    ->require_subcommand(1);
  auto saveFile = std::make_shared<std::string>();
  setup
      ->add_subcommand("save",
                       "Write the state after the connection (and --setup) to FILE; exit 3 when "
                       "it cannot be written, and an existing FILE is then kept")
      ->callback([saveFile, &globals, &exitStatus] { exitStatus = saveSetup(globals, *saveFile); })
      ->add_option("FILE", *saveFile, "Setup file to write")
      ->required();
  auto loadFile = std::make_shared<std::string>();
  setup
      ->add_subcommand("load",
                       "Print the steps that bring the board to the setup in FILE (a setup file "
                       "or a run's CSV file), one per line, then send them; a refused file exits "
                       "2 and sends nothing")
      ->callback([loadFile, &globals, &exitStatus] { exitStatus = loadSetup(globals, *loadFile); })
      ->add_option("FILE", *loadFile, "Setup file to open")
      ->required();
}

}  // namespace kv4410::cli
