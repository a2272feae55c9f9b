#pragma once
// One tab of the sweep window: its strip chart, PLOT, the FORCE VOLTAGE frame (filled by the
// window), the result list with a status line below it, the picked point's X and Y, Min and
// Max, COPY DATA TO CLIPBOARD and SAVE CSV.... The window has two of them, the voltage sweep's
// and the time run's, which differ only in their names, their force fields and their charts'
// X axes.
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/sweeps/chart_limits.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kv4410::ui {

class StripChart;

// The object names of a tab's controls.
struct RunTabNames {
  QString tab, chart, plot, force, list, status, copy, save;
  QString xyFrame, xyCaption, x, y;
  QString minMaxFrame, min, max;
};

// A read-only field of the sweep window in the fixed font.
QLineEdit* runDisplay(QWidget* parent, const QString& name, int width);

class RunTab : public QWidget {
  Q_OBJECT
 public:
  // `fillForce` lays out the window's force fields in the FORCE VOLTAGE frame; it runs while
  // the tab is built, so the fields take their place in the focus order. The chart's X axis
  // starts at `xStart`; `blueTrace`: its trace is drawn blue and wide.
  RunTab(const RunTabNames& names, double xStart, bool blueTrace,
         const std::function<void(QGroupBox*)>& fillForce, QWidget* parent);

  StripChart* chart() const { return chart_; }
  QPushButton* plotButton() const { return plot_; }
  QListWidget* list() const { return list_; }
  QLabel* status() const { return status_; }
  QLineEdit* x() const { return x_; }
  QLineEdit* y() const { return y_; }
  QPushButton* copyButton() const { return copy_; }
  QPushButton* saveButton() const { return save_; }

  // Clears the result list and the picked point, Min and Max, for a new run.
  void clearResults();
  // Sets the chart up, cleared, for a run's series of `points` points (the X axis, the trace);
  // the Y limits follow with limitsTo().
  void prepareChart(int points);
  void limitsTo(const YLimits& limits);
  // The run's end: Min and Max shown (single precision) and the series plotted over `points`.
  void plotFinal(const std::vector<double>& series, float low, float high, const YLimits& limits,
                 int points);

 private:
  StripChart* chart_ = nullptr;
  QPushButton* plot_ = nullptr;
  QListWidget* list_ = nullptr;
  QLabel* status_ = nullptr;
  QLineEdit* x_ = nullptr;
  QLineEdit* y_ = nullptr;
  QLineEdit* min_ = nullptr;
  QLineEdit* max_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* save_ = nullptr;
  double xStart_;
  bool blueTrace_;
};

}  // namespace kv4410::ui
