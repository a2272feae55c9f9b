#pragma once
// The register images and conversion values that every window, the sweeps and the channel test
// share: one instance for the whole program, owned by the session (GUI) or the command (CLI).
#include <cstdint>

namespace kv4410 {

// Last composed register words (32-bit images of 29-bit serial words).
struct StoredWords {
  std::int32_t sysWord = 0;
  std::int32_t pmuWord = 0;
  std::int32_t chanBits = 0;  // channel-select bits 24..27 only
  std::int32_t dacWord = 0;
  std::int32_t pmuRequestWord = 0;
  std::int32_t dacRequestWord = 0;

  // PMU word refresh: the present channel selection in bits 24..27, nothing above them.
  void refreshPmuChannels() { pmuWord = (pmuWord & 0xFFFFFF) | chanBits; }
  // Before a PMU write ("WRITE PMU REGISTER", "Update"): bits 0..25 are kept, so the PMU 0
  // and PMU 1 bits of the composed word stay, ORed with the present selection.
  void pmuChannelsForWrite() { pmuWord = (pmuWord & 0x3FFFFFF) | chanBits; }
};

// Conversion values shared by all windows.
struct ConversionValues {
  float vref = 5.0F;
  float miGain = 10.0F;
  std::int16_t rangeIndex = 0;  // 0 = 5 uA ... 3 = 2 mA, 4 = external
};

// The one send routine (SPIout): the GUI shows the word in the serial-word field, then both
// faces hand it to the board link's SPIWrite.
class WordSender {
 public:
  virtual ~WordSender() = default;
  virtual void SPIout(std::int32_t code) = 0;
};

}  // namespace kv4410
