#include "ui/sweeps/run_history.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/common/message_sink.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

const QString kKeepKey = QStringLiteral("history/keep");

QString fromStd(const std::string& text) {
  return QString::fromStdString(text);
}

// Min and max as the window shows them: the single precision they were taken in.
QString singleText(double value) {
  return QString::number(value, 'g', 7);
}

// A header field, quoted when it holds a comma or a quote.
QByteArray csvField(const std::string& text, const char* fallback) {
  QByteArray field = text.empty() ? QByteArray(fallback) : QByteArray::fromStdString(text);
  if (field.contains(',') || field.contains('"')) {
    field.replace("\"", "\"\"");
    field = '"' + field + '"';
  }
  return field;
}

}  // namespace

KeptRun keptRunOf(const measure::Run& run, const measure::RunDescription& description,
                  const std::string& range, const std::string& setupJson,
                  const std::string& endTime) {
  KeptRun kept;
  kept.endTime = endTime;
  kept.range = range;
  kept.setupJson = setupJson;
  for (int channel = 0; channel < 4; ++channel) {  // PMU CH SELECT, bits 24..27
    if ((description.channelBits >> (24 + channel)) & 1) {
      kept.channels += (kept.channels.empty() ? "" : ",") + std::to_string(channel);
    }
  }
  kept.values = run.series();
  kept.min = run.min();
  kept.max = run.max();
  kept.yTitle = description.mode == measure::MeasureMode::Current ? "Current (A)" : "Voltage (V)";
  // X from the first two rows. A sweep's extra point on the end code, less than a step after
  // the last regular one, is given one whole step on in the saved file.
  const auto xOf = [&run](std::size_t row) {
    if (const auto* sweep = dynamic_cast<const measure::SweepRun*>(&run)) {
      return sweep->points()[row].forcedVolts;
    }
    return static_cast<const measure::TimeRun&>(run).samples()[row].time;
  };
  const bool isSweep = dynamic_cast<const measure::SweepRun*>(&run) != nullptr;
  kept.kind = isSweep ? kSweepKind : kTimeRunKind;
  kept.xTitle = isSweep ? "Force (V)" : "Time (s)";
  if (run.rows() > 0) {
    kept.xFirst = xOf(0);
  }
  if (run.rows() > 1) {
    kept.xStep = xOf(1) - xOf(0);
  }
  return kept;
}

QByteArray keptRunCsv(const KeptRun& run) {
  QByteArray out;
  out.reserve(static_cast<qsizetype>(run.values.size()) * 24 + 256);
  if (!run.setupJson.empty()) {
    // One line whatever the text holds, so that the table below stays a table.
    QByteArray json = QByteArray::fromStdString(run.setupJson);
    json.replace('\r', ' ').replace('\n', ' ');
    out += "# setup: " + json + '\n';
  }
  out +=
      QStringLiteral("# %1 ended %2, range %3, channels %4, %5 points, min %6, max %7\n")
          .arg(fromStd(run.kind), fromStd(run.endTime), fromStd(run.range), fromStd(run.channels),
               QString::number(run.values.size()), singleText(run.min), singleText(run.max))
          .toUtf8();
  out += csvField(run.xTitle, "x") + ',' + csvField(run.yTitle, "y") + '\n';
  for (std::size_t k = 0; k < run.values.size(); ++k) {
    // X is worked out from the first point and the step: ten digits hide the sum's last bits.
    // The reading is written in the fewest digits that read back as the same double.
    out += QByteArray::number(run.xFirst + static_cast<double>(k) * run.xStep, 'g', 10) + ',' +
           QByteArray::number(run.values[k], 'g', QLocale::FloatingPointShortest) + '\n';
  }
  return out;
}

// ---- the model ---------------------------------------------------------------------------

RunHistoryModel::RunHistoryModel(QObject* parent) : QAbstractTableModel(parent) {
  setObjectName(QStringLiteral("lstRunHistoryModel"));
}

int RunHistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int RunHistoryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunHistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const Entry& entry = entries_[static_cast<std::size_t>(index.row())];
  const KeptRun& run = entry.run;
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      switch (column) {
        case Time:
          return timeText(index.row());
        case Kind:
          return fromStd(run.kind);
        case Range:
          return fromStd(run.range);
        case Channels:
          return fromStd(run.channels);
        case Min:
          return singleText(run.min);
        case Max:
          return singleText(run.max);
        default:
          return {};
      }
    case Qt::CheckStateRole:
      return column == Time ? QVariant(entry.ticked ? Qt::Checked : Qt::Unchecked) : QVariant();
    case Qt::DecorationRole:
      // The colour its overlay is drawn in, so the list doubles as the chart's key.
      return column == Time && entry.ticked ? QVariant(StripChart::overlayColour(entry.slot))
                                            : QVariant();
    case Qt::TextAlignmentRole:
      return column == Min || column == Max ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                            : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
      return column == Kind || column == Range
                 ? QVariant()
                 : QVariant(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    case Qt::ToolTipRole:
      return QStringLiteral(
                 "%1 ended %2: %3 points, %4 from %5 to %6. Tick to draw it on the chart.")
          .arg(fromStd(run.kind), fromStd(run.endTime), QString::number(run.values.size()),
               run.yTitle.empty() ? QStringLiteral("readings") : fromStd(run.yTitle),
               singleText(run.min), singleText(run.max));
    default:
      return {};
  }
}

QVariant RunHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
    return {};
  }
  if (role == Qt::DisplayRole) {
    static const char* const kTitles[ColumnCount] = {"Time",     "Kind", "Range",
                                                     "Channels", "Min",  "Max"};
    return QString::fromLatin1(kTitles[section]);
  }
  if (role == Qt::TextAlignmentRole) {
    return section == Min || section == Max ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                            : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

Qt::ItemFlags RunHistoryModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  return index.column() == Time ? base | Qt::ItemIsUserCheckable : base;
}

bool RunHistoryModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != Time || role != Qt::CheckStateRole) {
    return false;
  }
  setTicked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

void RunHistoryModel::add(KeptRun run) {
  run.values.shrink_to_fit();
  int repeat = 1;
  for (const Entry& entry : entries_) {
    if (entry.run.endTime == run.endTime && entry.run.kind == run.kind) {
      repeat = std::max(repeat, entry.repeat + 1);
    }
  }
  beginInsertRows(QModelIndex(), 0, 0);
  entries_.insert(entries_.begin(), Entry{std::move(run), false, 0, repeat});
  endInsertRows();
  trim();
}

QString RunHistoryModel::timeText(int row) const {
  const Entry& entry = entries_[static_cast<std::size_t>(row)];
  const QString time = fromStd(entry.run.endTime);
  return entry.repeat > 1 ? QStringLiteral("%1 (%2)").arg(time).arg(entry.repeat) : time;
}

void RunHistoryModel::remove(int row) {
  if (row < 0 || row >= rowCount()) {
    return;
  }
  const bool wasTicked = ticked(row);
  beginRemoveRows(QModelIndex(), row, row);
  entries_.erase(entries_.begin() + row);
  endRemoveRows();
  if (wasTicked) {
    emit tickedChanged();
  }
}

void RunHistoryModel::setKeep(int keep) {
  keep_ = std::clamp(keep, 1, kMaxKeep);
  trim();
}

// Drops the oldest unticked run (the lowest row is the oldest) while there are too many; when
// every run is ticked, the oldest one.
void RunHistoryModel::trim() {
  while (rowCount() > keep_) {
    int victim = rowCount() - 1;
    for (int row = rowCount() - 1; row >= 0; --row) {
      if (!ticked(row)) {
        victim = row;
        break;
      }
    }
    remove(victim);
  }
}

