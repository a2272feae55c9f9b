#pragma once
// What the chip and the board's switches hold, followed from the requests that reached the
// board, and the steps that bring a board back to such an image.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "device/dac_words.h"
#include "device/serial_word.h"

namespace kv4410::bench {

inline constexpr int kDacAddresses = 64;  // 6 address bits
inline constexpr int kDacRegisters = 3;   // index: DacRegister X1, M, C

struct ChipImage {
  // Register contents (bits 21..0) as last written; 0 after a reset.
  std::int32_t systemWord = 0;
  std::array<std::int32_t, kChannelCount> pmu{};  // the one-shot CLEAR bit is not kept
  std::uint16_t offsetCode = kDefaultOffsetCode;  // the one OFFSET DAC of the chip
  // dac[channel][address][register]: the chip's reset codes until written.
  std::array<std::array<std::array<std::uint16_t, kDacRegisters>, kDacAddresses>, kChannelCount>
      dac{};
  // The compensation switches of channels 1 and 3 (requests 228 and 229); 0 until first set.
  std::uint16_t ccomp = 0;
  std::uint16_t cff = 0;

  ChipImage();
  // Follows one request that went to the board; requests that failed change nothing.
  void take(const board::BoardLink::RequestRecord& record);
  // The registers' reset values (request 219); the board's switches keep their positions.
  void resetRegisters();
};

// The reset code of a register at a DAC address; 0 for addresses the map lacks.
std::uint16_t resetCode(int address, DacRegister reg);

// One step of a plan: a serial word, the chip reset or a compensation switch.
struct BoardStep {
  enum class Kind { ResetChip, Word, CFeedforward, CComp };
  Kind kind = Kind::Word;
  std::int32_t value = 0;  // the word, or the switch's request value

  bool operator==(const BoardStep& other) const {
    return kind == other.kind && value == other.value;
  }
};

// "219", "W 0F21B300", "229=1", "228=2": the way the traffic view writes requests.
std::string stepText(const BoardStep& step);

// From a chip reset to `image`: the reset, the system control word, the PMU words, the DAC
// registers that differ from their reset codes and the compensation switches. Channels that
// hold the same value share one word. At an address whose M or C register changed, the x1
// register is written after them, because M and C act at the next x1 update. The plan
// assumes /LOAD low, so every x1 write takes effect at once.
std::vector<BoardStep> restoreSteps(const ChipImage& image);

}  // namespace kv4410::bench
