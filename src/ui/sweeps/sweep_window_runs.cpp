// The sweep window's runs: PLOT with its checks and preparation, the live list, chart and
// progress while the engine is advanced from the event loop, the final plots, point picking and
// the saved lists.
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <algorithm>
#include <cmath>

#include "board/board_link.h"
#include "device/conversions.h"
#include "device/text_format.h"
#include "measure/run_csv.h"
#include "measure/sweep_engine.h"
#include "ui/common/entry_checks.h"
#include "ui/common/message_sink.h"
#include "ui/common/run_driver.h"
#include "ui/common/selector.h"
#include "ui/common/session.h"
#include "ui/common/setup_actions.h"
#include "ui/common/widgets.h"
#include "ui/sweeps/chart_limits.h"
#include "ui/sweeps/run_history.h"
#include "ui/sweeps/run_tab.h"
#include "ui/sweeps/strip_chart.h"
#include "ui/sweeps/sweep_window.h"

namespace kv4410::ui {

namespace {

// Live redraws of a chart during a run: at most about 20 a second, and at least one a second.
constexpr qint64 kRedrawIntervalMs = 50;
constexpr qint64 kLongestRedrawIntervalMs = 1000;
// Redrawing (the list, the chart's painting) may take at most this share of a run's time: on a
// slow board, where a step takes long, the window redraws less often than 20 times a second.
constexpr double kDrawShare = 0.02;
// A step that starts later than this after its deadline is late because of painting; the
// painting after a redraw is looked for in at most this many steps.
constexpr double kOnTime = 0.0002;
constexpr int kMaxSettleSteps = 8;
constexpr int kTimeChartPoints = 100;

// Rows whose reading failed on the board keep their text (the clipboard takes it as it is) but
// stand out in the list, with the status in their tooltip. List line 0 is the header; line i
// holds row i - 1.
void markFailedRows(const measure::Run& run, QListWidget& list, int fromLine) {
  const std::vector<int>& statuses = run.rowStatuses();
  for (int line = std::max(fromLine, 1); line < list.count(); ++line) {
    const auto row = static_cast<std::size_t>(line - 1);
    if (row >= statuses.size() || statuses[row] == 0) {
      continue;
    }
    QListWidgetItem* item = list.item(line);
    item->setForeground(QColor(0xB0, 0x00, 0x00));
    item->setBackground(QColor(0xFF, 0xE4, 0xE1));
    const auto reason = board::usbErrorText(statuses[row]);
    item->setToolTip(
        QStringLiteral("This reading failed on the board: %1")
            .arg(reason ? qtext(*reason) : QStringLiteral("status %1").arg(statuses[row])));
  }
}

QElapsedTimer& monotonic() {
  static QElapsedTimer timer;
  if (!timer.isValid()) {
    timer.start();
  }
  return timer;
}

qint64 monotonicMs() {
  return monotonic().elapsed();
}

}  // namespace

bool SweepWindow::running() const {
  return driver_->running();
}

float SweepWindow::chosenReference() const {
  float vref = session_.conversion().vref;
  if (optRef_[0]->isChecked()) {
    vref = 5.0F;
  }
  if (optRef_[1]->isChecked()) {
    vref = 2.5F;
  }
  return vref;
}

void SweepWindow::plotSweep() {
  if (running()) {
    return;
  }
  // PLOT checks its fields as Enter does before anything is sent.
  measure::SweepRequest request;
  const std::array<std::pair<QLineEdit*, double*>, 3> fields = {
      {{txtstartV_, &request.startVolts},
       {txtendV_, &request.endVolts},
       {txtstep_, &request.stepMillivolts}}};
  for (const auto& [field, value] : fields) {
    const std::optional<double> parsed = parseDecimal(field->text().toStdString());
    if (!parsed) {
      rejectEntry(field, session_.messages(), kNotANumber);
      return;
    }
    *value = *parsed;
  }
  if (const auto refusal = measure::checkSweepFields(request)) {
    rejectEntry(fields[static_cast<std::size_t>(refusal->field)].first, session_.messages(),
                qtext(refusal->message));
    return;
  }
  if (!session_.boardFreeFor(Session::RunKind::Sweep)) {
    return;
  }
  // PLOT takes the sweep's channel boxes again: their channels replace the PMU word's.
  const float vref = chosenReference();
  const std::string setup = session_.setupActions().setupJsonLine();
  if (!session_.report(session_.bench().startSweep(request, vref))) {
    return;
  }
  sweepSetupJson_ = setup;
  sweepTab_->clearResults();
  sweepDescription_ = describeRun("Voltage sweep", vref);
  startRun(session_.bench().sweepRun(), sweepTab_);
}

void SweepWindow::plotTimeRun() {
  if (running()) {
    return;
  }
  const std::optional<double> force = parseDecimal(txtForceV_->text().toStdString());
  if (!force) {
    rejectEntry(txtForceV_, session_.messages(), kNotANumber);
    return;
  }
  if (const auto refusal = measure::checkForceField(*force)) {
    rejectEntry(txtForceV_, session_.messages(), qtext(refusal->message));
    return;
  }
  if (!session_.boardFreeFor(Session::RunKind::TimeRun)) {
    return;
  }
  const float vref = chosenReference();
  const std::string setup = session_.setupActions().setupJsonLine();
  if (!session_.report(session_.bench().startTimeRun(*force, vref))) {
    return;
  }
  timeSetupJson_ = setup;
  timeTab_->clearResults();
  timeDescription_ = describeRun("Measure versus time", vref);
  startRun(session_.bench().timeRun(), timeTab_);
}

measure::RunDescription SweepWindow::describeRun(const char* kind, float vref) const {
  const measure::SweepState& sweep = session_.bench().sweepState();
  return {kind,
          "",
          vref,
          0,
          static_cast<int>(session_.bench().currentRange().value()),
          sweep.measureMode,
          sweep.sweepChanBits,
          sweep.delays};
}

void SweepWindow::startRun(const measure::Run* run, RunTab* tab) {
  active_ = run;
  activeTab_ = tab;
  linesShown_ = 0;
  liveDrawn_ = 0;
  lastDrawMs_ = monotonicMs() - kRedrawIntervalMs;  // the first row shows at once
  drawIntervalMs_ = kRedrawIntervalMs;
  drawCostNs_.reset();
  tab->status()->setText(QStringLiteral("Running..."));
  prgRun_->setRange(0, 1);
  prgRun_->setValue(0);
  setRunning(true);
  session_.holdSerialWord(true);
  const QDateTime started = QDateTime::currentDateTime();
  (run == lastSweep() ? sweepDescription_ : timeDescription_).dateTime =
      started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
  driver_->start([this] { return session_.bench().advanceRun(); });
}

void SweepWindow::showProgress(bool now) {
  if (active_ == nullptr) {
    return;
  }
  // The list, the fields, the progress and the chart follow the run up to 20 times a second,
  // and their redraws take at most kDrawShare of the run's time. A redraw costs its own time
  // here and the painting that the event loop does in the next steps' time, which shows as
  // their lateness until a step starts on time again; the next redraw waits in proportion. A
  // step costs the window nothing but this look at the clock.
  if (drawCostNs_) {
    const double lateness = driver_->lastLateness();
    *drawCostNs_ += lateness * 1e9;
    if (lateness < kOnTime || ++drawSettleSteps_ >= kMaxSettleSteps) {
      drawIntervalMs_ = std::clamp(static_cast<qint64>(*drawCostNs_ / kDrawShare / 1e6),
                                   kRedrawIntervalMs, kLongestRedrawIntervalMs);
      drawCostNs_.reset();
    }
  }
  const qint64 nowMs = monotonicMs();
  if (!now && nowMs - lastDrawMs_ < drawIntervalMs_) {
    return;
  }
  lastDrawMs_ = nowMs;
  const qint64 drawStartNs = monotonic().nsecsElapsed();
  session_.flushSerialWord();
  if (active_->state() == measure::Run::State::Refused) {
    return;  // READ, WRITE and the code fields keep what they showed
  }
  const std::vector<std::string>& lines = active_->lines();
  if (static_cast<std::size_t>(linesShown_) < lines.size()) {
    QStringList added;
    for (std::size_t i = static_cast<std::size_t>(linesShown_); i < lines.size(); ++i) {
      added << QString::fromStdString(lines[i]);
    }
    activeTab_->list()->addItems(added);
    markFailedRows(*active_, *activeTab_->list(), linesShown_);
    linesShown_ = static_cast<int>(lines.size());
  }
  lblREADSPI_->setText(hexText(active_->lastAdcCode(), 1));
  Text1_->setText(hexText(active_->writeWord(), 1));
  if (active_ == lastSweep()) {
    txtstart_->setText(hexText(lastSweep()->startCode(), 1));
    txtend_->setText(hexText(lastSweep()->endCode(), 1));
    txtstepcode_->setText(hexText(lastSweep()->stepCode(), 1));
  } else {
    txtForceC_->setText(hexText(lastTimeRun()->forceCode(), 1));
  }
  const auto planned = static_cast<int>(std::max<std::size_t>(active_->stepsPlanned(), 1));
  prgRun_->setRange(0, planned);
  prgRun_->setValue(static_cast<int>(std::min<std::size_t>(active_->stepsDone(), planned)));
  if (!now) {
    drawLive();
    drawCostNs_ = static_cast<double>(monotonic().nsecsElapsed() - drawStartNs);
    drawSettleSteps_ = 0;
  }
}

// The chart during a run: set up once when the first rows arrive, then each redraw adds the
// rows measured since the last one and widens the Y limits to them; min and max are followed
// row by row, so nothing here walks the rows measured before.
void SweepWindow::drawLive() {
  const measure::Run& run = *active_;
  const std::size_t rows = run.rows();
  if (rows == 0) {
    return;
  }
  const bool isSweep = active_ == lastSweep();
  if (liveDrawn_ == 0) {
    activeTab_->prepareChart(isSweep ? static_cast<int>(std::max(run.stepsPlanned(), rows))
                                     : kTimeChartPoints);
    activeTab_->chart()->beginLive(activeTab_->chart()->pointCount());
    liveLow_ = toSingle(run.measuredAt(0));
    liveHigh_ = liveLow_;
  }
  for (std::size_t row = liveDrawn_; row < rows; ++row) {
    const float value = toSingle(run.measuredAt(row));
    liveLow_ = std::min(liveLow_, value);
    liveHigh_ = std::max(liveHigh_, value);
  }
  liveDrawn_ = rows;
  activeTab_->limitsTo(isSweep ? sweepYLimits(liveLow_, liveHigh_)
                               : timeRunYLimits(liveLow_, liveHigh_));
  activeTab_->chart()->appendLive([&run](std::size_t row) { return run.measuredAt(row); }, rows);
}

void SweepWindow::showRunEnd() {
  const measure::Run* run = active_;
  if (run == nullptr) {
    return;
  }
  showProgress(true);
  const bool isSweep = run == lastSweep();
  QLabel* status = activeTab_->status();
  if (run->refusal() == std::nullopt) {
    drawFinal();
  }
  active_ = nullptr;
  activeTab_ = nullptr;
  setRunning(false);
  session_.holdSerialWord(false);
  if (const auto& refusal = run->refusal()) {
    status->clear();
    // A refusal of the fields comes after the preparation's range and measure handlers, which
    // show the run's PMU word.
    if (refusal->field != measure::EntryField::Board &&
        refusal->field != measure::EntryField::Channels) {
      showSweepWord();
    }
    if (refusal->field == measure::EntryField::Board) {
      // Board failures during a run are reported beside the list, never in a box.
      status->setText(qtext(refusal->message));
      emit runEnded();
      return;
    }
    if (refusal->field == measure::EntryField::Channels) {
      session_.messages().show(MessageIcon::Exclamation, kEntryErrorTitle, qtext(refusal->message));
      emit runEnded();
      return;
    }
    QLineEdit* field = refusal->field == measure::EntryField::Start  ? txtstartV_
                       : refusal->field == measure::EntryField::End  ? txtendV_
                       : refusal->field == measure::EntryField::Step ? txtstep_
                                                                     : txtForceV_;
    rejectEntry(field, session_.messages(), qtext(refusal->message));
    emit runEnded();
    return;
  }
  (isSweep ? sweepDescription_ : timeDescription_).offsetCode = run->offsetCode();
  // After a run the chart's handle style follows "No Handles" again.
  onHandles(Check1_->isChecked());

  QString text;
  if (run->state() == measure::Run::State::BoardLost) {
    const auto reason = board::usbErrorText(run->lostStatus());
    text = QStringLiteral("The board was lost after %1 of %2 readings: %3.")
               .arg(run->stepsDone())
               .arg(run->stepsPlanned())
               .arg(reason ? qtext(*reason) : QStringLiteral("status %1").arg(run->lostStatus()));
    session_.boardLost(run->lostStatus());
  } else if (run->state() == measure::Run::State::Stopped) {
    text = QStringLiteral("Stopped after %1 of %2 readings.")
               .arg(run->stepsDone())
               .arg(run->stepsPlanned());
  } else {
    text = QStringLiteral("%1 readings.").arg(run->stepsDone());
  }
  if (run->failedReadings() > 0) {
    const auto reason = board::usbErrorText(run->lastFailedStatus());
    text += QStringLiteral(" %1 of them failed on the board; last status %2.")
                .arg(run->failedReadings())
                .arg(reason ? qtext(*reason) : QString::number(run->lastFailedStatus()));
  }
  status->setText(text);
  if (run->rows() > 0) {
    keepRun(*run, isSweep);
  }
  emit runEnded();
}

SweepFields SweepWindow::sweepFields() const {
  // A field that does not hold a number keeps the value a fresh window has.
  SweepFields f;
  const auto take = [](const QLineEdit* field, double& value) {
    if (const std::optional<double> parsed = parseDecimal(field->text().toStdString())) {
      value = *parsed;
    }
  };
  take(txtstartV_, f.sweep.startVolts);
  take(txtendV_, f.sweep.endVolts);
  take(txtstep_, f.sweep.stepMillivolts);
  take(txtForceV_, f.forceVolts);
  return f;
}

void SweepWindow::showSweepFields(const SweepFields& f) {
  txtstartV_->setText(QString::number(f.sweep.startVolts));
  txtendV_->setText(QString::number(f.sweep.endVolts));
  txtstep_->setText(QString::number(f.sweep.stepMillivolts));
  txtForceV_->setText(QString::number(f.forceVolts));
}

// The ended run goes into the history, with the setup it started with.
void SweepWindow::keepRun(const measure::Run& run, bool isSweep) {
  const measure::RunDescription& description = isSweep ? sweepDescription_ : timeDescription_;
  const QString range = selSweepI_->list()->itemText(description.rangeIndex);
  runHistory_->add(
      keptRunOf(run, description, range.toStdString(), isSweep ? sweepSetupJson_ : timeSetupJson_,
                QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString()));
}

// A click nearer to a ticked earlier run than to the trace reads that run: the history picks
// it and X and Y show its point.
void SweepWindow::onChartClicked(bool sweep, double x, double y) {
  RunTab* tab = sweep ? sweepTab_ : timeTab_;
  const double along = x - tab->chart()->xStart();
  double distance = 0.0;
  const int row = runHistory_->nearestRun(sweep ? kSweepKind : kTimeRunKind, along, y, &distance);
  if (row < 0) {
    return;
  }
  const measure::Run* last = sweep ? static_cast<const measure::Run*>(lastSweep())
                                   : static_cast<const measure::Run*>(lastTimeRun());
  if (last != nullptr) {
    const std::optional<std::size_t> k = pointNear(along, last->rows());
    if (k && std::fabs(last->measuredAt(*k) - y) <= distance) {
      return;  // the trace is nearer
    }
  }
  runHistory_->pickRun(row);
  const KeptRun& kept = runHistory_->run(row);
  // The run found has a point there.
  const std::size_t k = pointNear(along, kept.values.size()).value_or(0);
  tab->x()->setText(QString::number(kept.xFirst + static_cast<double>(k) * kept.xStep, 'g', 8));
  tab->y()->setText(QString::number(kept.values[k], 'g', 8));
}

// A run's plot at its end: Min and Max, and the series over the points measured (the sweep)
// or over the time chart's 100 points.
void SweepWindow::drawFinal() {
  const measure::Run& run = *active_;
  const std::vector<double> series = run.series();
  if (series.empty()) {
    return;
  }
  const bool isSweep = active_ == lastSweep();
  const float low = run.min();
  const float high = run.max();
  activeTab_->plotFinal(series, low, high,
                        isSweep ? sweepYLimits(low, high) : timeRunYLimits(low, high),
                        isSweep ? static_cast<int>(series.size()) : kTimeChartPoints);
}

void SweepWindow::onPicked(bool sweep, double x) {
  if (sweep && lastSweep() != nullptr) {
    if (const auto point = lastSweep()->pickedPoint(x)) {
      const bool current = sweepDescription_.mode == measure::MeasureMode::Current;
      sweepTab_->y()->setText(QString::number(current ? point->current : point->voltage, 'f', 9));
      sweepTab_->x()->setText(QString::number(point->forcedVolts, 'f', 4));
    }
  } else if (!sweep && lastTimeRun() != nullptr) {
    if (const auto sample = lastTimeRun()->pickedSample(x)) {
      timeTab_->y()->setText(QString::number(sample->measured, 'f', 9));
      timeTab_->x()->setText(QString::number(sample->time, 'f', 4));
    }
  }
}

std::optional<QString> SweepWindow::saveCsv(bool sweepList, const QString& path) const {
  const measure::Run* run = sweepList ? static_cast<const measure::Run*>(lastSweep())
                                      : static_cast<const measure::Run*>(lastTimeRun());
  if (run == nullptr || run->lines().empty()) {
    return QStringLiteral("There is no run to save yet.");
  }
  // The first line holds the setup the run started with, so the file opens as that setup.
  const std::string text = measure::csvText(sweepList ? sweepDescription_ : timeDescription_, *run,
                                            sweepList ? sweepSetupJson_ : timeSetupJson_);
  return saveWhole(path, QByteArray::fromStdString(text));
}

void SweepWindow::saveList(bool sweep) {
  const QString suggested =
      QDir::home().filePath(sweep ? QStringLiteral("sweep.csv") : QStringLiteral("timerun.csv"));
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save List as CSV"), suggested,
                                   QStringLiteral("CSV files (*.csv);;All files (*)"));
  if (path.isEmpty()) {
    return;
  }
  if (const auto reason = saveCsv(sweep, path)) {
    session_.messages().show(MessageIcon::Exclamation, QStringLiteral("Save CSV"),
                             QStringLiteral("The list could not be saved to %1:\n%2")
                                 .arg(QDir::toNativeSeparators(path), *reason));
  }
}

}  // namespace kv4410::ui
