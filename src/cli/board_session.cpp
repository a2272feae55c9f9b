#include "cli/board_session.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "board/simulated_board.h"

namespace kv4410::cli {

namespace {

// The USB board's reference when no --vref is given; the ADC spans 0 to the reference.
constexpr float kDefaultVref = 5.0F;

std::filesystem::path programDirectory() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    return self.parent_path();
  }
  return std::filesystem::current_path(error);
}

}  // namespace

int BoardSession::open() {
  std::string error;
  opened_ = board::openBoard(globals_.board, error);
  if (!opened_.access) {
    std::cerr << "kv4410ctl: " << error << "\n";
    return kUsageError;
  }
  link_ = std::make_unique<board::BoardLink>(*opened_.access, reporter_);
  link_->LoadUSB(globals_.board.firmware
                     ? *globals_.board.firmware
                     : board::BoardLink::firmwarePathBeside(programDirectory()));
  return reporter_.reported() ? kBoardError : kSuccess;
}

float BoardSession::reference() const {
  return opened_.simulated ? static_cast<float>(opened_.simulated->options().referenceVolts)
                           : kDefaultVref;
}

}  // namespace kv4410::cli
