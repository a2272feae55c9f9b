#pragma once
// The program's session: owns the board link, the stored register words and the conversion
// values that every window shares, the window hub, and the one send path (SPIout).
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "board/board_factory.h"
#include "board/board_link.h"
#include "board/firmware_lookup.h"
#include "device/stored_words.h"
#include "measure/clock.h"
#include "measure/sweep_engine.h"
#include "ui/common/window_hub.h"

namespace kv4410::board {
class LibusbBoard;
class SimulatedBoard;
}  // namespace kv4410::board

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
  // The sweep window's channel selection, run word, measure mode and delays.
  measure::SweepState sweep;
  // The clock the runs wait on.
  measure::Clock& clock() { return clock_; }
  // Where LoadUSB finds the firmware image (firmware.path): KV4410SPI.hex beside the program,
  // else in the shared data folder, unless the program was told otherwise (--firmware). After
  // 3002 - FIRMWARE FILE NOT FOUND every place tried is printed on stderr.
  board::FirmwareLookup firmware;
  // The one MEASOUT gain warning box (created on first use, see measout_warning.h).
  QPointer<QWidget> measoutWarningBox;

  // The one send routine: hands the word to SPIWrite and shows it as eight hex digits in the
  // serial-word field (serialWordShown) when control returns to the event loop, the latest
  // word of a burst once.
  void SPIout(std::int32_t code) override;
  // A PMU register word: sent through SPIout only when it carries a channel bit (bits 24..27);
  // a word without one would reach the chip as a system control write. A refused word shows
  // "Please select at least One PMU channel" at most once per user action, and never at
  // start-up or for a change that arrives by mirroring. Returns whether it was sent.
  bool sendPmuWord(std::int32_t word);
  // Shows the serial-word field text without sending (NumberToHex(word, 8) or "00000000").
  void showSerialWord(std::int32_t word);
  // While a run sends a word a step, the serial-word field would be redrawn a step: held, the
  // words still go out at once but only the latest is shown, when flushSerialWord() is called
  // (the run's live updates) and when the hold ends.
  void holdSerialWord(bool hold);
  // What the status bars say about the board: the board in use, "(simulated board)" for the
  // simulated one, or that none is connected and how to run without one. boardStarted() (after
  // the start-up's connection) tells every status bar to read it again.
  QString boardStatusText() const;
  void boardStarted() { emit boardStatusChanged(); }
  void flushSerialWord();

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
  // One run holds the board at a time. A run claims the board before it sends anything and
  // releases it when it ends; a claim while another run holds the board is refused with a
  // message that names the holder, and the refused run sends nothing. While the channel test
  // holds the board no control of any window may send: windows disable their controls
  // (boardHolderChanged), and the send path drops any word that is not the test's and says so
  // in the status bars. Nothing is queued to go out later.
  enum class RunKind { Sweep, TimeRun, ChannelTest };
  static QString runName(RunKind run);
  std::optional<RunKind> boardHolder() const { return holder_; }
  bool claimBoard(RunKind run);
  void releaseBoard(RunKind run);
  // True while the channel test holds the board.
  bool boardExclusive() const { return holder_ == RunKind::ChannelTest; }
  // The sender of the run that holds the board: its words pass while the board is held.
  WordSender& runSender() { return runSender_; }
  // A run ended because the board was lost: the status bars say so from now on.
  void boardLost(int status);

  // A new user action begins (called by the input tracker): one more message may be shown.
  void beginUserAction() { channelMessageShown_ = false; }
  bool quiet() const { return quietDepth_ > 0; }

 signals:
  void serialWordShown(const QString& hex);
  void boardStatusChanged();
  void boardHolderChanged();
  // A passing note for the status bars (a word refused while the board is held).
  void statusNote(const QString& text);

 private:
  class RunSender final : public WordSender {
   public:
    explicit RunSender(Session& session) : session_(session) {}
    void SPIout(std::int32_t code) override;

   private:
    Session& session_;
  };

  std::unique_ptr<board::BoardAccess> access_;
  board::SimulatedBoard* simulated_ = nullptr;
  board::LibusbBoard* usb_ = nullptr;
  MessageSink& messages_;
  std::unique_ptr<board::Reporter> reporter_;
  std::unique_ptr<board::BoardLink> link_;
  WindowHub hub_;
  measure::SteadyClock clock_;
  int quietDepth_ = 0;
  bool serialHeld_ = false;
  std::optional<std::int32_t> heldWord_;
  bool flushPosted_ = false;
  bool channelMessageShown_ = false;
  std::optional<RunKind> holder_;
  bool sendingForRun_ = false;
  RunSender runSender_{*this};
  std::optional<int> lostStatus_;
};

}  // namespace kv4410::ui
