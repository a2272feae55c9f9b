#include "measure/clock.h"

#include <gtest/gtest.h>

namespace kv4410::measure {
namespace {

// A wait never ends early: on return the clock is past the deadline, for a wait that sleeps
// first and for one that is polled only.
TEST(SteadyClock, WaitEndsPastItsDeadline) {
  SteadyClock clock;
  for (const double wait : {0.0, 0.0001, 0.003}) {
    const double deadline = clock.now() + wait;
    clock.waitUntil(deadline);
    EXPECT_GT(clock.now(), deadline) << wait;
  }
  const double before = clock.now();
  clock.waitUntil(before - 1.0);  // a deadline in the past returns at once
  EXPECT_LT(clock.now() - before, 0.5);
}

}  // namespace
}  // namespace kv4410::measure
