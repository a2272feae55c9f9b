// The sweep engine's own cost per step on the simulated board with no latency: a whole-range
// sweep (65,536 points, one code a step, no delays) run by the engine the way kv4410ctl runs
// it, against a bare loop that makes the same transfers (one FIN word, requests 232 and 233)
// without the engine. The difference is what the engine adds to every step.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "board/board_link.h"
#include "board/simulated_board.h"
#include "measure/clock.h"
#include "measure/sweep_engine.h"

namespace {

using namespace kv4410;

class QuietReporter final : public board::Reporter {
 public:
  void noBoard(int) override {}
  void usbError(int, std::string_view) override {}
};

constexpr int kSteps = 65536;
constexpr int kRounds = 5;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double bareLoop() {
  board::SimulatedBoard simulated;
  QuietReporter reporter;
  board::BoardLink link(simulated, reporter);
  link.LoadUSB("/bench/KV4410SPI.hex");
  const auto start = std::chrono::steady_clock::now();
  for (int code = 0; code < kSteps; ++code) {
    link.SPIWrite(29, 0x0FCD0000 | code);
    volatile std::uint16_t a = link.readAdcNow();
    (void)a;
  }
  return seconds(start);
}

double engineSweep(std::size_t& points) {
  board::SimulatedBoard simulated;
  QuietReporter reporter;
  board::BoardLink link(simulated, reporter);
  link.LoadUSB("/bench/KV4410SPI.hex");
  board::LinkWordSender sender(link);
  measure::SteadyClock clock;
  StoredWords words{0x003FE4A0, 0x0021B300, 0, 0, 0, 0};
  ConversionValues conversion;
  measure::SweepState sweep;
  sweep.sweepChanBits = 0x0F000000;
  // Offset code 0xA492 puts code 0 at -11.24992 V and code 65535 at 11.24966 V; 0.3433 mV is
  // one code.
  measure::SweepRun run({link, sender, words, conversion, sweep, clock}, {5.0F, 3},
                        {-11.2499, 11.2496, 0.3433});
  const auto start = std::chrono::steady_clock::now();
  while (const auto wait = run.advance()) {
    clock.waitUntil(clock.now() + *wait);
  }
  points = run.points().size();
  return seconds(start);
}

}  // namespace

int main() {
  double bare = 1e9;
  double engine = 1e9;
  std::size_t points = 0;
  for (int round = 0; round < kRounds; ++round) {
    bare = std::min(bare, bareLoop());
    engine = std::min(engine, engineSweep(points));
  }
  if (points != static_cast<std::size_t>(kSteps)) {
    std::fprintf(stderr, "sweep_step_bench: the sweep made %zu points, not %d\n", points, kSteps);
    return 1;
  }
  const double perStepBare = bare / kSteps * 1e6;
  const double perStepEngine = engine / kSteps * 1e6;
  std::printf("steps per run            %d (best of %d runs)\n", kSteps, kRounds);
  std::printf("bare transfers per step  %.3f us\n", perStepBare);
  std::printf("engine sweep per step    %.3f us\n", perStepEngine);
  std::printf("engine's own cost a step %.3f us (target at most 5 us)\n",
              perStepEngine - perStepBare);
  return 0;
}
