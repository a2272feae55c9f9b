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
inline constexpr std::uint16_t kCpuControl = 0xE600;  // CPU control and status register
inline constexpr std::uint8_t kHoldInReset = 1;
inline constexpr std::uint8_t kRun = 0;
inline constexpr std::size_t kMaxBlock = 1024;  // bytes per transfer
inline constexpr unsigned kTimeoutMs = 1000;

// After the CPU starts, the board drops off the bus and comes back with the firmware running.
inline constexpr unsigned kSettleMs = 300;  // before looking for it again
inline constexpr unsigned kPollMs = 100;    // between looks
inline constexpr unsigned kReturnLimitMs = 3000;

// Holds the CPU in reset, writes the image in blocks of at most kMaxBlock bytes and starts
// the CPU. Returns false when a transfer before the start fails; a failed start transfer is
// expected (the board may leave the bus at once) and is not an error.
bool load(UsbTransport& usb, const std::vector<MemoryBlock>& image);

}  // namespace kv4410::board::ram_loader
