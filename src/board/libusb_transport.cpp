#include "board/libusb_transport.h"

#include <libusb.h>

#include <chrono>
#include <thread>

namespace kv4410::board {

namespace {

UsbError fromLibusb(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return UsbError::None;
    case LIBUSB_ERROR_TIMEOUT:
      return UsbError::Timeout;
    case LIBUSB_ERROR_PIPE:
      return UsbError::Stall;
    case LIBUSB_ERROR_NO_DEVICE:
      return UsbError::NoDevice;
    case LIBUSB_ERROR_ACCESS:
      return UsbError::Access;
    case LIBUSB_ERROR_NOT_FOUND:
      return UsbError::NotFound;
    case LIBUSB_ERROR_BUSY:
      return UsbError::Busy;
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return UsbError::NotSupported;
    default:
      return UsbError::Other;
  }
}

constexpr int kMaxPortDepth = 8;  // USB allows at most 7 tiers below the root

}  // namespace

LibusbTransport::LibusbTransport() {
#if defined(LIBUSB_API_VERSION) && LIBUSB_API_VERSION >= 0x0100010A
  if (libusb_init_context(&context_, nullptr, 0) != LIBUSB_SUCCESS) {
    context_ = nullptr;
  }
#else
  if (libusb_init(&context_) != LIBUSB_SUCCESS) {
    context_ = nullptr;
  }
#endif
}

LibusbTransport::~LibusbTransport() {
  close();
  if (context_ != nullptr) {
    libusb_exit(context_);
  }
}

UsbError LibusbTransport::listDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  if (context_ == nullptr) {
    return UsbError::Other;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context_, &list);
  if (count < 0) {
    return fromLibusb(static_cast<int>(count));
  }
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS) {
      continue;
    }
    UsbDeviceInfo info;
    info.vendorId = descriptor.idVendor;
    info.productId = descriptor.idProduct;
    info.bus = libusb_get_bus_number(list[i]);
    info.address = libusb_get_device_address(list[i]);
    std::uint8_t ports[kMaxPortDepth] = {};
    const int depth = libusb_get_port_numbers(list[i], ports, kMaxPortDepth);
    if (depth > 0) {
      info.portPath.assign(ports, ports + depth);
    }
    devices.push_back(std::move(info));
  }
  libusb_free_device_list(list, 1);
  return UsbError::None;
}

UsbError LibusbTransport::open(const UsbDeviceInfo& device) {
  close();
  if (context_ == nullptr) {
    return UsbError::Other;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context_, &list);
  if (count < 0) {
    return fromLibusb(static_cast<int>(count));
  }
  UsbError result = UsbError::NotFound;
  for (ssize_t i = 0; i < count; ++i) {
    // By address, not by port: right after a re-enumeration the port can still list the device
    // that has just left.
    libusb_device_descriptor descriptor{};
    if (libusb_get_bus_number(list[i]) != device.bus ||
        libusb_get_device_address(list[i]) != device.address ||
        libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS ||
        descriptor.idVendor != device.vendorId || descriptor.idProduct != device.productId) {
      continue;
    }
    result = fromLibusb(libusb_open(list[i], &handle_));
    if (result != UsbError::None) {
      handle_ = nullptr;
    }
    break;
  }
  libusb_free_device_list(list, 1);
  return result;
}

UsbError LibusbTransport::claimInterface(int interfaceNumber) {
  if (handle_ == nullptr) {
    return UsbError::NoDevice;
  }
  // Where the platform cannot detach kernel drivers this answers "not supported": no error.
  const int detach = libusb_set_auto_detach_kernel_driver(handle_, 1);
  if (detach != LIBUSB_SUCCESS && detach != LIBUSB_ERROR_NOT_SUPPORTED) {
    return fromLibusb(detach);
  }
  const UsbError claimed = fromLibusb(libusb_claim_interface(handle_, interfaceNumber));
  if (claimed == UsbError::None) {
    claimed_ = interfaceNumber;
  }
  return claimed;
}

void LibusbTransport::close() {
  if (handle_ == nullptr) {
    return;
  }
  if (claimed_ >= 0) {
    libusb_release_interface(handle_, claimed_);  // fails harmlessly when the device is gone
    claimed_ = -1;
  }
  libusb_close(handle_);
  handle_ = nullptr;
}

UsbResult LibusbTransport::controlTransfer(std::uint8_t requestType, std::uint8_t request,
                                           std::uint16_t value, std::uint16_t index,
                                           std::uint8_t* data, std::uint16_t length,
                                           unsigned timeoutMs) {
  UsbResult result;
  if (handle_ == nullptr) {
    result.error = UsbError::NoDevice;
    return result;
  }
  const int done =
      libusb_control_transfer(handle_, requestType, request, value, index, data, length, timeoutMs);
  if (done < 0) {
    result.error = fromLibusb(done);
  } else {
    result.transferred = done;
  }
  return result;
}

void LibusbTransport::sleepMs(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t LibusbTransport::clockMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace kv4410::board
