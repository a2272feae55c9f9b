// The whole program against bare baselines measured in the same run:
//   start-up   time from the program's start to both its windows shown, offscreen on the
//              simulated board, against a bare Qt Widgets window with one label (each a fresh
//              process, median of several);
//   memory     peak resident memory after that start-up and after a 65,536-point sweep,
//              against the bare window;
//   send path  the cost of a serial word through Session::SPIout down to the board interface,
//              against a loop calling the simulated board's vendor request directly;
//   cpu        the CPU time of a 100-step sweep with a 500 ms cycle delay, in the sweep window
//              and in kv4410ctl, against its wall time (skipped with --quick).
// Run offscreen: QT_QPA_PLATFORM=offscreen ./app_bench [--quick]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/board_factory.h"
#include "board/simulated_board.h"
#include "ui/common/guarded_application.h"
#include "ui/common/message_sink.h"
#include "ui/common/program_style.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/windows.h"

namespace {

using namespace kv4410;

std::int64_t monotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double cpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class NoMessages final : public ui::MessageSink {
 public:
  void show(ui::MessageIcon, const QString&, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  }
};

bool exposed(const QWidget* window) {
  return window->windowHandle() != nullptr && window->windowHandle()->isExposed();
}

// Runs the event loop until every window given is on the screen and painted.
void waitUntilShown(const std::vector<QWidget*>& windows) {
  for (QWidget* window : windows) {
    window->show();
  }
  while (!std::all_of(windows.begin(), windows.end(), exposed)) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QCoreApplication::processEvents();
}

// The program as its entry starts it: the simulated board, the session, every window
// registered and the register window's start-up.
struct Program {
  NoMessages messages;
  std::string error;
  ui::Session session{board::openBoard(
                          [] {
                            board::BoardOptions options;
                            options.simulate = true;
                            return options;
                          }(),
                          error),
                      messages};
  Program() {
    ui::registerWindows(session);
    // The start-up shows the register window and the PMU control window.
    waitUntilShown({session.hub().window(ui::WindowId::Register)->widget(),
                    session.hub().window(ui::WindowId::PmuControl)->widget()});
  }
  ui::SweepWindow* sweepWindow() {
    return dynamic_cast<ui::SweepWindow*>(session.hub().window(ui::WindowId::Sweep));
  }
};

// Starts a sweep from the window's fields and runs the event loop until it ends.
void runSweep(QApplication& app, ui::SweepWindow* sweep, const char* start, const char* end,
              const char* stepMv, int cycleDelay) {
  sweep->show();
  const std::pair<const char*, const char*> fields[] = {
      {"txtstartV", start}, {"txtendV", end}, {"txtstep", stepMv}};
  for (const auto& [name, text] : fields) {
    sweep->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
  }
  auto* delay = sweep->findChild<QComboBox*>(QStringLiteral("cboDela"));
  delay->setCurrentIndex(cycleDelay);
  emit delay->activated(cycleDelay);  // as a user's choice does
  const auto ended =
      QObject::connect(sweep, &ui::SweepWindow::runEnded, &app, [&app] { app.exit(0); });
  sweep->findChild<QPushButton*>(QStringLiteral("cmdPlot"))->click();
  QApplication::exec();
  QObject::disconnect(ended);
}

// A child process: starts, prints the milliseconds since `startedNs` (the parent's clock just
// before it started the child) once its window is shown, then exits.
int child(const std::string& mode, std::int64_t startedNs, int argc, char** argv) {
  if (mode == "bare") {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("KV4410"));
    waitUntilShown({&label});
    std::printf("%.3f\n", static_cast<double>(monotonicNs() - startedNs) * 1e-6);
    return 0;
  }
  // The application object and its style as the program's entry makes them.
  ui::GuardedApplication app(argc, argv);
  ui::installProgramStyle();
  Program program;
  std::printf("%.3f\n", static_cast<double>(monotonicNs() - startedNs) * 1e-6);
  if (mode == "sweep") {
    runSweep(app, program.sweepWindow(), "-11.2499", "11.2496", "0.3433", 0);
  }
  return 0;
}

struct ChildRun {
  double shownMs = 0;
  long peakKb = 0;
  double cpuSeconds = 0;
  double wallSeconds = 0;
};

