#pragma once
// The board-access interface: the four operations of the board's USB access layer, with its
// status codes. The libusb board, the simulated board and the tracing wrapper implement it;
// nothing above it knows which one it talks to. No call throws or blocks for ever: a board that
// is absent or gone answers with an error status.
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>

namespace kv4410::board {

using Status = std::int16_t;

inline constexpr std::uint16_t kVendorId = 0x2F4C;
inline constexpr std::uint16_t kProductId = 0x7105;

// Statuses of the table of board errors (everything else, 0 included, is silent).
namespace status {
inline constexpr Status kOk = 0;
inline constexpr Status kNoDevicesFound = 1001;
inline constexpr Status kConnectionError = 1002;
inline constexpr Status kGetStringDescFailed = 1003;
inline constexpr Status kInvalidPath = 1004;
inline constexpr Status kPathNotMatching = 1005;
inline constexpr Status kNoMatchingDevice = 2001;
inline constexpr Status kNoDeviceConnected = 3001;
inline constexpr Status kFirmwareNotFound = 3002;
inline constexpr Status kFirmwareCorrupted = 3003;
inline constexpr Status kFirmwareDownloadFailed = 3004;
inline constexpr Status kTransferIncomplete = 3005;
inline constexpr Status kEndpointError = 3006;
inline constexpr Status kResetFailed = 3007;
inline constexpr Status kInvalidEndpoint = 3008;
inline constexpr Status kBulkTransfer = 3009;
inline constexpr Status kNoFirmware = 3010;
}  // namespace status

inline constexpr std::uint8_t kDirOut = 0;  // host to board
inline constexpr std::uint8_t kDirIn = 1;   // board to host

using BoardList = std::array<std::uint8_t, 128>;

// How long one vendor request may wait for the board unless a run shortens it.
inline constexpr std::chrono::milliseconds kDefaultTransferTimeout{1000};

class BoardAccess {
 public:
  virtual ~BoardAccess() = default;
  BoardAccess() = default;
  BoardAccess(const BoardAccess&) = delete;
  BoardAccess& operator=(const BoardAccess&) = delete;

  virtual Status Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId,
                                   std::int16_t& count, BoardList& list) = 0;
  virtual Status Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                         std::int32_t& handle) = 0;
  virtual Status Download_Firmware(std::int32_t handle, const std::filesystem::path& path) = 0;
  // With direction kDirIn the first `length` bytes of `data` are filled before it returns.
  virtual Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                                std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                                std::uint8_t* data) = 0;
  // How long each later Vendor_Request may wait for the board; boards that never wait on a
  // bus ignore it.
  virtual void setTransferTimeout(std::chrono::milliseconds /*timeout*/) {}
};

}  // namespace kv4410::board
