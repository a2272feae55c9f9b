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
  opened_ = board::openBoard(globals_.board, error);
  if (!opened_.access) {
    std::cerr << "kv4410ctl: " << error << "\n";
    return kUsageError;
  }
  link_ = std::make_unique<board::BoardLink>(*opened_.access, reporter_);
  firmware_ = board::lookUpFirmware(globals_.board.firmware, globals_.programDirectory);
  link_->LoadUSB(firmware_.path);
  return reporter_.reported() ? kBoardError : kSuccess;
}

float BoardSession::reference() const {
  return opened_.simulated ? static_cast<float>(opened_.simulated->options().referenceVolts)
                           : kDefaultVref;
}

}  // namespace kv4410::cli
