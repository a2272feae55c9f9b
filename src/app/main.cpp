// kv4410: the evaluation board program. Opens the board (the real one over USB by default, the
// simulated one with --simulate), starts the register window and runs until EXIT.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>

#include "board/board_factory.h"
#include "board/board_link.h"
#include "kv4410_version.h"
#include "screenshots.h"
#include "ui/common/guarded_application.h"
#include "ui/common/message_sink.h"
#include "ui/common/session.h"
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
  preferOffscreenForScreenshots(argc, argv);
  kv4410::ui::GuardedApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("kv4410"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kv4410::kProgramVersion));

  // --simulate takes an optional "=OPTIONS", which QCommandLineParser cannot express: it is
  // taken out of the arguments first.
  kv4410::board::BoardOptions options;
  QStringList arguments;
  for (const QString& arg : QCoreApplication::arguments()) {
    if (arg == QLatin1String("--simulate")) {
      options.simulate = true;
    } else if (arg.startsWith(QLatin1String("--simulate="))) {
      options.simulate = true;
      options.simulateOptions = arg.mid(11).toStdString();
    } else {
      arguments << arg;
    }
  }

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "KV4410 evaluation board software.\n"
      "  --simulate[=key=value,...]  use the simulated board instead of the USB board"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption traceOption(
      QStringLiteral("trace"), QStringLiteral("Append one line per board operation to FILE."),
      QStringLiteral("FILE"));
  const QCommandLineOption firmwareOption(QStringLiteral("firmware"),
                                          QStringLiteral("Download this firmware file."),
                                          QStringLiteral("PATH"));
  const QCommandLineOption screenshotsOption(
      QStringLiteral("screenshots"),
      QStringLiteral("Start up, write a PNG of every window and page into DIR, and exit."),
      QStringLiteral("DIR"));
  parser.addOption(traceOption);
  parser.addOption(firmwareOption);
  parser.addOption(screenshotsOption);
  const QCommandLineOption testProcedureOption(
      QStringLiteral("test-procedure"),
      QStringLiteral("Open the automated test procedure window at start-up."));
  parser.addOption(testProcedureOption);
  if (!parser.parse(arguments)) {
    return usageError(parser.errorText());
  }
  if (parser.isSet(QStringLiteral("help"))) {
    parser.showHelp(0);
  }
  if (parser.isSet(QStringLiteral("version"))) {
    parser.showVersion();
  }
  if (!parser.positionalArguments().isEmpty()) {
    return usageError(QStringLiteral("unexpected argument ") +
                      parser.positionalArguments().first());
  }

  if (parser.isSet(traceOption)) {
    options.trace = parser.value(traceOption).toStdString();
  } else if (const QByteArray env = qgetenv("KV4410_TRACE"); !env.isEmpty()) {
    options.trace = env.toStdString();
  }
  if (parser.isSet(firmwareOption)) {
    options.firmware = parser.value(firmwareOption).toStdString();
  }
  const bool screenshots = parser.isSet(screenshotsOption);

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
    session.firmwarePath = *options.firmware;
  }
  kv4410::ui::registerWindows(session);
  // The register window's start-up connects the board, writes the chip's start-up state and
  // shows the windows.
  session.hub().window(kv4410::ui::WindowId::Register);
  if (parser.isSet(testProcedureOption)) {
    session.hub().show(kv4410::ui::WindowId::TestProcedure);
  }

  if (screenshots) {
    // The shots are taken from the event loop, which ends with the exit status.
    const QString directory = parser.value(screenshotsOption);
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
