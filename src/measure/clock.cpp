#include "measure/clock.h"

#include <chrono>
#include <thread>

namespace kv4410::measure {

namespace {
// Sleeping is accurate to about a millisecond under load; the last stretch is polled.
constexpr double kPollStretch = 0.0015;
}  // namespace

double SteadyClock::now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::waitUntil(double deadline) {
  for (;;) {
    const double left = deadline - now();
    if (left < 0.0) {
      return;
    }
    if (left > kPollStretch) {
      std::this_thread::sleep_for(std::chrono::duration<double>(left - kPollStretch));
    }
  }
}

}  // namespace kv4410::measure
