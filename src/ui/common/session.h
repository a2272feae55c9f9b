#pragma once
// The program's session: owns the board link, the stored register words and the conversion
// values that every window shares, the window hub, and the one send path (SPIout).
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "board/board_factory.h"
#include "board/board_link.h"
#include "ui/common/window_hub.h"

namespace kv4410::board {
class SimulatedBoard;
}

namespace kv4410::ui {

class MessageSink;

// Register images shared by all windows.
struct StoredWords {
  std::int32_t sysWord = 0;
  std::int32_t pmuWord = 0;
  std::int32_t chanBits = 0;
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

class Session : public QObject {
  Q_OBJECT
 public:
  // `messages` shows message boxes (and board errors); the session does not own it.
  Session(board::OpenedBoard board, MessageSink& messages);
  ~Session() override;

  board::BoardLink& link() { return *link_; }
  board::SimulatedBoard* simulated() const { return simulated_; }
  MessageSink& messages() { return messages_; }
  WindowHub& hub() { return hub_; }

  StoredWords words;
  ConversionValues conversion;
  // Where LoadUSB finds the firmware image: KV4410SPI.hex beside the program unless the
  // program was told otherwise (--firmware).
  std::filesystem::path firmwarePath;
  // The one MEASOUT gain warning box (created on first use, see measout_warning.h).
  QPointer<QWidget> measoutWarningBox;

  // The one send routine: shows the word as eight hex digits in the serial-word field
  // (serialWordShown) and hands it to SPIWrite.
  void SPIout(std::int32_t code);
  // A PMU register word: sent through SPIout only when it carries a channel bit (bits 24..27);
  // a word without one would reach the chip as a system control write. A refused word shows
  // "Please select at least One PMU channel" at most once per user action, and never at
  // start-up or for a change that arrives by mirroring. Returns whether it was sent.
  bool sendPmuWord(std::int32_t word);
  // Shows the serial-word field text without sending (NumberToHex(word, 8) or "00000000").
  void showSerialWord(std::int32_t word);

  // While a QuietScope lives, refused PMU words are silent (start-up, mirroring).
  class QuietScope {
   public:
    explicit QuietScope(Session& s) : s_(s) { ++s_.quietDepth_; }
    ~QuietScope() { --s_.quietDepth_; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

   private:
    Session& s_;
  };
  // A new user action begins (called by the input tracker): one more message may be shown.
  void beginUserAction() { channelMessageShown_ = false; }
  bool quiet() const { return quietDepth_ > 0; }

 signals:
  void serialWordShown(const QString& hex);

 private:
  std::unique_ptr<board::BoardAccess> access_;
  board::SimulatedBoard* simulated_ = nullptr;
  MessageSink& messages_;
  std::unique_ptr<board::Reporter> reporter_;
  std::unique_ptr<board::BoardLink> link_;
  WindowHub hub_;
  int quietDepth_ = 0;
  bool channelMessageShown_ = false;
};

}  // namespace kv4410::ui
