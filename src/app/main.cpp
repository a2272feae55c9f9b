// kv4410: the evaluation board program. Opens the board (the real one over USB by default, the
// simulated one with --simulate), starts the register window and runs until EXIT.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>

#include "board/board_factory.h"
#include "board/board_link.h"
#include "command_line.h"
#include "screenshots.h"
#include "ui/common/guarded_application.h"
#include "ui/common/message_sink.h"
#include "ui/common/program_style.h"
#include "ui/common/session.h"
#include "ui/common/setup_actions.h"
#include "ui/common/window_hub.h"
#include "ui/windows.h"

namespace {

constexpr int kUsageError = 2;

int usageError(const QString& text) {
  std::fprintf(stderr, "kv4410: %s\n", qPrintable(text));
  return kUsageError;
}

// While the screenshots are taken nobody is there to press OK: board messages go to stderr.
class StderrSink : public kv4410::ui::MessageSink {
 public:
  void show(kv4410::ui::MessageIcon, const QString& title, const QString& text) override {
    std::fprintf(stderr, "kv4410: %s %s\n", qPrintable(title), qPrintable(text));
  }
};

// Screenshots need no screen: without a display they are rendered offscreen.
void preferOffscreenForScreenshots(int argc, char* argv[]) {
  bool screenshots = false;
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg(argv[i]);
    screenshots = screenshots || arg == "--screenshots" || arg.startsWith("--screenshots=");
  }
  if (screenshots && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const std::optional<int> status = kv4410::app::answerBeforeStart(argc, argv)) {
    return *status;
  }
  preferOffscreenForScreenshots(argc, argv);
  kv4410::ui::GuardedApplication app(argc, argv);
  kv4410::ui::installProgramStyle();

  kv4410::app::CommandLine command;
  if (const std::optional<int> status =
          kv4410::app::readCommandLine(QCoreApplication::arguments(), command)) {
    return *status;
  }
  kv4410::board::BoardOptions options = command.board;
  const bool screenshots = command.screenshots.has_value();

  std::string error;
  kv4410::board::OpenedBoard board = kv4410::board::openBoard(options, error);
  if (!board.access) {
    return usageError(QString::fromStdString(error));
  }

  kv4410::ui::MessageBoxSink boxes;
  StderrSink printed;
  kv4410::ui::Session session(std::move(board), screenshots
                                                    ? static_cast<kv4410::ui::MessageSink&>(printed)
                                                    : static_cast<kv4410::ui::MessageSink&>(boxes));
  if (options.firmware) {
    session.firmware = kv4410::board::lookUpFirmware(options.firmware, {});
  }
  kv4410::ui::registerWindows(session);
  // The register window's start-up connects the board, writes the chip's start-up state and
  // shows the windows.
  session.hub().window(kv4410::ui::WindowId::Register);
  if (command.testProcedure) {
    session.hub().show(kv4410::ui::WindowId::TestProcedure);
  }
  session.setupActions().setBoardLocation(options.boardLocation);
  if (command.setup) {
    // The user named the file: it is opened without the dialog; a refusal does not end the
    // program, which goes on from the start-up's state.
    const std::optional<QString> refusal =
        session.setupActions().openSetupFile(*command.setup, false);
    if (refusal) {
      std::fprintf(stderr, "kv4410: setup not opened: %s\n", qPrintable(*refusal));
    }
  }

  if (screenshots) {
    // The shots are taken from the event loop, which ends with the exit status.
    const QString directory = *command.screenshots;
    QTimer::singleShot(0, &session, [&session, directory] {
      kv4410::app::writeScreenshots(session, directory,
                                    [](const QStringList& files, const QString& failure) {
                                      for (const QString& file : files) {
                                        std::printf("%s\n", qPrintable(file));
                                      }
                                      if (!failure.isEmpty()) {
                                        std::fprintf(stderr, "kv4410: %s\n", qPrintable(failure));
                                      }
                                      QCoreApplication::exit(failure.isEmpty() ? 0 : 1);
                                    });
    });
  }
  return QApplication::exec();
}