void RunHistoryModel::setTicked(int row, bool on) {
  if (row < 0 || row >= rowCount() || ticked(row) == on) {
    return;
  }
  Entry& entry = entries_[static_cast<std::size_t>(row)];
  if (on) {
    int slot = 0;
    const auto taken = [&](int s) {
      return std::any_of(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.ticked && e.slot == s; });
    };
    while (taken(slot)) {
      ++slot;
    }
    entry.slot = slot;
  }
  entry.ticked = on;
  const QModelIndex cell = index(row, Time);
  emit dataChanged(cell, cell, {Qt::CheckStateRole, Qt::DecorationRole});
  emit tickedChanged();
}

// ---- the panel -----------------------------------------------------------------------------

RunHistory::RunHistory(QWidget* parent) : QGroupBox(QStringLiteral("Run History"), parent) {
  setObjectName(QStringLiteral("runHistory"));
  model_ = new RunHistoryModel(this);
  model_->setKeep(QSettings().value(kKeepKey, RunHistoryModel::kDefaultKeep).toInt());

  view_ = new QTreeView(this);
  view_->setObjectName(QStringLiteral("lstRunHistory"));
  view_->setModel(model_);
  view_->setRootIsDecorated(false);
  view_->setUniformRowHeights(true);
  view_->setAlternatingRowColors(true);
  view_->setAllColumnsShowFocus(true);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setIconSize(QSize(10, 10));
  view_->header()->setStretchLastSection(false);
  view_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  view_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view_->setToolTip(
      QStringLiteral("Runs of this session, newest first. Tick a run to draw it "
                     "over the chart of its kind."));

  auto* keepLabel = makeLabel(this, QStringLiteral("lblKeepRuns"), QStringLiteral("Keep"));
  keep_ = new QSpinBox(this);
  keep_->setObjectName(QStringLiteral("spnKeepRuns"));
  keep_->setRange(1, RunHistoryModel::kMaxKeep);
  keep_->setValue(model_->keep());
  keep_->setSuffix(QStringLiteral(" runs"));
  keep_->setToolTip(
      QStringLiteral("How many runs the list keeps; beyond that the oldest "
                     "unticked run is dropped."));
  keepLabel->setBuddy(keep_);

  save_ = makeButton(this, QStringLiteral("cmdHistorySave"), QStringLiteral("Save..."));
  save_->setToolTip(QStringLiteral("Save the selected run as a CSV file"));
  remove_ = makeButton(this, QStringLiteral("cmdHistoryRemove"), QStringLiteral("Remove"));
  remove_->setToolTip(QStringLiteral("Remove the selected run from the list"));
  restore_ = makeButton(this, QStringLiteral("cmdHistoryRestore"), QStringLiteral("Restore Setup"));
  restore_->setToolTip(QStringLiteral("Set the board and the window up as for the selected run"));

  auto* keepRow = new QHBoxLayout();
  keepRow->addWidget(keepLabel);
  keepRow->addWidget(keep_);
  keepRow->addStretch(1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(save_);
  buttons->addWidget(remove_);
  buttons->addWidget(restore_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(view_, 1);
  layout->addLayout(keepRow);
  layout->addLayout(buttons);

  connect(model_, &RunHistoryModel::tickedChanged, this, &RunHistory::overlaysChanged);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &RunHistory::updateButtons);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &RunHistory::fitColumns);
  connect(model_, &QAbstractItemModel::dataChanged, this, &RunHistory::fitColumns);
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &RunHistory::updateButtons);
  // Only the user's own picks count: the view also makes a row current by itself when it takes
  // the focus, and that must not move the window to another tab.
  connect(view_, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { emit runPicked(index.row()); });
  connect(view_, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { emit runPicked(index.row()); });
  connect(keep_, &QSpinBox::valueChanged, this, [this](int keep) {
    model_->setKeep(keep);
    QSettings().setValue(kKeepKey, model_->keep());
  });
  connect(save_, &QPushButton::clicked, this, &RunHistory::saveCurrent);
  connect(remove_, &QPushButton::clicked, this, [this] { model_->remove(currentRow()); });
  connect(restore_, &QPushButton::clicked, this, [this] {
    if (currentRow() >= 0) {
      emit restoreSetupRequested(fromStd(run(currentRow()).setupJson));
    }
  });
  updateButtons();
  fitColumns();
}

