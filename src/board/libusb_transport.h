#pragma once
// LibusbTransport: UsbTransport on libusb-1.0's synchronous API, with a libusb context of its
// own (so that it shares nothing with other libusb users in the process).
#include "board/usb_transport.h"

struct libusb_context;
struct libusb_device_handle;

namespace kv4410::board {

class LibusbTransport final : public UsbTransport {
 public:
  LibusbTransport();
  ~LibusbTransport() override;

  UsbError listDevices(std::vector<UsbDeviceInfo>& devices) override;
  UsbError open(const UsbDeviceInfo& device) override;
  UsbError claimInterface(int interfaceNumber) override;
  void close() override;
  UsbResult controlTransfer(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                            std::uint16_t index, std::uint8_t* data, std::uint16_t length,
                            unsigned timeoutMs) override;
  void sleepMs(unsigned milliseconds) override;
  std::uint64_t clockMs() override;

 private:
  libusb_context* context_ = nullptr;  // null when libusb could not start: every call fails
  libusb_device_handle* handle_ = nullptr;
  int claimed_ = -1;
};

}  // namespace kv4410::board
