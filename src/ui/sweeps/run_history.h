#pragma once
// The runs of this session kept for comparison: a list beside the sweep window's charts with
// one row per ended run (time, kind, current range, channels, min, max). A ticked row is drawn
// over the chart of its kind; a row can be saved as CSV, removed, or have its setup restored.
// At most "Keep" runs are kept (1..100, remembered between sessions); past that the oldest
// unticked run goes first.
#include <QAbstractTableModel>
#include <QGroupBox>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "measure/sweep_engine.h"
#include "ui/sweeps/strip_chart.h"

class QPushButton;
class QSpinBox;
class QTreeView;

namespace kv4410::ui {

class MessageSink;

// One ended run as the history keeps it: its readings as one array of doubles (8 bytes a point,
// 512 KiB for a whole-range sweep of 65,536 points) and the few texts that describe it.
struct KeptRun {
  std::string endTime;   // local time the run ended, "10:15:02"
  std::string kind;      // kSweepKind or kTimeRunKind
  std::string range;     // the current range as its list shows it, "±2mA"
  std::string channels;  // "0,1,2,3"
  double min = 0.0;
  double max = 0.0;
  std::vector<double> values;  // the measured series, one value a point
  // The X of point k in the saved file is xFirst + k * xStep (forced volts, seconds).
  double xFirst = 0.0;
  double xStep = 1.0;
  std::string xTitle;     // "Force (V)"
  std::string yTitle;     // "Current (A)"
  std::string setupJson;  // the setup the run was made with, one line of JSON; may be empty
};

inline constexpr const char* kSweepKind = "Sweep";
inline constexpr const char* kTimeRunKind = "Time run";

// The record of an ended sweep or time run: its series, min and max, X from the first point
// and the step (forced volts, seconds) and the axis titles from the run; the channels and the
// kind from `description`. `range` is the current range as its list shows it, `setupJson` the
// setup as one line of JSON (or empty), `endTime` the local time, "10:15:02".
KeptRun keptRunOf(const measure::Run& run, const measure::RunDescription& description,
                  const std::string& range, const std::string& setupJson,
                  const std::string& endTime);

// The run as a CSV file: "# setup: <json>" when it has a setup, a "# " line describing it, the
// header "<X title>,<Y title>" and one "x,y" row per point.
QByteArray keptRunCsv(const KeptRun& run);

// The index of the point nearest `x` among `count` points at 0, 1, 2, ...; none when `x` lies
// more than half a step outside them or is not a number. Ties round to even.
std::optional<std::size_t> pointNear(double x, std::size_t count);

// The kept runs, newest first, with their ticks; column 0 holds the tick.
class RunHistoryModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { Time, Kind, Range, Channels, Min, Max, ColumnCount };
  static constexpr int kDefaultKeep = 20;
  static constexpr int kMaxKeep = 100;

  explicit RunHistoryModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // Puts the run at the top (unticked) and drops runs beyond the limit.
  void add(KeptRun run);
  void remove(int row);
  // The limit, clamped to 1..kMaxKeep; lowering it drops runs at once.
  void setKeep(int keep);
  int keep() const { return keep_; }

  const KeptRun& run(int row) const { return entries_[static_cast<std::size_t>(row)].run; }
  bool ticked(int row) const { return entries_[static_cast<std::size_t>(row)].ticked; }
  void setTicked(int row, bool ticked);
  // The overlay colour slot of a ticked run: the lowest one no other ticked run holds (of
  // either kind, so that no two ticks in the list share a colour), taken when it was ticked, so
  // that ticking another run recolours none.
  int colourSlot(int row) const { return entries_[static_cast<std::size_t>(row)].slot; }
  // The end time as the list and the chart's legend tell the run: "10:15:02", and "10:15:02 (2)"
  // for the second kept run of its kind that ended in the same second.
  QString timeText(int row) const;

 signals:
  // The set of ticked runs changed (a tick, or a ticked run removed or dropped).
  void tickedChanged();

 private:
  struct Entry {
    KeptRun run;
    bool ticked = false;
    int slot = 0;
    int repeat = 1;  // the how-manieth kept run of its kind that ended in its second
  };
  void trim();
  std::vector<Entry> entries_;
  int keep_ = kDefaultKeep;
};

class RunHistory : public QGroupBox {
  Q_OBJECT
 public:
  explicit RunHistory(QWidget* parent = nullptr);

  // Keeps a run that has just ended.
  void add(KeptRun run);
  int count() const { return model_->rowCount(); }
  const KeptRun& run(int row) const { return model_->run(row); }
  bool isTicked(int row) const { return model_->ticked(row); }
  void setTicked(int row, bool ticked) { model_->setTicked(row, ticked); }
  RunHistoryModel* model() const { return model_; }

  // The ticked runs of one kind, for that kind's chart.
  std::vector<ChartOverlay> overlays(const std::string& kind) const;
  // The ticked run of `kind` whose value at the index nearest to `x` lies closest to `y`, or -1
  // when none has a point there. `x` counts points from a run's first point (the chart's X less
  // its xStart()). `distance`, when given, receives |value - y| of the run found.
  int nearestRun(const std::string& kind, double x, double y, double* distance = nullptr) const;
  // Makes the row current and emits runPicked.
  void pickRun(int row);
  // Writes the run as CSV; on failure the reason, and the file that was there is kept.
  std::optional<QString> saveRun(int row, const QString& path) const;
  // Where a failed save is reported; without one, a message box.
  void setMessageSink(MessageSink* sink) { messages_ = sink; }

 signals:
  void overlaysChanged();
  void restoreSetupRequested(const QString& json);
  // The user picked a run: clicked its row, pressed Enter on it, or clicked near it on a chart
  // (through pickRun).
  void runPicked(int row);

 private:
  int currentRow() const;
  void updateButtons();
  void fitColumns();
  void saveCurrent();

  RunHistoryModel* model_ = nullptr;
  QTreeView* view_ = nullptr;
  QSpinBox* keep_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* restore_ = nullptr;
  MessageSink* messages_ = nullptr;
};

}  // namespace kv4410::ui
