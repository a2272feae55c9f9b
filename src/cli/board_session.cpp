#include "cli/board_session.h"

#include <string>

#include "board/simulated_board.h"

namespace kv4410::cli {

namespace {

// The USB board's reference when no --vref is given; the ADC spans 0 to the reference.
constexpr float kDefaultVref = 5.0F;

}  // namespace

int BoardSession::open() {
  std::string error;
  board::OpenedBoard opened = board::openBoard(globals_.board, error);
  if (!opened.access) {
    std::cerr << "kv4410ctl: " << error << "\n";
    return kUsageError;
  }
  bench_ = std::make_unique<bench::Bench>(std::move(opened), reporter_, clock_);
  firmware_ = board::lookUpFirmware(globals_.board.firmware, globals_.programDirectory);
  bench_->connect(firmware_.path);
  return reporter_.reported() ? kBoardError : kSuccess;
}

void BoardSession::reportStatus(int status) {
  if (const auto text = board::usbErrorText(status)) {
    reporter_.usbError(status, *text);
  } else {
    std::cerr << "kv4410ctl: board request failed with status " << status << "\n";
  }
}

float BoardSession::reference() const {
  const board::SimulatedBoard* simulated = bench_ ? bench_->simulated() : nullptr;
  return simulated != nullptr ? static_cast<float>(simulated->options().referenceVolts)
                              : kDefaultVref;
}

}  // namespace kv4410::cli
