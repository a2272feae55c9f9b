#pragma once
// Builds the board a program talks to from its command-line options: the libusb board by
// default, the simulated board with --simulate, wrapped in the traffic trace with --trace.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "board/board_access.h"

namespace kv4410::board {

class LibusbBoard;
class SimulatedBoard;

struct BoardOptions {
  bool simulate = false;
  std::string simulateOptions;                    // "key=value,..." after --simulate=
  std::optional<std::filesystem::path> trace;     // --trace FILE (or KV4410_TRACE in the GUI)
  std::optional<std::filesystem::path> firmware;  // --firmware PATH
  std::optional<std::string> boardLocation;       // --board BUS-PORT: the USB board to use
};

// One line per board operation, in the trace format.
using TraceSink = std::function<void(std::string_view line)>;
// Appends each line to `file` and flushes it at once; nullptr when the file cannot be opened
// (the reason is put into `error`).
TraceSink appendingFileSink(const std::filesystem::path& file, std::string& error);

struct OpenedBoard {
  std::unique_ptr<BoardAccess> access;  // what the program calls (the trace wrapper if any)
  SimulatedBoard* simulated = nullptr;  // the simulated board behind it, when simulating
  LibusbBoard* usb = nullptr;           // the USB board behind it, otherwise
};

// Builds the board; on a malformed --simulate or --board option, or an unopenable trace file,
// returns an
// empty `access` and puts a one-line reason into `error`. `extraSink`, when given, receives the
// trace lines too (the GUI tests read the traffic through it).
OpenedBoard openBoard(const BoardOptions& options, std::string& error,
                      TraceSink extraSink = nullptr);

}  // namespace kv4410::board