// The list is as wide as its columns, so that Min and Max are never cut off.
void RunHistory::fitColumns() {
  int width = 2 * view_->frameWidth() + view_->verticalScrollBar()->sizeHint().width();
  const QAbstractItemView* view = view_;  // where sizeHintForColumn is public
  for (int column = 0; column < RunHistoryModel::ColumnCount; ++column) {
    width += std::max(view->sizeHintForColumn(column), view_->header()->sectionSizeHint(column));
  }
  view_->setMinimumWidth(width);
}

void RunHistory::add(KeptRun run) {
  model_->add(std::move(run));
  updateButtons();
}

int RunHistory::currentRow() const {
  const QModelIndex current = view_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void RunHistory::updateButtons() {
  const int row = currentRow();
  save_->setEnabled(row >= 0);
  remove_->setEnabled(row >= 0);
  restore_->setEnabled(row >= 0 && !run(row).setupJson.empty());
}

std::vector<ChartOverlay> RunHistory::overlays(const std::string& kind) const {
  std::vector<ChartOverlay> out;
  for (int row = 0; row < count(); ++row) {
    const KeptRun& r = run(row);
    if (isTicked(row) && r.kind == kind) {
      out.push_back({model_->timeText(row) + QLatin1Char(' ') + fromStd(r.kind), &r.values,
                     model_->colourSlot(row)});
    }
  }
  return out;
}

std::optional<std::size_t> pointNear(double x, std::size_t count) {
  const auto n = static_cast<double>(count);
  // The comparison also turns NaN away and keeps the conversion below in range.
  if (count == 0 || !(x >= -0.5 && x <= n - 0.5)) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(std::clamp(std::nearbyint(x), 0.0, n - 1.0));
}

int RunHistory::nearestRun(const std::string& kind, double x, double y, double* distance) const {
  int best = -1;
  double bestDistance = 0.0;
  for (int row = 0; row < count(); ++row) {
    const KeptRun& r = run(row);
    // Only runs with a point within half a step of x.
    const std::optional<std::size_t> k = pointNear(x, r.values.size());
    if (!isTicked(row) || r.kind != kind || !k) {
      continue;
    }
    const double d = std::fabs(r.values[*k] - y);
    if (std::isfinite(d) && (best < 0 || d < bestDistance)) {
      best = row;
      bestDistance = d;
    }
  }
  if (distance != nullptr && best >= 0) {
    *distance = bestDistance;
  }
  return best;
}

void RunHistory::pickRun(int row) {
  if (row < 0 || row >= count()) {
    return;
  }
  const QModelIndex index = model_->index(row, RunHistoryModel::Time);
  view_->setCurrentIndex(index);
  view_->scrollTo(index);
  emit runPicked(row);
}

std::optional<QString> RunHistory::saveRun(int row, const QString& path) const {
  if (row < 0 || row >= count()) {
    return QStringLiteral("There is no such run.");
  }
  return saveWhole(path, keptRunCsv(run(row)));
}

void RunHistory::saveCurrent() {
  const int row = currentRow();
  if (row < 0) {
    return;
  }
  const KeptRun& r = run(row);
  const QString stem = r.kind == kSweepKind ? QStringLiteral("sweep") : QStringLiteral("timerun");
  const QString suggested =
      QDir(QStandardPaths::writableLocation(QStandardPaths::HomeLocation))
          .filePath(stem + QLatin1Char('-') + fromStd(r.endTime).remove(QLatin1Char(':')) +
                    QStringLiteral(".csv"));
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save Run as CSV"), suggested,
                                   QStringLiteral("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty()) {
    return;
  }
  if (const auto reason = saveRun(row, path)) {
    const QString text = QStringLiteral("The run could not be saved to %1:\n%2")
                             .arg(QDir::toNativeSeparators(path), *reason);
    if (messages_ != nullptr) {
      messages_->show(MessageIcon::Exclamation, QStringLiteral("Save Run"), text);
    } else {
      QMessageBox::warning(this, QStringLiteral("Save Run"), text);
    }
  }
}

}  // namespace kv4410::ui
