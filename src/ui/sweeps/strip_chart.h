#pragma once
// The strip chart of the sweep window, on Qt Charts: one series drawn from an array of doubles
// against a numbered X axis, Y limits set by the window, optional point handles, and the
// position of a point the user clicks. Earlier runs can be laid over the trace, each in a colour
// of its own and named in a legend. Its context menu saves the chart as PNG or SVG.
#include <QChartView>
#include <QColor>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace kv4410::ui {

// An earlier run drawn over the trace: its values at the same numbered X as the trace's points
// (value k at xStart() + k). `values` is read while setOverlays() runs and not kept.
struct ChartOverlay {
  QString label;  // its legend entry, "10:15:02 Sweep"
  const std::vector<double>* values = nullptr;
  int colourSlot = 0;  // overlayColour(colourSlot)
};

class StripChart : public QChartView {
  Q_OBJECT
 public:
  explicit StripChart(const QString& name, QWidget* parent = nullptr);

  // Removes the drawn series.
  void clear();
  // Number of points of the next plot and the X range: point k is drawn at xStart + k.
  void setPointCount(int count);
  void setXStart(double start);
  void setXEnd(double end);
  // The Y limits; the last value set wins. A limit that is not finite is ignored.
  void setUpperLimit(double upper);
  void setLowerLimit(double lower);
  // Trace colour as a 24-bit blue-green-red value (0xFF0000 is blue) and the trace width.
  void setTraceColour(std::int32_t bgr);
  void setTraceWidth(int width);
  // Point handles (a marker on every point, up to kMaxHandles points) on or off.
  static constexpr int kMaxHandles = 1000;
  // Series longer than this are drawn by the extremes of runs of neighbouring points.
  static constexpr int kMaxDrawnPoints = 2048;
  void setHandles(bool on);
  // Draws the series from the first `count` values (all of them when count < 0).
  void plot(const std::vector<double>& values, int count = -1);
  // Live drawing while a run measures: beginLive() clears the trace for a run of `planned`
  // points; appendLive() is given the series so far (`value(k)` for k < count) and reads only
  // the values it has not drawn yet. The trace takes the drawn points in one replacement: the
  // series' own append lays the whole trace out again for every point it adds. Beyond
  // kMaxDrawnPoints planned points each complete run of neighbours is drawn by its lowest and
  // highest point, as plot() draws them; the run's final plot() draws every point.
  void beginLive(int planned);
  void appendLive(const std::function<double(std::size_t)>& value, std::size_t count);

  // Draws these runs over the trace, replacing the ones drawn before; an empty list removes
  // them. The legend is shown while there are any, and the axes widen to show all of them.
  void setOverlays(const std::vector<ChartOverlay>& overlays);
  int overlayCount() const { return static_cast<int>(overlays_.size()); }
  // The pen colour of overlay `index` as drawn, and whether the legend is on.
  QColor overlaySeriesColour(int index) const;
  bool legendShown() const;
  // The colours overlays take in turn: well apart from each other and from the blue live traces.
  // Slots beyond the palette reuse its colours with a dashed line.
  static constexpr int kOverlayColours = 9;
  static QColor overlayColour(int slot);

  bool handles() const { return handles_; }
  int pointCount() const { return pointCount_; }
  double xStart() const { return xStart_; }
  double xEnd() const { return xEnd_; }
  double lowerLimit() const { return lower_; }
  double upperLimit() const { return upper_; }
  int plottedCount() const;
  // The points of the drawn trace (after drawing runs of neighbours by their extremes).
  int drawnPoints() const;
  std::int32_t traceColour() const { return colour_; }

  // Writes the chart as PNG or SVG (by the file's ending); false when it cannot be written.
  bool saveImage(const QString& path);

 signals:
  // The user clicked the plot area at this X position (axis units).
  void pointPicked(double x);
  // The same click with the Y position too, for telling which drawn run it is nearest to.
  void pointClicked(double x, double y);

 protected:
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ensureChart();
  void applyXRange();
  void applyYRange();
  void applyPen();

  QLineSeries* trace_ = nullptr;
  std::vector<QLineSeries*> overlays_;
  double overlayLow_ = 0.0;  // the overlays' extremes, for the Y range
  double overlayHigh_ = 0.0;
  bool overlayFinite_ = false;     // some overlay has a finite value
  std::size_t overlayPoints_ = 0;  // the longest overlay, for the X range
  void showMarkers();
  QScatterSeries* markers_ = nullptr;
  QValueAxis* xAxis_ = nullptr;
  QValueAxis* yAxis_ = nullptr;
  bool handles_ = false;
  int plotted_ = 0;  // values in the last plot
  int pointCount_ = 0;
  double xStart_ = 0.0;
  double xEnd_ = 1.0;
  double lower_ = 0.0;
  double upper_ = 1.0;
  std::int32_t colour_ = 0;
  bool colourSet_ = false;      // until set, the chart theme's colour
  int width_ = 0;               // 0: the series' own pen width
  std::size_t liveBucket_ = 1;  // values per run of neighbours while drawing live
  std::size_t liveDrawn_ = 0;   // values drawn live so far
  QList<QPointF> livePoints_;   // the points they gave, as the trace shows them
};

}  // namespace kv4410::ui
