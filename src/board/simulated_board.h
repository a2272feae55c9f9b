#pragma once
// SimulatedBoard: the evaluation board with its chip, behind the board-access interface. It
// answers the board's vendor requests from a SimulatedChip, digitises the measure output with
// its 16-bit ADC, and can stand in for faults (no board, failing transfers, a missing or
// corrupt firmware image) and for the time a USB round trip takes.
#include <cstdint>
#include <random>

#include "board/board_access.h"
#include "board/simulated_chip.h"
#include "board/simulation_options.h"

namespace kv4410::board {

class SimulatedBoard final : public BoardAccess {
 public:
  explicit SimulatedBoard(const SimulationOptions& options = {});

  Status Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId, std::int16_t& count,
                           BoardList& list) override;
  Status Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                 std::int32_t& handle) override;
  Status Download_Firmware(std::int32_t handle, const std::filesystem::path& path) override;
  Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                        std::uint8_t* data) override;

  SimulatedChip& chip() { return chip_; }
  const SimulatedChip& chip() const { return chip_; }
  const SimulationOptions& options() const { return options_; }

  // The handle Connect gives; requests with any other handle answer 3001.
  static constexpr std::int32_t kHandle = 1;
  bool connected() const { return connected_; }
  bool firmwareRunning() const { return firmwareRunning_; }
  bool started() const { return started_; }  // request 224 received
  std::uint64_t requestCount() const { return requests_; }
  std::uint16_t ccomp() const { return ccomp_; }  // last value of request 228 (0 before)
  std::uint16_t cff() const { return cff_; }      // last value of request 229 (0 before)
  std::uint16_t lastAdcCode() const { return adcCode_; }

  // The code the ADC converts the measure output to now, with noise when configured:
  // volts * 65536 / VREF rounded to nearest, limited to 0..65535.
  std::uint16_t convert();

 private:
  SimulationOptions options_;
  SimulatedChip chip_;
  std::mt19937_64 noise_;
  bool connected_ = false;
  bool firmwareRunning_ = false;
  bool started_ = false;
  std::uint64_t requests_ = 0;
  std::uint16_t ccomp_ = 0;
  std::uint16_t cff_ = 0;
  std::uint16_t adcCode_ = 0;
};

}  // namespace kv4410::board
