#include "board/ram_loader.h"

#include <algorithm>

namespace kv4410::board::ram_loader {

namespace {

// A short transfer counts as Other.
UsbError write(UsbTransport& usb, std::uint16_t address, const std::uint8_t* bytes,
               std::uint16_t length) {
  std::vector<std::uint8_t> copy(bytes, bytes + length);  // the transfer may not take const
  const UsbResult result =
      usb.controlTransfer(kRequestType, kRequest, address, 0, copy.data(), length, kTimeoutMs);
  if (result.error == UsbError::None && result.transferred != length) {
    return UsbError::Other;
  }
  return result.error;
}

}  // namespace

Probe probe(UsbTransport& usb) {
  std::uint8_t control = 0;
  const UsbResult result =
      usb.controlTransfer(static_cast<std::uint8_t>(kRequestType | kDeviceToHost), kRequest,
                          kCpuControl, 0, &control, 1, kTimeoutMs);
  if (result.error == UsbError::Stall) {
    return Probe::Firmware;
  }
  return result.error == UsbError::None && result.transferred == 1 ? Probe::Loader : Probe::Unknown;
}

LoadResult load(UsbTransport& usb, const std::vector<MemoryBlock>& image) {
  const UsbError held = write(usb, kCpuControl, &kHoldInReset, 1);
  if (held == UsbError::Stall) {
    return LoadResult::AlreadyRunning;
  }
  if (held != UsbError::None) {
    return LoadResult::Failed;
  }
  for (const MemoryBlock& block : image) {
    for (std::size_t done = 0; done < block.bytes.size(); done += kMaxBlock) {
      const std::size_t length = std::min(kMaxBlock, block.bytes.size() - done);
      if (write(usb, static_cast<std::uint16_t>(block.address + done), block.bytes.data() + done,
                static_cast<std::uint16_t>(length)) != UsbError::None) {
        return LoadResult::Failed;
      }
    }
  }
  write(usb, kCpuControl, &kRun, 1);  // its outcome does not matter: see the header
  return LoadResult::Loaded;
}

}  // namespace kv4410::board::ram_loader