// Runs `argv` as a child process with its stdout read back; the child's peak memory and CPU
// time from wait4.
ChildRun runChild(std::vector<std::string> args) {
  int out[2];
  if (pipe(out) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  ChildRun run;
  const std::int64_t started = monotonicNs();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    const std::string startedText = std::to_string(started);
    for (std::string& a : args) {
      a = a == "@started" ? startedText : a;
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    std::perror("execv");
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  run.wallSeconds = static_cast<double>(monotonicNs() - started) * 1e-9;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "app_bench: %s failed\n", args[0].c_str());
    std::exit(1);
  }
  run.shownMs = std::atof(text.c_str());
  run.peakKb = usage.ru_maxrss;
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  return run;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void startupAndMemory(const std::string& self) {
  constexpr int kRuns = 15;
  std::vector<double> bare, program;
  long bareKb = 0, programKb = 0;
  for (int k = 0; k < kRuns; ++k) {  // alternated, so that a busy moment hits both
    const ChildRun b = runChild({self, "--child", "bare", "@started"});
    const ChildRun p = runChild({self, "--child", "program", "@started"});
    bare.push_back(b.shownMs);
    program.push_back(p.shownMs);
    bareKb = std::max(bareKb, b.peakKb);
    programKb = std::max(programKb, p.peakKb);
  }
  const ChildRun swept = runChild({self, "--child", "sweep", "@started"});
  std::printf(
      "start-up to windows shown program %.1f ms, bare window %.1f ms: %.2f x "
      "(target at most 2)\n",
      median(program), median(bare), median(program) / median(bare));
  std::printf(
      "peak memory after start   program %ld KiB, bare window %ld KiB: %.2f x "
      "(target at most 1.5)\n",
      programKb, bareKb, static_cast<double>(programKb) / static_cast<double>(bareKb));
  std::printf("peak memory after a 65,536-point sweep %ld KiB: %.2f x the bare window\n",
              swept.peakKb, static_cast<double>(swept.peakKb) / static_cast<double>(bareKb));
}

void sendPath() {
  constexpr int kWords = 200000;
  Program program;
  // The baseline calls the very board behind the session, in the state the start-up left it
  // (channels enabled, loads driven), so both loops make the chip model do the same work.
  board::SimulatedBoard& direct = *program.session.simulated();
  const std::int32_t handle = board::SimulatedBoard::kHandle;
  const std::int32_t base = 0x0FCD0000;  // FIN DAC x1 of every channel
  QElapsedTimer timer;
  double bestBare = 1e9, bestSession = 1e9;
  for (int round = 0; round < 3; ++round) {  // the best of three of each
    timer.start();
    int failed = 0;
    for (int k = 0; k < kWords; ++k) {
      const std::int32_t word = base | (k & 0xFFFF);
      failed += direct.Vendor_Request(handle, 221, static_cast<std::uint16_t>(word & 0xFFFF),
                                      static_cast<std::uint16_t>((word & 0x1FFF0000) >> 16),
                                      board::kDirOut, 0, nullptr) != 0;
    }
    if (failed != 0) {
      std::fprintf(stderr, "app_bench: the simulated board refused a word\n");
      std::exit(1);
    }
    bestBare = std::min(bestBare, static_cast<double>(timer.nsecsElapsed()) / kWords);
    const std::uint64_t before = program.session.bench().link().requestCount();
    timer.start();
    for (int k = 0; k < kWords; ++k) {
      program.session.SPIout(base | (k & 0xFFFF));
    }
    bestSession = std::min(bestSession, static_cast<double>(timer.nsecsElapsed()) / kWords);
    if (program.session.bench().link().requestCount() - before != kWords) {
      std::fprintf(stderr, "app_bench: SPIout did not make one request a word\n");
      std::exit(1);
    }
  }
  std::printf(
      "send path per request     SPIout %.0f ns, board directly %.0f ns: %.2f x "
      "(target at most 1.5)\n",
      bestSession, bestBare, bestSession / bestBare);
}

void cpuDuringSlowSweep(QApplication& app, const std::string& ctl) {
  Program program;
  const double cpu0 = cpuSeconds(RUSAGE_SELF);
  QElapsedTimer wall;
  wall.start();
  // 0 V to 0.99 V in 10 mV steps: 100 steps, 500 ms apart.
  runSweep(app, program.sweepWindow(), "0", "0.99", "10", 5);
  const double guiWall = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
  const double guiCpu = cpuSeconds(RUSAGE_SELF) - cpu0;
  std::printf(
      "cpu, 100 steps 500 ms apart, window     %.3f s of %.1f s: %.2f %% (target under "
      "5 %%)\n",
      guiCpu, guiWall, 100.0 * guiCpu / guiWall);
  const ChildRun cli = runChild({ctl, "--simulate", "sweep", "--start", "0", "--end", "0.99",
                                 "--step", "10", "--cycle-delay", "500ms", "--csv", "/dev/null"});
  std::printf(
      "cpu, 100 steps 500 ms apart, kv4410ctl  %.3f s of %.1f s: %.2f %% (target under "
      "5 %%)\n",
      cli.cpuSeconds, cli.wallSeconds, 100.0 * cli.cpuSeconds / cli.wallSeconds);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc >= 4 && std::strcmp(argv[1], "--child") == 0) {
    return child(argv[2], std::atoll(argv[3]), argc, argv);
  }
  const bool quick = argc >= 2 && std::strcmp(argv[1], "--quick") == 0;
  std::string self = "/proc/self/exe";
  if (char resolved[4096]; realpath(argv[0], resolved) != nullptr) {
    self = resolved;
  }
  startupAndMemory(self);
  // The send path and the slow sweep run in the program's application object and style.
  ui::GuardedApplication app(argc, argv);
  ui::installProgramStyle();
  sendPath();
  if (!quick) {
    cpuDuringSlowSweep(app, KV4410CTL_PATH);
  }
  return 0;
}
