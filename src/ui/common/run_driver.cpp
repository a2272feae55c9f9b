#include "ui/common/run_driver.h"

#include <algorithm>
#include <cmath>

#include "measure/clock.h"

namespace kv4410::ui {

namespace {
// The timer is set to end this long before the deadline; the rest is polled.
constexpr double kPollMargin = 0.0015;
}  // namespace

RunDriver::RunDriver(measure::Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &RunDriver::fire);
}

void RunDriver::start(Step step) {
  step_ = std::move(step);
  running_ = true;
  deadline_ = clock_.now();
  lastLateness_ = 0.0;
  timer_.start(0);
}

void RunDriver::cancel() {
  timer_.stop();
  if (running_) {
    running_ = false;
    emit finished();
  }
}

void RunDriver::fire() {
  if (!running_) {
    return;
  }
  lastLateness_ = std::max(0.0, clock_.now() - deadline_);
  clock_.waitUntil(deadline_);
  const std::optional<double> wait = step_();
  emit stepped();
  if (!running_) {
    return;  // cancelled from a slot of stepped()
  }
  if (!wait) {
    running_ = false;
    emit finished();
    return;
  }
  deadline_ = clock_.now() + *wait;
  const double early = *wait - kPollMargin;
  timer_.start(early > 0.0 ? static_cast<int>(std::floor(early * 1000.0)) : 0);
}

}  // namespace kv4410::ui
