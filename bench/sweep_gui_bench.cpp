// The sweep window's own cost per step: a whole-range sweep (65,536 points, one code a step,
// no delays) started with PLOT and run from the event loop with its live list, chart and
// progress, against a bare loop making the same transfers on the same kind of board in the
// same process, three times in turn. Run offscreen: QT_QPA_PLATFORM=offscreen ./sweep_gui_bench
// With `--points N --latency US` the sweep spans the range in about N points on a board that
// takes US microseconds a request, and the bare loop's time is given as a share of the window's.
// With `--history` the sweep is then kept 20 times in a run history, all 20 drawn over the
// chart, and the peak resident memory is given before and after.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "board/board_factory.h"
#include "board/board_link.h"
#include "board/simulated_board.h"
#include "ui/common/message_sink.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"
#include "ui/sweeps/run_history.h"
#include "ui/sweeps/strip_chart.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/windows.h"

namespace {

using namespace kv4410;

int kSteps = 65536;
constexpr int kRounds = 3;
unsigned kLatencyUs = 0;

class QuietReporter final : public board::Reporter {
 public:
  void noBoard(int) override {}
  void usbError(int, std::string_view) override {}
};

class NoMessages final : public ui::MessageSink {
 public:
  void show(ui::MessageIcon, const QString&, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  }
};

// The peak resident set size of this process so far (VmHWM), in KiB; 0 when it cannot be read.
long peakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::strtol(line.c_str() + 6, nullptr, 10);
    }
  }
  return 0;
}

// Keeps the window's last sweep `runs` times in a run history and draws every one of them over
// the sweep chart, as a user who ticks them all would; prints the peak memory before and after.
void keepRuns(ui::SweepWindow& sweep, int runs) {
  const long before = peakRssKiB();
  ui::RunHistory history;
  history.model()->setKeep(runs);
  std::size_t points = 0;
  for (int r = 0; r < runs; ++r) {
    ui::KeptRun run;
    run.endTime = "10:00:" + std::to_string(10 + r);
    run.kind = ui::kSweepKind;
    run.values = sweep.lastSweep()->series();
    points = run.values.size();
    history.add(std::move(run));
    history.setTicked(0, true);
  }
  const long kept = peakRssKiB();
  auto* chart = sweep.findChild<ui::StripChart*>(QStringLiteral("Strip1"));
  QElapsedTimer timer;
  timer.start();
  chart->setOverlays(history.overlays(ui::kSweepKind));
  const double drawMs = static_cast<double>(timer.nsecsElapsed()) * 1e-6;
  QApplication::processEvents();
  const long after = peakRssKiB();
  std::printf("kept runs                %d of %zu points, %d drawn\n", history.count(), points,
              chart->overlayCount());
  std::printf("their values             %.1f MiB\n",
              static_cast<double>(points * sizeof(double)) * runs / (1024.0 * 1024.0));
  std::printf("peak RSS after the sweep %.1f MiB\n", static_cast<double>(before) / 1024.0);
  std::printf("peak RSS with the runs   %.1f MiB (+%.1f MiB)\n", static_cast<double>(kept) / 1024.0,
              static_cast<double>(kept - before) / 1024.0);
  std::printf("and all 20 drawn         %.1f MiB (+%.1f MiB)\n",
              static_cast<double>(after) / 1024.0, static_cast<double>(after - before) / 1024.0);
  std::printf("drawing all of them      %.1f ms\n", drawMs);
}

