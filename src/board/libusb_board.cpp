#include "board/libusb_board.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "board/intel_hex.h"
#include "board/ram_loader.h"

namespace kv4410::board {

namespace {

constexpr std::uint8_t kVendorOut = 0x40;  // vendor type, device recipient, host to device
constexpr std::uint8_t kDeviceToHost = ram_loader::kDeviceToHost;

Status openStatus(UsbError error) {
  return error == UsbError::NoDevice ? status::kNoDeviceConnected : status::kConnectionError;
}

}  // namespace

LibusbBoard::LibusbBoard(std::unique_ptr<UsbTransport> usb) : usb_(std::move(usb)) {}

LibusbBoard::~LibusbBoard() {
  usb_->close();
}

void LibusbBoard::lose() {
  usb_->close();
  open_ = false;
}

Status LibusbBoard::Search_For_Boards(std::uint16_t vendorId, std::uint16_t productId,
                                      std::int16_t& count, BoardList& list) {
  list.fill(0);
  count = 0;
  found_.clear();
  std::vector<UsbDeviceInfo> devices;
  if (usb_->listDevices(devices) != UsbError::None) {
    return status::kNoDevicesFound;
  }
  for (const UsbDeviceInfo& device : devices) {
    const bool wanted = !only_ || (device.bus == only_->bus && device.portPath == only_->portPath);
    if (device.vendorId == vendorId && device.productId == productId && wanted &&
        found_.size() < list.size()) {
      list[found_.size()] = static_cast<std::uint8_t>(found_.size());
      found_.push_back(device);
    }
  }
  count = static_cast<std::int16_t>(found_.size());
  return found_.empty() ? status::kNoDevicesFound : status::kOk;
}

Status LibusbBoard::Connect(std::uint16_t vendorId, std::uint16_t productId, std::uint8_t entry,
                            std::int32_t& handle) {
  if (found_.empty()) {
    std::int16_t count = 0;
    BoardList list{};
    Search_For_Boards(vendorId, productId, count, list);
  }
  if (entry >= found_.size() || found_[entry].vendorId != vendorId ||
      found_[entry].productId != productId) {
    return status::kNoMatchingDevice;
  }
  lose();
  const UsbError opened = usb_->open(found_[entry]);
  if (opened != UsbError::None) {
    return openStatus(opened);
  }
  const UsbError claimed = usb_->claimInterface(kInterface);
  if (claimed != UsbError::None) {
    usb_->close();
    return openStatus(claimed);
  }
  device_ = found_[entry];
  open_ = true;
  handle = kHandle;
  return status::kOk;
}

std::optional<BoardLocation> LibusbBoard::location() const {
  if (!open_) {
    return std::nullopt;
  }
  return BoardLocation{device_.bus, device_.portPath};
}

std::vector<LibusbBoard::Listing> LibusbBoard::survey(std::uint16_t vendorId,
                                                      std::uint16_t productId) {
  lose();
  std::vector<Listing> listings;
  std::vector<UsbDeviceInfo> devices;
  if (usb_->listDevices(devices) != UsbError::None) {
    return listings;
  }
  for (const UsbDeviceInfo& device : devices) {
    if (device.vendorId != vendorId || device.productId != productId) {
      continue;
    }
    Listing listing{device};
    listing.openError = usb_->open(device);
    if (listing.openError == UsbError::None) {
      listing.firmware = askFirmware();
      usb_->close();
    }
    listings.push_back(std::move(listing));
  }
  return listings;
}

LibusbBoard::Firmware LibusbBoard::askFirmware() {
  switch (ram_loader::probe(*usb_)) {
    case ram_loader::Probe::Firmware:
      return Firmware::Ours;
    case ram_loader::Probe::Loader:
      return Firmware::NotLoaded;
    case ram_loader::Probe::Unknown:
      break;
  }
  return Firmware::Unknown;
}

bool LibusbBoard::take(const UsbDeviceInfo& device, bool oursOnly) {
  if (usb_->open(device) != UsbError::None) {
    return false;
  }
  if ((!oursOnly || askFirmware() == Firmware::Ours) &&
      usb_->claimInterface(kInterface) == UsbError::None) {
    device_ = device;
    return true;
  }
  usb_->close();  // not ours, or e.g. its permissions are not in place yet: looked at again
  return false;
}

bool LibusbBoard::reopenAfterLoad() {
  const UsbDeviceInfo old = device_;
  // By the clock, not by counting looks: a look at the old device may wait for its answer.
  const std::uint64_t start = usb_->clockMs();
  while (usb_->clockMs() - start < ram_loader::kReturnLimitMs) {
    usb_->sleepMs(ram_loader::kPollMs);
    std::vector<UsbDeviceInfo> devices;
    if (usb_->listDevices(devices) != UsbError::None) {
      continue;
    }
    // Until the hub has reported the departure, the old device is still listed at its old
    // address: opening it fails, or gives a handle on a device that is gone and does not answer.
    // A board that runs the firmware without leaving the bus stays there too, and answers as
    // our firmware.
    const auto stayed = std::find_if(devices.begin(), devices.end(), [&old](const auto& d) {
      return d.bus == old.bus && d.address == old.address;
    });
    if (stayed != devices.end()) {
      if (take(*stayed, true)) {
        return true;
      }
      continue;
    }
    const auto back = std::find_if(devices.begin(), devices.end(), [&old](const auto& d) {
      return d.bus == old.bus && d.portPath == old.portPath && d.address != old.address &&
             d.vendorId == old.vendorId && d.productId == old.productId;
    });
    if (back != devices.end() && take(*back, false)) {
      return true;
    }
  }
  return false;
}

Status LibusbBoard::Download_Firmware(std::int32_t handle, const std::filesystem::path& path) {
  if (!usable(handle)) {
    return status::kNoDeviceConnected;
  }
  std::ifstream file(path, std::ios::binary);
  std::error_code error;
  if (!file || std::filesystem::is_directory(path, error)) {
    return status::kFirmwareNotFound;
  }
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const HexImage image = parseIntelHex(text);
  if (!image.ok) {
    return status::kFirmwareCorrupted;
  }
  switch (ram_loader::load(*usb_, image.blocks)) {
    case ram_loader::LoadResult::AlreadyRunning:
      return status::kOk;  // the board stays open as it is, ready for the start request
    case ram_loader::LoadResult::Failed:
      return status::kFirmwareDownloadFailed;
    case ram_loader::LoadResult::Loaded:
      break;
  }
  // The board leaves the bus with the new firmware and comes back at the same port, or stays.
  lose();
  if (!reopenAfterLoad()) {
    return status::kFirmwareDownloadFailed;
  }
  open_ = true;
  return status::kOk;
}

void LibusbBoard::setTransferTimeout(std::chrono::milliseconds timeout) {
  const auto held = std::clamp(timeout, std::chrono::milliseconds{1}, kDefaultTransferTimeout);
  timeoutMs_ = static_cast<unsigned>(held.count());
}

Status LibusbBoard::Vendor_Request(std::int32_t handle, std::uint8_t request, std::uint16_t value,
                                   std::uint16_t index, std::uint8_t direction,
                                   std::uint16_t length, std::uint8_t* data) {
  if (!usable(handle)) {
    return status::kNoDeviceConnected;
  }
  if (length > 0 && data == nullptr) {
    return status::kTransferIncomplete;
  }
  const bool in = direction == kDirIn;
  // The caller's buffer changes only when a reply arrived whole.
  std::vector<std::uint8_t> buffer(length);
  if (!in && length > 0) {
    std::copy(data, data + length, buffer.begin());
  }
  const UsbResult result =
      usb_->controlTransfer(static_cast<std::uint8_t>(kVendorOut | (in ? kDeviceToHost : 0)),
                            request, value, index, buffer.data(), length, timeoutMs_);
  switch (result.error) {
    case UsbError::None:
      break;
    case UsbError::NoDevice:
      lose();
      return status::kNoDeviceConnected;
    case UsbError::Stall:
      return status::kEndpointError;
    default:
      return status::kTransferIncomplete;
  }
  if (result.transferred != length) {
    return status::kTransferIncomplete;
  }
  if (in) {
    std::copy(buffer.begin(), buffer.end(), data);
  }
  return status::kOk;
}

}  // namespace kv4410::board
