// Request throughput of the simulated board through the board link: one serial-word write and
// one ADC reading (requests 221, 232, 233) per iteration, as a sweep step does.
#include <benchmark/benchmark.h>

#include <string>

#include "board/board_link.h"
#include "board/simulated_board.h"

namespace {

class QuietReporter : public kv4410::board::Reporter {
 public:
  void noBoard(int) override {}
  void usbError(int, std::string_view) override {}
};

void runSweepSteps(benchmark::State& state, const kv4410::board::SimulationOptions& options) {
  kv4410::board::SimulatedBoard board(options);
  QuietReporter reporter;
  kv4410::board::BoardLink link(board, reporter);
  link.LoadUSB("/bench/KV4410SPI.hex");
  link.SPIWrite(29, 0x003FE4A0);
  link.SPIWrite(29, 0x0121B300);
  std::int32_t code = 0;
  for (auto _ : state) {
    link.SPIWrite(29, 0x01CD0000 | code);
    benchmark::DoNotOptimize(link.readAdcNow());
    code = (code + 97) & 0xFFFF;
  }
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  if (link.failedRequests() != 0) {
    state.SkipWithError("a request failed");
  }
}

void BM_SimulatedSweepStep(benchmark::State& state) {
  runSweepSteps(state, {});
}
BENCHMARK(BM_SimulatedSweepStep);

void BM_SimulatedSweepStepWithNoise(benchmark::State& state) {
  kv4410::board::SimulationOptions options;
  options.noiseLsb = 2.0;
  runSweepSteps(state, options);
}
BENCHMARK(BM_SimulatedSweepStepWithNoise);

// With the latency option standing in for a USB round trip of 125 us per request.
void BM_SimulatedSweepStepWithLatency(benchmark::State& state) {
  kv4410::board::SimulationOptions options;
  options.latencyUs = 125;
  runSweepSteps(state, options);
}
BENCHMARK(BM_SimulatedSweepStepWithLatency)->UseRealTime();

}  // namespace
