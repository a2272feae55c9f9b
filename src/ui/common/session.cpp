#include "ui/common/session.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <cstdio>

#include "board/libusb_board.h"
#include "device/serial_word.h"
#include "ui/common/entry_checks.h"
#include "ui/common/message_sink.h"
#include "ui/common/setup_actions.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

// The board link's messages as message boxes.
class MessageBoxReporter : public board::Reporter {
 public:
  MessageBoxReporter(MessageSink& messages, const board::FirmwareLookup& firmware)
      : messages_(messages), firmware_(firmware) {}

  void noBoard(int searchStatus) override {
    messages_.show(MessageIcon::Exclamation, QStringLiteral(": ") + QString::number(searchStatus),
                   QStringLiteral("No Evaluation Board Found"));
  }
  void usbError(int code, std::string_view text) override {
    // Printed before the box, which waits for OK.
    if (code == board::status::kFirmwareNotFound) {
      std::fprintf(stderr, "kv4410: %s\n", board::triedText(firmware_).c_str());
    }
    messages_.show(MessageIcon::None, kProgramTitle, qtext(text));
  }

 private:
  MessageSink& messages_;
  const board::FirmwareLookup& firmware_;
};

// Marks the start of a user action: a mouse press or key press that reaches the program while
// no modal dialog is open. The OK click that closes a message box is part of the action that
// raised the box, so it never starts a new one.
class UserActionTracker : public QObject {
 public:
  explicit UserActionTracker(Session& session) : QObject(&session), session_(session) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const auto type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::KeyPress) &&
        QApplication::activeModalWidget() == nullptr) {
      session_.beginUserAction();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  Session& session_;
};

}  // namespace

Session::Session(board::OpenedBoard board, MessageSink& messages)
    : usb_(board.usb),
      messages_(messages),
      reporter_(std::make_unique<MessageBoxReporter>(messages, firmware)),
      bench_(std::make_unique<bench::Bench>(std::move(board), *reporter_, clock_)) {
  if (QCoreApplication::instance() != nullptr) {
    firmware = board::lookUpFirmware(
        std::nullopt,
        std::filesystem::u8path(QCoreApplication::applicationDirPath().toStdString()));
    QCoreApplication::instance()->installEventFilter(new UserActionTracker(*this));
  }
  hub_.setBuildGate([this] { return !boardExclusive(); });
  setupActions_ = std::make_unique<SetupActions>(*bench_, messages_);
  hub_.setSetupActions(setupActions_.get());
  // Every serial word that reaches the board, from a window or a run, is what the serial-word
  // field shows.
  bench_->observeTraffic([this](const board::BoardLink::RequestRecord& record) {
    if (record.request == board::request::kSerialWord && !record.in) {
      wordSent(static_cast<std::int32_t>((std::uint32_t{record.index} << 16) | record.value));
    }
  });
  bench_->holder().subscribe(
      [this](const std::optional<std::string>& /*holder*/) { emit boardHolderChanged(); });
}

Session::~Session() {
  delete measoutWarningBox.data();
  hub_.destroyAll();
  hub_.setSetupActions(nullptr);
}

void Session::SPIout(std::int32_t code) {
  report(bench_->sendWord(code));
}

void Session::wordSent(std::int32_t code) {
  // The field is drawn once per return to the event loop, with the latest word: a routine that
  // sends words in a burst redraws it once, and the word's cost stays that of the transfer.
  heldWord_ = code;
  if (!serialHeld_ && !flushPosted_) {
    flushPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          flushPosted_ = false;
          if (!serialHeld_) {
            flushSerialWord();
          }
        },
        Qt::QueuedConnection);
  }
}

bool Session::report(const bench::Refusal& refusal) {
  if (!refusal) {
    return true;
  }
  if (*refusal == bench::kNoChannelSelected) {
    if (quietDepth_ == 0 && !channelMessageShown_) {
      channelMessageShown_ = true;
      messages_.show(MessageIcon::Warning, kEntryErrorTitle, kChannelMessage);
    }
  } else if (*refusal == bench::kChannelTestRunning) {
    emit statusNote(QStringLiteral("Not sent: %1 holds the board until it ends.")
                        .arg(runName(RunKind::ChannelTest)));
  } else {
    messages_.show(MessageIcon::Exclamation, kProgramTitle, QString::fromStdString(*refusal));
  }
  return false;
}

QString Session::runName(RunKind run) {
  switch (run) {
    case RunKind::Sweep:
      return QStringLiteral("the voltage sweep");
    case RunKind::TimeRun:
      return QStringLiteral("the measurement versus time");
    case RunKind::ChannelTest:
      break;
  }
  return QStringLiteral("the channel test");
}

bool Session::boardExclusive() const {
  return bench_->busy() == std::optional<std::string>(bench::kChannelTestRunning);
}

bool Session::boardFreeFor(RunKind run) {
  const std::optional<std::string> holder = bench_->busy();
  if (!holder) {
    return true;
  }
  const RunKind holding = *holder == bench::kSweepRunning     ? RunKind::Sweep
                          : *holder == bench::kTimeRunRunning ? RunKind::TimeRun
                                                              : RunKind::ChannelTest;
  messages_.show(MessageIcon::Exclamation, kProgramTitle,
                 QStringLiteral("The board is busy: %1 is running. Start %2 when it has ended.")
                     .arg(runName(holding), runName(run)));
  return false;
}

void Session::boardLost(int status) {
  lostStatus_ = status;
  emit boardStatusChanged();
}

QString Session::boardStatusText() const {
  if (lostStatus_) {
    const auto reason = board::usbErrorText(*lostStatus_);
    return QStringLiteral(
               "The board was lost (%1). Check the USB cable and the board's power, then start "
               "the program again.")
        .arg(reason ? qtext(*reason) : QStringLiteral("status %1").arg(*lostStatus_));
  }
  if (!bench_->boardConnected()) {
    return QStringLiteral(
        "No board connected. Connect the board and start again, or run kv4410 --simulate to "
        "use the simulated board.");
  }
  if (bench_->simulated() != nullptr) {
    return QStringLiteral("Board in use: the simulated KV4410 evaluation board (simulated board)");
  }
  // Several boards may be connected: name the one in use as --board takes it.
  const auto where = usb_ != nullptr ? usb_->location() : std::nullopt;
  if (where) {
    return QStringLiteral("Board in use: KV4410 evaluation board on USB at %1 (bus %2)")
        .arg(QString::fromStdString(board::locationText(*where)))
        .arg(where->bus);
  }
  return QStringLiteral("Board in use: KV4410 evaluation board on USB");
}

void Session::holdSerialWord(bool hold) {
  serialHeld_ = hold;
  if (!hold) {
    flushSerialWord();
  }
}

void Session::flushSerialWord() {
  if (heldWord_) {
    emit serialWordShown(hexText(*heldWord_, 8));
    heldWord_.reset();
  }
}

bool Session::sendPmuWord(std::int32_t word) {
  return report(bench_->sendPmu(word));
}

void Session::showSerialWord(std::int32_t word) {
  heldWord_.reset();  // a word sent before this must not overwrite it when drawn
  emit serialWordShown(hexText(word, 8));
}

}  // namespace kv4410::ui
