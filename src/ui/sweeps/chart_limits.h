#pragma once
// The Y limits the sweep window gives its charts, from the single-precision min and max of the
// plotted series. The sweep chart gets 10 % of room: upper = max * 1.1, lower = min * 1.1; the
// time chart gets 0.1 %, lower = min * 1.001 and upper = max * 0.999 while min <= 0, otherwise
// lower = min * 0.999 and upper = max * 1.001. Those limits are kept whenever they enclose every
// point. Where one would clip the series (a positive minimum times 1.1 lies above it, a negative
// maximum times 1.1 below it, a positive maximum times 0.999 below it), that side takes the same
// margin outward instead, so every point stays on the chart.
#include <cmath>

namespace kv4410::ui {

struct YLimits {
  double lower = 0.0;
  double upper = 0.0;
};

namespace detail {
// `margin` of the value's magnitude, taken away from the series.
inline YLimits outward(float min, float max, double margin) {
  const double low = min;
  const double high = max;
  return {low - std::fabs(low) * margin, high + std::fabs(high) * margin};
}
}  // namespace detail

inline YLimits sweepYLimits(float min, float max) {
  const YLimits usual{static_cast<double>(min) * 1.1, static_cast<double>(max) * 1.1};
  const YLimits wide = detail::outward(min, max, 0.1);
  return {usual.lower <= min ? usual.lower : wide.lower,
          usual.upper >= max ? usual.upper : wide.upper};
}

inline YLimits timeRunYLimits(float min, float max) {
  const double low = min;
  const double high = max;
  const YLimits usual =
      min <= 0.0F ? YLimits{low * 1.001, high * 0.999} : YLimits{low * 0.999, high * 1.001};
  const YLimits wide = detail::outward(min, max, 0.001);
  return {usual.lower <= low ? usual.lower : wide.lower,
          usual.upper >= high ? usual.upper : wide.upper};
}

}  // namespace kv4410::ui
