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
#include "board/firmware_lookup.h"
#include "device/stored_words.h"
#include "ui/common/window_hub.h"

namespace kv4410::board {
class SimulatedBoard;
}

namespace kv4410::ui {

class MessageSink;

using kv4410::ConversionValues;
using kv4410::StoredWords;

class Session : public QObject, public WordSender {
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
  // Where LoadUSB finds the firmware image (firmware.path): KV4410SPI.hex beside the program,
  // else in the shared data folder, unless the program was told otherwise (--firmware). After
  // 3002 - FIRMWARE FILE NOT FOUND every place tried is printed on stderr.
  board::FirmwareLookup firmware;
  // The one MEASOUT gain warning box (created on first use, see measout_warning.h).
  QPointer<QWidget> measoutWarningBox;

  // The one send routine: shows the word as eight hex digits in the serial-word field
  // (serialWordShown) and hands it to SPIWrite.
  void SPIout(std::int32_t code) override;
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
