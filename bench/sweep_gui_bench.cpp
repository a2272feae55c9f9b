// The sweep window's own cost per step: a whole-range sweep (65,536 points, one code a step,
// no delays) started with PLOT and run from the event loop with its live list, chart and
// progress, against a bare loop making the same transfers on the same kind of board in the
// same process. Run offscreen: QT_QPA_PLATFORM=offscreen ./sweep_gui_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>

#include "board/board_factory.h"
#include "board/board_link.h"
#include "board/simulated_board.h"
#include "ui/common/message_sink.h"
#include "ui/common/session.h"
#include "ui/common/window_hub.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/windows.h"

namespace {

using namespace kv4410;

constexpr int kSteps = 65536;

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

double bareLoopSeconds() {
  board::SimulatedBoard simulated;
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
  board::BoardOptions options;
  options.simulate = true;
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
  const std::pair<const char*, const char*> fields[] = {
      {"txtstartV", "-11.2499"}, {"txtendV", "11.2496"}, {"txtstep", "0.3433"}};
  for (const auto& [name, text] : fields) {
    sweep->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
  }
  const double bare = bareLoopSeconds();
  QElapsedTimer timer;
  QObject::connect(sweep, &ui::SweepWindow::runEnded, &app, [&] { app.exit(0); });
  timer.start();
  sweep->findChild<QPushButton*>(QStringLiteral("cmdPlot"))->click();
  app.exec();
  const double wall = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
  const int rows = sweep->findChild<QListWidget*>(QStringLiteral("List1"))->count() - 1;
  if (rows != kSteps) {
    std::fprintf(stderr, "sweep_gui_bench: the sweep listed %d rows, not %d\n", rows, kSteps);
    return 1;
  }
  std::printf("steps                    %d\n", kSteps);
  std::printf("bare transfers per step  %.3f us\n", bare / kSteps * 1e6);
  std::printf("window sweep per step    %.3f us\n", wall / kSteps * 1e6);
  std::printf("window's own cost a step %.3f us (target at most 20 us)\n",
              (wall - bare) / kSteps * 1e6);
  return 0;
}
