#pragma once
// The program's session: owns the bench (the board, its words, settings and runs) that every
// window binds to, the window hub, and what the windows show of the traffic.
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "bench/bench.h"
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
class SetupActions;

using kv4410::ConversionValues;
using kv4410::StoredWords;

class Session : public QObject {
  Q_OBJECT
 public:
  // `messages` shows message boxes (and board errors); the session does not own it.
  Session(board::OpenedBoard board, MessageSink& messages);
  ~Session() override;

  // The one owner of the board, the stored words, the shared settings and the runs. Windows
  // read it, bind their lists to its settings and turn each user action into one call.
  bench::Bench& bench() { return *bench_; }
  const bench::Bench& bench() const { return *bench_; }
  const StoredWords& words() const { return bench_->words(); }
  const ConversionValues& conversion() const { return bench_->conversion(); }
  board::SimulatedBoard* simulated() const { return bench_->simulated(); }
  MessageSink& messages() { return messages_; }
  WindowHub& hub() { return hub_; }
  // Saving and opening setups, for every window's File menu.
  SetupActions& setupActions() { return *setupActions_; }

  // The clock the runs wait on.
  measure::Clock& clock() { return clock_; }
  // Where LoadUSB finds the firmware image (firmware.path): KV4410SPI.hex beside the program,
  // else in the shared data folder, unless the program was told otherwise (--firmware). After
  // 3002 - FIRMWARE FILE NOT FOUND every place tried is printed on stderr.
  board::FirmwareLookup firmware;
  // The one MEASOUT gain warning box (created on first use, see measout_warning.h).
  QPointer<QWidget> measoutWarningBox;

  // Sends a serial word as typed or composed by a window. Every word that reaches the board,
  // whoever sent it, is shown as eight hex digits in the serial-word field (serialWordShown)
  // when control returns to the event loop, the latest word of a burst once. While the channel
  // test holds the board the word is dropped and the status bars say so.
  void SPIout(std::int32_t code);
  // A PMU register word: sent only when it carries a channel bit (bits 24..27); a word without
  // one would reach the chip as a system control write. A refused word shows "Please select at
  // least One PMU channel" at most once per user action, and never at start-up. Returns
  // whether it was sent.
  bool sendPmuWord(std::int32_t word);
  // Shows a refusal of the bench: the channel message as sendPmuWord does, a word dropped while
  // the test holds the board in the status bars, anything else in a message box. Returns
  // whether there was nothing to show.
  bool report(const bench::Refusal& refusal);
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

  // While a QuietScope lives, refused PMU words are silent (the start-up).
  class QuietScope {
   public:
    explicit QuietScope(Session& s) : s_(s) { ++s_.quietDepth_; }
    ~QuietScope() { --s_.quietDepth_; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

   private:
    Session& s_;
  };
  // One run holds the board at a time (the bench decides). A run asked for while another holds
  // the board is refused with a message that names the holder, and the refused run sends
  // nothing. While the channel test holds the board no control of any window may send: windows
  // disable their controls (boardHolderChanged), and the bench refuses any other word.
  enum class RunKind { Sweep, TimeRun, ChannelTest };
  static QString runName(RunKind run);
  // False, after the message, when another run holds the board.
  bool boardFreeFor(RunKind run);
  // True while the channel test holds the board.
  bool boardExclusive() const;
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
  void wordSent(std::int32_t code);

  board::LibusbBoard* usb_ = nullptr;
  MessageSink& messages_;
  std::unique_ptr<board::Reporter> reporter_;
  measure::SteadyClock clock_;
  std::unique_ptr<bench::Bench> bench_;
  WindowHub hub_;
  std::unique_ptr<SetupActions> setupActions_;
  int quietDepth_ = 0;
  bool serialHeld_ = false;
  std::optional<std::int32_t> heldWord_;
  bool flushPosted_ = false;
  bool channelMessageShown_ = false;
  std::optional<int> lostStatus_;
};

}  // namespace kv4410::ui
