#include "ui/sweeps/strip_chart.h"

#include <QChart>
#include <QColor>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace kv4410::ui {

namespace {

// The points drawn for `n` values (`value(k)` for k < n) from X `x0` on: all of them up to
// kMaxDrawnPoints, beyond that each run of neighbours by its lowest and highest point, in their
// order, which gives the same picture as every point for a fraction of the work.
template <typename Value>
QList<QPointF> drawnPointsOf(std::size_t n, double x0, const Value& value) {
  QList<QPointF> points;
  const auto add = [&](std::size_t k) {
    points.append(QPointF(x0 + static_cast<double>(k), value(k)));
  };
  if (n <= static_cast<std::size_t>(StripChart::kMaxDrawnPoints)) {
    points.reserve(static_cast<qsizetype>(n));
    for (std::size_t k = 0; k < n; ++k) {
      add(k);
    }
    return points;
  }
  const std::size_t buckets = StripChart::kMaxDrawnPoints / 2;
  points.reserve(StripChart::kMaxDrawnPoints);
  for (std::size_t b = 0; b < buckets; ++b) {
    const std::size_t first = b * n / buckets;
    const std::size_t last = (b + 1) * n / buckets;
    std::size_t low = first;
    std::size_t high = first;
    for (std::size_t k = first; k < last; ++k) {
      low = value(k) < value(low) ? k : low;
      high = value(k) > value(high) ? k : high;
    }
    add(std::min(low, high));
    if (low != high) {
      add(std::max(low, high));
    }
  }
  return points;
}

}  // namespace

StripChart::StripChart(const QString& name, QWidget* parent) : QChartView(parent) {
  setObjectName(name);
  setRenderHint(QPainter::Antialiasing);
  setMinimumSize(320, 200);
}

// The chart, its series and axes are built when the view is first shown or drawn into: the
// sweep window may be built before it is shown, and most sessions open it later or never. The
// settings made before that are kept and applied here.
void StripChart::ensureChart() {
  if (trace_ != nullptr) {
    return;
  }
  auto* chart = new QChart();
  chart->legend()->hide();
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->setMargins(QMargins(4, 4, 4, 4));
  trace_ = new QLineSeries(chart);
  trace_->setName(QStringLiteral("Last run"));
  markers_ = new QScatterSeries(chart);
  markers_->setMarkerSize(6.0);
  chart->addSeries(trace_);
  chart->addSeries(markers_);
  xAxis_ = new QValueAxis(chart);
  yAxis_ = new QValueAxis(chart);
  xAxis_->setLabelFormat(QStringLiteral("%g"));
  yAxis_->setLabelFormat(QStringLiteral("%.4g"));
  chart->addAxis(xAxis_, Qt::AlignBottom);
  chart->addAxis(yAxis_, Qt::AlignLeft);
  for (QXYSeries* s : {static_cast<QXYSeries*>(trace_), static_cast<QXYSeries*>(markers_)}) {
    s->attachAxis(xAxis_);
    s->attachAxis(yAxis_);
  }
  markers_->setVisible(handles_);
  for (QLegendMarker* marker : chart->legend()->markers(markers_)) {
    marker->setVisible(false);
  }
  setChart(chart);
  applyXRange();
  applyYRange();
  applyPen();
}

void StripChart::showEvent(QShowEvent* event) {
  ensureChart();
  QChartView::showEvent(event);
}

void StripChart::clear() {
  ensureChart();
  plotted_ = 0;
  trace_->clear();
  markers_->clear();
}

void StripChart::setPointCount(int count) {
  pointCount_ = count;
}

void StripChart::setXStart(double start) {
  xStart_ = start;
  applyXRange();
}

void StripChart::setXEnd(double end) {
  xEnd_ = end;
  applyXRange();
}

void StripChart::applyXRange() {
  if (xAxis_ == nullptr) {
    return;
  }
  // An overlay longer than the trace widens the axis to its last point.
  const double end = std::max(
      xEnd_, overlayPoints_ > 0 ? xStart_ + static_cast<double>(overlayPoints_ - 1) : xEnd_);
  xAxis_->setRange(xStart_, end > xStart_ ? end : xStart_ + 1.0);
}

void StripChart::setUpperLimit(double upper) {
  if (std::isfinite(upper)) {
    upper_ = upper;
    applyYRange();
  }
}

