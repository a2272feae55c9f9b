#pragma once
// The clock that runs and their drivers wait on. A run never waits a long time itself: it says
// how long to wait before its next step, and the driver (the GUI's event loop, the CLI's loop,
// a test's fake clock) does the waiting. Only waits shorter than kInlineWaitLimit are waited
// inline, where returning to an event loop would cost more than the wait.
namespace kv4410::measure {

// Waits below this many seconds are waited inside the step (by polling), not by the driver.
inline constexpr double kInlineWaitLimit = 0.002;

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since an arbitrary fixed point, monotonic.
  virtual double now() = 0;
  // Returns once now() is past `deadline` (strictly greater), as soon after it as it can.
  virtual void waitUntil(double deadline) = 0;
};

// The machine's steady clock. waitUntil sleeps until shortly before the deadline, then polls,
// so a long wait costs no CPU and still ends within microseconds of its deadline.
class SteadyClock final : public Clock {
 public:
  double now() override;
  void waitUntil(double deadline) override;
};

}  // namespace kv4410::measure
