#include "measure/run_delays.h"

#include <array>
#include <cstddef>

namespace kv4410::measure {

namespace {

constexpr std::array<float, 6> kCycleSeconds = {0.0001F, 0.1F, 0.2F, 0.3F, 0.4F, 0.5F};

}  // namespace

void RunDelays::chooseCycle(int cycleIndex) {
  if (cycleIndex < 0 || cycleIndex >= static_cast<int>(kCycleSeconds.size())) {
    return;
  }
  cycle = kCycleSeconds[static_cast<std::size_t>(cycleIndex)];
  remainder = cycle;
}

void RunDelays::chooseSample(int cycleIndex, int k) {
  if (k < 0 || k > 9) {
    return;
  }
  chooseCycle(cycleIndex);
  settle = cycle * static_cast<float>(k) / 10.0F;
  remainder = cycle - settle;
}

}  // namespace kv4410::measure
