#pragma once
// UsbTransport: the few USB calls the libusb board makes, as a seam. LibusbTransport makes them
// with libusb; the tests put a fake behind it that records every call and injects errors.
#include <cstdint>
#include <vector>

namespace kv4410::board {

enum class UsbError {
  None,
  Timeout,       // the transfer did not finish in time
  Stall,         // the device stalled the request (a pipe error)
  NoDevice,      // the device is gone
  Access,        // no permission to open the device
  NotFound,      // no such device, or no interface 0
  Busy,          // the interface is claimed by another program
  NotSupported,  // the platform cannot do it (e.g. detaching a kernel driver)
  Other,
};

// A device on the bus. The port path tells where it sits, which stays the same when it
// re-enumerates; the address names this enumeration of it: the bus gives every newly attached
// device a new address.
struct UsbDeviceInfo {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint8_t bus = 0;
  std::uint8_t address = 0;
  std::vector<std::uint8_t> portPath;  // port numbers from the root hub
};

struct UsbResult {
  UsbError error = UsbError::None;
  int transferred = 0;  // bytes moved by a control transfer
};

class UsbTransport {
 public:
  virtual ~UsbTransport() = default;
  UsbTransport() = default;
  UsbTransport(const UsbTransport&) = delete;
  UsbTransport& operator=(const UsbTransport&) = delete;

  // Every device on the bus (filtering by IDs is the caller's).
  virtual UsbError listDevices(std::vector<UsbDeviceInfo>& devices) = 0;
  // Opens the device with that bus and address; one device is open at a time.
  virtual UsbError open(const UsbDeviceInfo& device) = 0;
  // Claims the interface, detaching a kernel driver first where the platform allows it.
  virtual UsbError claimInterface(int interfaceNumber) = 0;
  // Releases the interface and closes the open device (nothing when none is open).
  virtual void close() = 0;
  // One control transfer on the open device; `data` holds `length` bytes.
  virtual UsbResult controlTransfer(std::uint8_t requestType, std::uint8_t request,
                                    std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                    std::uint16_t length, unsigned timeoutMs) = 0;
  virtual void sleepMs(unsigned milliseconds) = 0;
  // A monotonic clock in milliseconds: waits measure by it the time spent in transfers as well
  // as in sleeps.
  virtual std::uint64_t clockMs() = 0;
};

}  // namespace kv4410::board
