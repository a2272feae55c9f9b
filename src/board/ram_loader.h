#pragma once
// How firmware reaches the board: the board's USB controller takes a program into its RAM
// through vendor request 0xA0 while its CPU is held in reset. Everything that depends on that
// controller lives here, so that another controller changes this file only.
#include <cstdint>
#include <vector>

#include "board/intel_hex.h"
#include "board/usb_transport.h"

namespace kv4410::board::ram_loader {

inline constexpr std::uint8_t kRequest = 0xA0;        // write to controller RAM
inline constexpr std::uint8_t kRequestType = 0x40;    // vendor, device, host to device
inline constexpr std::uint8_t kDeviceToHost = 0x80;   // added to kRequestType for a read
inline constexpr std::uint16_t kCpuControl = 0xE600;  // CPU control and status register
inline constexpr std::uint8_t kHoldInReset = 1;
inline constexpr std::uint8_t kRun = 0;
inline constexpr std::size_t kMaxBlock = 1024;  // bytes per transfer
inline constexpr unsigned kTimeoutMs = 1000;

// After the CPU starts, the board usually leaves the bus and comes back, at a new address, with
// the firmware running; some boards stay at their old address and answer as the firmware there.
// A hub may report the departure late, so the board is looked for every kPollMs until
// kReturnLimitMs have passed.
inline constexpr unsigned kPollMs = 50;
inline constexpr unsigned kReturnLimitMs = 5000;

enum class LoadResult {
  Loaded,          // the image is in RAM and the CPU was told to start
  AlreadyRunning,  // nothing was loaded: the board runs its firmware already
  Failed,
};

// Holds the CPU in reset, writes the image in blocks of at most kMaxBlock bytes and starts
// the CPU. Fails when a transfer before the start fails; a failed start transfer is expected
// (the board may leave the bus at once) and is not an error.
// The controller's loader always accepts kRequest. A board that stalls the very first one (hold
// in reset) has no loader on its control pipe: it already runs the firmware, loaded by an
// earlier start while it stayed plugged in, which answers that pipe itself and refuses requests
// it does not know. That is AlreadyRunning. The refusal is the test, not a descriptor field,
// because the image is not ours and its descriptors may equal the blank board's. Any other
// failure of that transfer (a timeout, a vanished device) is Failed.
LoadResult load(UsbTransport& usb, const std::vector<MemoryBlock>& image);

enum class Probe {
  Loader,    // the controller's loader answers: no firmware runs
  Firmware,  // the request was refused: a firmware runs (ours, on this product ID)
  Unknown,   // the transfer failed otherwise (a timeout, a vanished device)
};

// Asks the open device, without changing anything on it, whether its loader or a firmware
// answers: reading one byte of the CPU control register is what the loader always does and
// what the firmware refuses, the same test as the first step of load().
Probe probe(UsbTransport& usb);

}  // namespace kv4410::board::ram_loader
