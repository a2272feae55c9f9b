// kv4410ctl: the program's headless face.
#include <CLI/CLI.hpp>
#include <iostream>

#include "board/firmware_lookup.h"
#include "cli/commands.h"
#include "kv4410_version.h"

namespace {

int run(int argc, char** argv) {
  CLI::App app{"kv4410ctl - command-line access to the KV4410 evaluation board"};
  // At most one sub-command: an unknown option is then named before a missing sub-command.
  app.require_subcommand(0, 1);
  app.footer(
      "Exit status: 0 success (test: PASS), 1 FAILURE or board error, 2 usage, 3 results not "
      "saved (a --csv file that could not be written; it outranks 0 and 1).");
  app.set_version_flag("--version", std::string("kv4410ctl ") + kv4410::kProgramVersion);
  kv4410::cli::GlobalOptions globals;
  globals.programDirectory = kv4410::board::programDirectory(argc > 0 ? argv[0] : nullptr);
  int exitStatus = 0;

  auto* simulate = app.add_option_function<std::string>(
      "--simulate",
      [&globals](const std::string& options) {
        globals.board.simulate = true;
        globals.board.simulateOptions = options;
      },
      "Talk to the simulated board instead of the USB board (OPTIONS: key=value,...)");
  simulate->expected(0, 1);
  simulate->default_str("");
  simulate->trigger_on_parse();
  simulate->type_name("OPTIONS");
  app.add_option_function<std::string>(
         "--trace", [&globals](const std::string& file) { globals.board.trace = file; },
         "Append one line per board operation to FILE")
      ->type_name("FILE");
  app.add_option_function<std::string>(
         "--firmware", [&globals](const std::string& file) { globals.board.firmware = file; },
         "Firmware file to download instead of KV4410SPI.hex beside the program or in the shared "
         "data "
         "folder")
      ->type_name("PATH");

  app.add_option_function<std::string>(
         "--board", [&globals](const std::string& where) { globals.board.boardLocation = where; },
         "Use the USB board at BUS-PORT (see the list command) when several are connected; without "
         "it the first one found")
      ->type_name("BUS-PORT");

  app.add_option_function<std::string>(
         "--setup", [&globals](const std::string& file) { globals.setup = file; },
         "Open the setup FILE (a setup file or a run's CSV file) on the board after connecting, "
         "before the command; a refused file exits 2 and sends nothing")
      ->type_name("FILE");

  kv4410::cli::addDeviceCommands(app, exitStatus);
  kv4410::cli::addBoardCommands(app, globals, exitStatus);
  kv4410::cli::addTestCommands(app, globals, exitStatus);
  kv4410::cli::addRunCommands(app, globals, exitStatus);
  kv4410::cli::addListCommand(app, globals, exitStatus);
  kv4410::cli::addSetupCommands(app, globals, exitStatus);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  if (app.get_subcommands().empty()) {
    std::cerr << "kv4410ctl: a sub-command is required\nRun with --help for more information.\n";
    return 2;
  }
  return exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
  // Nothing may escape as a crash: an unexpected failure is one line and the usage status.
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "kv4410ctl: " << e.what() << '\n';
    return 2;
  } catch (...) {
    std::cerr << "kv4410ctl: unexpected failure\n";
    return 2;
  }
}