void StripChart::setLowerLimit(double lower) {
  if (std::isfinite(lower)) {
    lower_ = lower;
    applyYRange();
  }
}

void StripChart::applyYRange() {
  if (yAxis_ == nullptr) {
    return;
  }
  // A flat series (limits equal, as for all-zero readings) or limits set in the wrong order
  // still get a visible span around them.
  double low = lower_;
  double high = upper_;
  if (upper_ <= lower_) {
    low = std::min(lower_, upper_);
    high = std::max(lower_, upper_);
    const double pad =
        high - low > 0.0 ? (high - low) * 0.1 : (low == 0.0 ? 1.0 : std::fabs(low) * 0.1);
    low -= pad;
    high += pad;
  }
  // Overlays outside those limits widen them, with 5 % of the new span as room on that side.
  if (overlayFinite_ && (overlayLow_ < low || overlayHigh_ > high)) {
    const double span = std::max(high, overlayHigh_) - std::min(low, overlayLow_);
    low = overlayLow_ < low ? overlayLow_ - span * 0.05 : low;
    high = overlayHigh_ > high ? overlayHigh_ + span * 0.05 : high;
  }
  yAxis_->setRange(low, high);
}

void StripChart::setTraceColour(std::int32_t bgr) {
  colour_ = bgr;
  colourSet_ = true;
  applyPen();
}

void StripChart::setTraceWidth(int width) {
  width_ = width;
  applyPen();
}

void StripChart::applyPen() {
  if (trace_ == nullptr) {
    return;
  }
  QPen pen = trace_->pen();
  if (width_ > 0) {
    pen.setWidth(width_);
  }
  if (colourSet_) {
    const QColor colour(colour_ & 0xFF, (colour_ >> 8) & 0xFF, (colour_ >> 16) & 0xFF);
    pen.setColor(colour);
    markers_->setColor(colour);
    markers_->setBorderColor(colour);
  }
  trace_->setPen(pen);
}

void StripChart::setHandles(bool on) {
  handles_ = on;
  if (markers_ == nullptr) {
    return;
  }
  markers_->setVisible(on);
  showMarkers();
}

// Handles are drawn only while they are on and the points are few enough to be told apart:
// beyond that they would merge into a thick line, and each one is an item of its own to lay out.
void StripChart::showMarkers() {
  if (handles_ && plotted_ <= kMaxHandles) {
    markers_->replace(trace_->points());
  } else if (markers_->count() > 0) {
    markers_->clear();
  }
}

void StripChart::plot(const std::vector<double>& values, int count) {
  const std::size_t n =
      count < 0 ? values.size() : std::min(values.size(), static_cast<std::size_t>(count));
  ensureChart();
  plotted_ = static_cast<int>(n);
  trace_->replace(drawnPointsOf(n, xStart_, [&values](std::size_t k) { return values[k]; }));
  showMarkers();
}

QColor StripChart::overlayColour(int slot) {
  // No blue among them: the sweep's trace is blue and the time run's the theme's light blue.
  static constexpr QRgb kPalette[kOverlayColours] = {
      0xD55E00,  // vermilion
      0x009E73,  // bluish green
      0xCC79A7,  // reddish purple
      0xE69F00,  // orange
      0x000000,  // black
      0x8C564B,  // brown
      0x9467BD,  // violet
      0xBCBD22,  // olive
      0x7F7F7F,  // grey
  };
  const int index = ((slot % kOverlayColours) + kOverlayColours) % kOverlayColours;
  return QColor::fromRgb(kPalette[index]);
}

void StripChart::setOverlays(const std::vector<ChartOverlay>& overlays) {
  ensureChart();
  for (QLineSeries* series : overlays_) {
    chart()->removeSeries(series);
    delete series;
  }
  overlays_.clear();
  overlayPoints_ = 0;
  bool any = false;
  for (const ChartOverlay& overlay : overlays) {
    if (overlay.values == nullptr) {
      continue;
    }
    const std::vector<double>& values = *overlay.values;
    auto* series = new QLineSeries(chart());
    series->setName(overlay.label);
    QPen pen(overlayColour(overlay.colourSlot));
    pen.setWidth(2);
    if (overlay.colourSlot >= kOverlayColours) {
      pen.setStyle(Qt::DashLine);
    }
    series->setPen(pen);
    series->replace(
        drawnPointsOf(values.size(), xStart_, [&values](std::size_t k) { return values[k]; }));
    chart()->addSeries(series);
    series->attachAxis(xAxis_);
    series->attachAxis(yAxis_);
    overlays_.push_back(series);
    overlayPoints_ = std::max(overlayPoints_, values.size());
    for (const double v : values) {
      if (std::isfinite(v)) {
        overlayLow_ = any ? std::min(overlayLow_, v) : v;
        overlayHigh_ = any ? std::max(overlayHigh_, v) : v;
        any = true;
      }
    }
  }
  overlayFinite_ = any;
  chart()->legend()->setVisible(!overlays_.empty());
  applyXRange();
  applyYRange();
}

