#include "board/simulated_board.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "board/board_link.h"

namespace kv4410::board {

namespace {

ChipEnvironment environmentOf(const SimulationOptions& options) {
  ChipEnvironment environment;
  environment.referenceVolts = options.referenceVolts;
  environment.loadOhms = options.loadOhms;
  environment.dieTemperatureC = options.dieTemperatureC;
  return environment;
}

// Stands in for a USB round trip: sleeps most of it and spins the last stretch, because a
// sleep alone overshoots short waits by tens of microseconds.
void waitLatency(std::uint32_t microseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::microseconds(microseconds);
  constexpr auto kSpin = std::chrono::microseconds(200);
  if (microseconds > kSpin.count()) {
    std::this_thread::sleep_until(deadline - kSpin);
  }
  while (Clock::now() < deadline) {
  }
}

}  // namespace

SimulatedBoard::SimulatedBoard(const SimulationOptions& options)
    : options_(options), chip_(environmentOf(options)), noise_(options.seed) {}

Status SimulatedBoard::Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId,
                                         std::int16_t& count, BoardList& list) {
  list.fill(0);
  if (options_.noBoard || vendorId != kVendorId || productId != kProductId) {
    count = 0;
    return status::kNoDevicesFound;
  }
  count = 1;
  list[0] = 0;  // entry of the one board
  return status::kOk;
}

Status SimulatedBoard::Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                               std::int32_t& handle) {
  if (options_.noBoard || vendorId != kVendorId || productId != kProductId || entry != 0) {
    return status::kNoMatchingDevice;
  }
  connected_ = true;
  handle = kHandle;
  return status::kOk;
}

Status SimulatedBoard::Download_Firmware(std::int32_t handle, const std::filesystem::path&) {
  if (!connected_ || handle != kHandle) {
    return status::kNoDeviceConnected;
  }
  // The simulated board needs no image: the path is not read.
  switch (options_.firmware) {
    case FirmwareFault::Missing:
      return status::kFirmwareNotFound;
    case FirmwareFault::Corrupt:
      return status::kFirmwareCorrupted;
    case FirmwareFault::None:
      break;
  }
  firmwareRunning_ = true;
  return status::kOk;
}

std::uint16_t SimulatedBoard::convert() {
  double code = chip_.measureBusVolts() * 65536.0 / chip_.referenceVolts();
  if (options_.noiseLsb > 0.0) {
    std::normal_distribution<double> lsb(0.0, options_.noiseLsb);
    code += lsb(noise_);
  }
  // Limited before the conversion so that it cannot overflow; nearbyint rounds ties to even.
  code = std::clamp(code, 0.0, 65535.0);
  return static_cast<std::uint16_t>(std::nearbyint(code));
}

Status SimulatedBoard::Vendor_Request(std::int32_t handle, std::uint8_t req, std::uint16_t value,
                                      std::uint16_t index, std::uint8_t direction,
                                      std::uint16_t length, std::uint8_t* data) {
  if (!connected_ || handle != kHandle) {
    return status::kNoDeviceConnected;
  }
  if (!firmwareRunning_) {
    return status::kNoFirmware;
  }
  ++requests_;
  if (options_.latencyUs > 0) {
    waitLatency(options_.latencyUs);
  }
  if ((options_.failAfter && requests_ > *options_.failAfter) ||
      options_.failAt.count(requests_) != 0) {
    return status::kTransferIncomplete;  // nothing reaches the board; the buffer is untouched
  }
  if (length > 0 && data == nullptr) {
    return status::kTransferIncomplete;
  }

  const bool in = direction == kDirIn;
  // An IN request answers three bytes: fewer requested is a short transfer.
  const auto reply = [&](std::uint32_t bytes) {
    const std::uint16_t n = std::min<std::uint16_t>(length, 3);
    for (std::uint16_t i = 0; i < n; ++i) {
      data[i] = static_cast<std::uint8_t>(bytes >> (8 * i));
    }
    return length == 3 ? status::kOk : status::kTransferIncomplete;
  };

  switch (req) {
    case request::kSerialWord:
      if (in) {
        return reply(chip_.answer());
      }
      chip_.clockWord((static_cast<std::uint32_t>(index & 0x1FFF) << 16) | value);
      return status::kOk;
    case request::kReadAdc:
      return in ? reply(adcCode_) : status::kEndpointError;
    default:
      break;
  }
  if (in) {
    return status::kEndpointError;  // the board stalls a request it does not know
  }
  switch (req) {
    case request::kResetChip:
      chip_.reset();
      return status::kOk;
    case request::kPulseLoad:
      chip_.pulseLoad();
      return status::kOk;
    case request::kStart:
      started_ = true;
      return status::kOk;
    case request::kLoadHigh:
      chip_.setLoadHigh(true);
      return status::kOk;
    case request::kLoadLow:
      chip_.setLoadHigh(false);
      return status::kOk;
    case request::kCComp:
      if (value < 1 || value > 2) {
        return status::kEndpointError;
      }
      ccomp_ = value;
      return status::kOk;
    case request::kCFeedforward:
      if (value < 1 || value > 3) {
        return status::kEndpointError;
      }
      cff_ = value;
      return status::kOk;
    case request::kStartAdc:
      adcCode_ = convert();
      return status::kOk;
    default:
      return status::kEndpointError;
  }
}

}  // namespace kv4410::board