double bareLoopSeconds() {
  board::SimulationOptions simulation;
  simulation.latencyUs = kLatencyUs;
  board::SimulatedBoard simulated(simulation);
  QuietReporter reporter;
  board::BoardLink link(simulated, reporter);
  link.LoadUSB("/bench/KV4410SPI.hex");
  QElapsedTimer timer;
  timer.start();
  for (int code = 0; code < kSteps; ++code) {
    link.SPIWrite(29, 0x0FCD0000 | code);
    volatile std::uint16_t a = link.readAdcNow();
    (void)a;
  }
  return static_cast<double>(timer.nsecsElapsed()) * 1e-9;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  bool history = false;
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--history")) {
      history = true;
    } else if (args[i] == QLatin1String("--points") && i + 1 < args.size()) {
      kSteps = std::max(2, args[++i].toInt());
    } else if (args[i] == QLatin1String("--latency") && i + 1 < args.size()) {
      kLatencyUs = args[++i].toUInt();
    }
  }
  board::BoardOptions options;
  options.simulate = true;
  options.simulateOptions = "latency=" + std::to_string(kLatencyUs);
  std::string error;
  NoMessages messages;
  ui::Session session(board::openBoard(options, error), messages);
  ui::registerWindows(session);
  session.hub().window(ui::WindowId::Register);
  auto* sweep = dynamic_cast<ui::SweepWindow*>(session.hub().window(ui::WindowId::Sweep));
  if (sweep == nullptr) {
    std::fprintf(stderr, "sweep_gui_bench: no sweep window\n");
    return 1;
  }
  sweep->show();
  // The windows' first painting is not part of the sweep: it is done before the clock starts.
  const auto allExposed = [] {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::all_of(windows.begin(), windows.end(), [](const QWidget* w) {
      return !w->isVisible() || (w->windowHandle() != nullptr && w->windowHandle()->isExposed());
    });
  };
  while (!allExposed()) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QApplication::processEvents();
  // One code a step over the whole range, or the range in about kSteps points.
  const QString step =
      kSteps == 65536 ? QStringLiteral("0.3433") : QString::number(22499.5 / (kSteps - 1), 'f', 4);
  const std::pair<const char*, QString> fields[] = {{"txtstartV", QStringLiteral("-11.2499")},
                                                    {"txtendV", QStringLiteral("11.2496")},
                                                    {"txtstep", step}};
  for (const auto& [name, text] : fields) {
    sweep->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
  }
  QObject::connect(sweep, &ui::SweepWindow::runEnded, &app, [&] { app.exit(0); });
  // Window sweeps and bare loops alternate, so that a slow moment of the machine meets both;
  // the round with the median ratio is reported.
  struct Round {
    double wall = 0.0;
    double bare = 0.0;
    double requestsPerStep = 0.0;
  };
  std::vector<Round> rounds;
  const int requestedSteps = kSteps;
  for (int r = 0; r < kRounds; ++r) {
    const std::uint64_t requestsBefore = session.bench().link().requestCount();
    QElapsedTimer timer;
    timer.start();
    sweep->findChild<QPushButton*>(QStringLiteral("cmdPlot"))->click();
    app.exec();
    Round round;
    round.wall = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
    const int rows = sweep->findChild<QListWidget*>(QStringLiteral("List1"))->count() - 1;
    if (std::abs(rows - requestedSteps) > requestedSteps / 50) {  // the step code rounds
      std::fprintf(stderr, "sweep_gui_bench: the sweep listed %d rows, not %d\n", rows,
                   requestedSteps);
      return 1;
    }
    kSteps = rows;
    round.requestsPerStep =
        static_cast<double>(session.bench().link().requestCount() - requestsBefore) / kSteps;
    round.bare = bareLoopSeconds();
    rounds.push_back(round);
  }
  std::sort(rounds.begin(), rounds.end(),
            [](const Round& a, const Round& b) { return a.bare / a.wall < b.bare / b.wall; });
  const Round& median = rounds[rounds.size() / 2];
  std::printf("steps                    %d\n", kSteps);
  std::printf("bare transfers per step  %.3f us\n", median.bare / kSteps * 1e6);
  std::printf("window sweep per step    %.3f us\n", median.wall / kSteps * 1e6);
  std::printf("window's own cost a step %.3f us (target at most 20 us)\n",
              (median.wall - median.bare) / kSteps * 1e6);
  std::printf("latency a request        %u us\n", kLatencyUs);
  std::printf("requests a step          %.3f (the bare loop makes 3)\n", median.requestsPerStep);
  std::printf("bare time / window time  %.1f %% (median of %d rounds:",
              100.0 * median.bare / median.wall, kRounds);
  for (const Round& round : rounds) {
    std::printf(" %.1f", 100.0 * round.bare / round.wall);
  }
  std::printf(")\n");
  if (history) {
    keepRuns(*sweep, 20);
  }
  return 0;
}
