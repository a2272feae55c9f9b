#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "kv4410_version.h"

namespace kv4410::app {

namespace {

int usageError(const QString& text) {
  std::fprintf(stderr, "kv4410: %s\n", qPrintable(text));
  return kUsageError;
}

struct Parsed {
  QCommandLineParser parser;
  CommandLine command;
  QString error;  // empty when the arguments are valid
};

void parse(const QStringList& arguments, Parsed& out) {
  QCoreApplication::setApplicationName(QStringLiteral("kv4410"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));

  // --simulate takes an optional "=OPTIONS", which QCommandLineParser cannot express: it is
  // taken out of the arguments first.
  QStringList rest;
  for (const QString& arg : arguments) {
    if (arg == QLatin1String("--simulate")) {
      out.command.board.simulate = true;
    } else if (arg.startsWith(QLatin1String("--simulate="))) {
      out.command.board.simulate = true;
      out.command.board.simulateOptions = arg.mid(11).toStdString();
    } else {
      rest << arg;
    }
  }

  QCommandLineParser& parser = out.parser;
  parser.setApplicationDescription(QStringLiteral(
      "KV4410 evaluation board software.\n"
      "  --simulate[=key=value,...]  use the simulated board instead of the USB board"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption traceOption(
      QStringLiteral("trace"), QStringLiteral("Append one line per board operation to FILE."),
      QStringLiteral("FILE"));
  const QCommandLineOption firmwareOption(
      QStringLiteral("firmware"),
      QStringLiteral("Download this firmware file instead of KV4410SPI.hex beside the program "
                     "or in the shared data folder."),
      QStringLiteral("PATH"));
  const QCommandLineOption boardOption(
      QStringLiteral("board"),
      QStringLiteral("Use the USB board at BUS-PORT (as kv4410ctl list prints it) when several "
                     "are connected; without it the first one found."),
      QStringLiteral("BUS-PORT"));
  const QCommandLineOption screenshotsOption(
      QStringLiteral("screenshots"),
      QStringLiteral("Start up, write a PNG of every window and page into DIR, and exit."),
      QStringLiteral("DIR"));
  const QCommandLineOption testProcedureOption(
      QStringLiteral("test-procedure"),
      QStringLiteral("Open the automated test procedure window at start-up."));
  const QCommandLineOption setupOption(
      QStringLiteral("setup"),
      QStringLiteral("Open this setup file, or a run's CSV file, on the board after the start-up, "
                     "without asking; a refused file is reported and the program goes on."),
      QStringLiteral("FILE"));
  parser.addOptions({traceOption, firmwareOption, boardOption, screenshotsOption,
                     testProcedureOption, setupOption});
  if (!parser.parse(rest)) {
    out.error = parser.errorText();
    return;
  }
  if (!parser.positionalArguments().isEmpty()) {
    out.error = QStringLiteral("unexpected argument ") + parser.positionalArguments().first();
    return;
  }

  CommandLine& command = out.command;
  if (parser.isSet(traceOption)) {
    command.board.trace = parser.value(traceOption).toStdString();
  } else if (const QByteArray env = qgetenv("KV4410_TRACE"); !env.isEmpty()) {
    command.board.trace = env.toStdString();
  }
  if (parser.isSet(firmwareOption)) {
    command.board.firmware = parser.value(firmwareOption).toStdString();
  }
  if (parser.isSet(boardOption)) {
    command.board.boardLocation = parser.value(boardOption).toStdString();
  }
  if (parser.isSet(screenshotsOption)) {
    command.screenshots = parser.value(screenshotsOption);
  }
  command.testProcedure = parser.isSet(testProcedureOption);
  if (parser.isSet(setupOption)) {
    command.setup = parser.value(setupOption);
  }
}

bool displayMayBeThere(const QStringList& arguments) {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         arguments.contains(QLatin1String("-platform")) ||
         arguments.contains(QLatin1String("--platform"));
}

}  // namespace

std::optional<int> readCommandLine(const QStringList& arguments, CommandLine& command) {
  Parsed parsed;
  parse(arguments, parsed);
  if (!parsed.error.isEmpty()) {
    return usageError(parsed.error);
  }
  if (parsed.parser.isSet(QStringLiteral("help"))) {
    parsed.parser.showHelp(0);  // exits
  }
  if (parsed.parser.isSet(QStringLiteral("version"))) {
    parsed.parser.showVersion();  // exits
  }
  command = parsed.command;
  return std::nullopt;
}

std::optional<int> answerBeforeStart(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    arguments << QString::fromLocal8Bit(argv[i]);
  }
  Parsed parsed;
  parse(arguments, parsed);
  if (!parsed.error.isEmpty()) {
    return displayMayBeThere(arguments) ? std::nullopt
                                        : std::optional<int>(usageError(parsed.error));
  }
  if (parsed.parser.isSet(QStringLiteral("help")) ||
      parsed.parser.isSet(QStringLiteral("version"))) {
    // The help names the program as it was started: a core application (no display) tells it.
    QCoreApplication core(argc, argv);
    CommandLine unused;
    return readCommandLine(QCoreApplication::arguments(), unused);
  }
  return std::nullopt;
}

}  // namespace kv4410::app
