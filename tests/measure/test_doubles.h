#pragma once
// Test doubles the measure and bench tests share: a clock that jumps to just past each deadline
// instead of waiting, and a reporter that keeps the board's messages to itself.
#include <cmath>
#include <limits>
#include <string_view>

#include "board/board_link.h"
#include "measure/clock.h"

namespace kv4410::measure::testing {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(double start) : t(start) {}
  double t;
  double now() override { return t; }
  void waitUntil(double deadline) override {
    if (t <= deadline) {
      t = std::nextafter(deadline, std::numeric_limits<double>::infinity());
    }
  }
};

class SilentReporter final : public board::Reporter {
 public:
  void noBoard(int) override {}
  void usbError(int, std::string_view) override {}
};

}  // namespace kv4410::measure::testing