QColor StripChart::overlaySeriesColour(int index) const {
  return index >= 0 && index < overlayCount()
             ? overlays_[static_cast<std::size_t>(index)]->pen().color()
             : QColor();
}

bool StripChart::legendShown() const {
  return trace_ != nullptr && chart()->legend()->isVisible();
}

void StripChart::beginLive(int planned) {
  ensureChart();
  trace_->clear();
  plotted_ = 0;
  showMarkers();
  const auto runs = static_cast<std::size_t>(kMaxDrawnPoints / 2);
  const auto points = static_cast<std::size_t>(std::max(planned, 0));
  liveBucket_ = points > static_cast<std::size_t>(kMaxDrawnPoints) ? (points + runs - 1) / runs : 1;
  liveDrawn_ = 0;
  livePoints_.clear();
  livePoints_.reserve(static_cast<qsizetype>(std::min<std::size_t>(points, kMaxDrawnPoints)));
}

void StripChart::appendLive(const std::function<double(std::size_t)>& value, std::size_t count) {
  ensureChart();
  const qsizetype drawn = livePoints_.size();
  const auto add = [&](std::size_t k) {
    livePoints_.append(QPointF(xStart_ + static_cast<double>(k), value(k)));
  };
  for (; liveDrawn_ + liveBucket_ <= count; liveDrawn_ += liveBucket_) {
    std::size_t low = liveDrawn_;
    std::size_t high = liveDrawn_;
    for (std::size_t k = liveDrawn_; k < liveDrawn_ + liveBucket_; ++k) {
      low = value(k) < value(low) ? k : low;
      high = value(k) > value(high) ? k : high;
    }
    add(std::min(low, high));
    if (low != high) {
      add(std::max(low, high));
    }
  }
  if (livePoints_.size() > drawn) {
    trace_->replace(livePoints_);
  }
  plotted_ = static_cast<int>(count);
  showMarkers();
}

int StripChart::plottedCount() const {
  return plotted_;
}

int StripChart::drawnPoints() const {
  return trace_ == nullptr ? 0 : static_cast<int>(trace_->count());
}

bool StripChart::saveImage(const QString& path) {
  ensureChart();
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size());
    svg.setViewBox(rect());
    svg.setTitle(objectName());
    QPainter painter;
    if (!painter.begin(&svg)) {
      return false;
    }
    render(&painter);
    return painter.end();
  }
  return grab().save(path, "PNG");
}

void StripChart::mousePressEvent(QMouseEvent* event) {
  if (trace_ != nullptr && event->button() == Qt::LeftButton &&
      chart()->plotArea().contains(event->position())) {
    const QPointF value = chart()->mapToValue(event->position(), trace_);
    emit pointPicked(value.x());
    emit pointClicked(value.x(), value.y());
  }
  QChartView::mousePressEvent(event);
}

void StripChart::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("Save Chart as PNG..."));
  QAction* svg = menu.addAction(QStringLiteral("Save Chart as SVG..."));
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen == nullptr) {
    return;
  }
  const bool asSvg = chosen == svg;
  const QString path = QFileDialog::getSaveFileName(
      this, chosen->text().chopped(3), objectName() + (asSvg ? ".svg" : ".png"),
      asSvg ? QStringLiteral("SVG image (*.svg)") : QStringLiteral("PNG image (*.png)"));
  if (!path.isEmpty() && !saveImage(path)) {
    QMessageBox::warning(this, QStringLiteral("KV4410"),
                         QStringLiteral("The chart could not be written to %1.").arg(path));
  }
}

}  // namespace kv4410::ui
