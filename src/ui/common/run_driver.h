#pragma once
// Drives a run that is advanced one step at a time (a sweep, the channel test) from the event
// loop: after each step the window updates, then a precise timer waits for most of the step's
// wait and the clock is polled for the rest, so a 500 ms cycle costs no CPU and the window stays
// live, while the next step still starts within microseconds of its deadline.
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace kv4410::measure {
class Clock;
}

namespace kv4410::ui {

class RunDriver : public QObject {
  Q_OBJECT
 public:
  // One step of the run; returns the seconds to wait before the next step, or nullopt when the
  // run has ended.
  using Step = std::function<std::optional<double>()>;

  RunDriver(measure::Clock& clock, QObject* parent = nullptr);

  // Runs the first step from the event loop as soon as it is back there.
  void start(Step step);
  // No further step is scheduled (the run's own stop decides what its last step does).
  void cancel();
  bool running() const { return running_; }
  // How late the latest step started after its deadline, in seconds: the event loop's work
  // between two steps (painting, the user's input) shows here, not in the step's own time.
  double lastLateness() const { return lastLateness_; }

 signals:
  void stepped();
  void finished();

 private:
  void fire();

  measure::Clock& clock_;
  QTimer timer_;
  Step step_;
  double deadline_ = 0.0;
  double lastLateness_ = 0.0;
  bool running_ = false;
};

}  // namespace kv4410::ui
