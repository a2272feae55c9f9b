#pragma once
// The GUI program's command line: --simulate[=OPTIONS], --trace FILE, --firmware PATH, --board,
// --screenshots DIR, --test-procedure, --setup FILE, --help and --version.
#include <QString>
#include <QStringList>
#include <optional>

#include "board/board_factory.h"

namespace kv4410::app {

inline constexpr int kUsageError = 2;

struct CommandLine {
  board::BoardOptions board;           // --simulate, --trace (or KV4410_TRACE), --firmware, --board
  std::optional<QString> screenshots;  // --screenshots DIR
  bool testProcedure = false;          // --test-procedure
  std::optional<QString> setup;        // --setup FILE: opened after the start-up, without asking
};

// Reads the arguments (the program name first). Answers --help and --version on stdout, and a
// mistake with one stderr line: then returns the exit status (0 or kUsageError) and leaves
// `command` as it is.
std::optional<int> readCommandLine(const QStringList& arguments, CommandLine& command);

// Before the application object exists, which needs a display: answers --help, --version and
// mistakes from argv, so that they work without one. Qt's own options (-platform, -style, ...)
// are taken out only by the application object: when the arguments do not parse and a display
// may be there, this returns nullopt and readCommandLine decides after start-up.
std::optional<int> answerBeforeStart(int argc, char* argv[]);

}  // namespace kv4410::app
