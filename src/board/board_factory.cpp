#include "board/board_factory.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "board/libusb_board.h"
#include "board/libusb_transport.h"
#include "board/simulated_board.h"
#include "board/tracing_board.h"

namespace kv4410::board {

TraceSink appendingFileSink(const std::filesystem::path& file, std::string& error) {
  auto stream = std::make_shared<std::ofstream>(file, std::ios::app);
  if (!*stream) {
    error = "cannot open trace file " + file.u8string() + ": " + std::strerror(errno);
    return nullptr;
  }
  return [stream](std::string_view line) {
    *stream << line << '\n';
    stream->flush();  // a trace must survive a crash of the program
  };
}

OpenedBoard openBoard(const BoardOptions& options, std::string& error, TraceSink extraSink) {
  OpenedBoard opened;
  std::unique_ptr<BoardAccess> board;
  std::optional<BoardLocation> only;
  if (options.boardLocation) {
    only = parseLocation(*options.boardLocation);
    if (!only) {
      error = "--board '" + *options.boardLocation +
              "' is not a USB location: give BUS-PORT as kv4410ctl list prints it, e.g. 1-4 or "
              "3-1.2";
      return opened;
    }
    if (options.simulate) {
      error = "--board picks a board on USB and cannot be combined with --simulate";
      return opened;
    }
  }
  if (options.simulate) {
    const SimulationOptionsResult parsed = parseSimulationOptions(options.simulateOptions);
    if (!parsed.options) {
      error = parsed.error;
      return opened;
    }
    auto simulated = std::make_unique<SimulatedBoard>(*parsed.options);
    opened.simulated = simulated.get();
    board = std::move(simulated);
  } else {
    auto usb = std::make_unique<LibusbBoard>(std::make_unique<LibusbTransport>());
    usb->onlyAt(only);
    opened.usb = usb.get();
    board = std::move(usb);
  }

  TraceSink fileSink;
  if (options.trace) {
    fileSink = appendingFileSink(*options.trace, error);
    if (!fileSink) {
      opened.simulated = nullptr;
      opened.usb = nullptr;
      return opened;
    }
  }
  if (fileSink || extraSink) {
    TraceSink sink = [fileSink, extraSink = std::move(extraSink)](std::string_view line) {
      if (fileSink) {
        fileSink(line);
      }
      if (extraSink) {
        extraSink(line);
      }
    };
    board = std::make_unique<TracingBoard>(std::move(board), std::move(sink));
  }
  opened.access = std::move(board);
  return opened;
}

}  // namespace kv4410::board
