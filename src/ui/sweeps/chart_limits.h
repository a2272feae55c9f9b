#pragma once
// The Y limits the sweep window gives its charts, from the single-precision min and max of the
// plotted series. The sweep chart gets 10 % of room: upper = max * 1.1, lower = min * 1.1
// (also for a positive min, which then lies below the lower limit, as the instrument has always
// drawn it). The time chart gets 0.1 %, on the side that keeps a positive series inside.
namespace kv4410::ui {

struct YLimits {
  double lower = 0.0;
  double upper = 0.0;
};

inline YLimits sweepYLimits(float min, float max) {
  return {static_cast<double>(min) * 1.1, static_cast<double>(max) * 1.1};
}

inline YLimits timeRunYLimits(float min, float max) {
  const double low = min;
  const double high = max;
  return min <= 0.0F ? YLimits{low * 1.001, high * 0.999} : YLimits{low * 0.999, high * 1.001};
}

}  // namespace kv4410::ui
