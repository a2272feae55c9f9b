#pragma once
// LibusbBoard: the evaluation board on USB, behind the board-access interface. It finds boards
// by vendor and product ID, opens one and claims interface 0, loads the firmware image into the
// board's controller (unless the board runs it already) and waits for the board to come back at
// a new address, or to answer as our firmware at its old one, and sends vendor requests as control
// transfers. Once the board is gone every later call answers 3001 at once.
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "board/board_access.h"
#include "board/board_location.h"
#include "board/usb_transport.h"

namespace kv4410::board {

class LibusbBoard final : public BoardAccess {
 public:
  explicit LibusbBoard(std::unique_ptr<UsbTransport> usb);
  ~LibusbBoard() override;

  Status Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId, std::int16_t& count,
                           BoardList& list) override;
  Status Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                 std::int32_t& handle) override;
  Status Download_Firmware(std::int32_t handle, const std::filesystem::path& path) override;
  Status Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::uint8_t direction, std::uint16_t length,
                        std::uint8_t* data) override;
  // Held between 1 ms (a transfer timeout of 0 would wait for ever) and the default.
  void setTransferTimeout(std::chrono::milliseconds timeout) override;

  static constexpr std::int32_t kHandle = 1;  // the one handle Connect gives
  static constexpr int kInterface = 0;
  bool open() const { return open_; }

  // With a location (--board), a search lists only the board found there, so the first board
  // found is that one; without, every board with the IDs, in the bus's order.
  void onlyAt(std::optional<BoardLocation> location) { only_ = std::move(location); }
  // Where the connected board sits; nullopt while none is open.
  std::optional<BoardLocation> location() const;

  enum class Firmware { Ours, NotLoaded, Unknown };
  struct Listing {
    UsbDeviceInfo device;
    Firmware firmware = Firmware::Unknown;
    UsbError openError = UsbError::None;  // why it could not be asked (Unknown)
  };
  // Every board with the IDs, each opened in turn and asked whether it runs our firmware;
  // nothing on a board changes. A connected board is closed first.
  std::vector<Listing> survey(std::uint16_t vendorId, std::uint16_t productId);

 private:
  // Closes the device for good: every later call answers 3001 without touching USB.
  void lose();
  bool usable(std::int32_t handle) const { return open_ && handle == kHandle; }
  // Waits, within a bounded time, until the device at the old address has left the bus and one
  // with the same IDs is listed at the same port with a new address, then opens that one. A
  // device still at the old address is kept once it answers as our firmware: some boards run it
  // without leaving the bus.
  bool reopenAfterLoad();
  // Opens the device and claims its interface; with `oursOnly`, only when it answers as our
  // firmware. Nothing stays open when it fails.
  bool take(const UsbDeviceInfo& device, bool oursOnly);
  // Asks the open device whether its loader or a firmware answers; nothing on it changes.
  Firmware askFirmware();

  std::unique_ptr<UsbTransport> usb_;
  std::vector<UsbDeviceInfo> found_;  // the boards of the last search, by entry
  UsbDeviceInfo device_;              // the connected board
  bool open_ = false;
  std::optional<BoardLocation> only_;
  unsigned timeoutMs_ = static_cast<unsigned>(kDefaultTransferTimeout.count());
};

}  // namespace kv4410::board
