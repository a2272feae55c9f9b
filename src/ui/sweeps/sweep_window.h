#pragma once
// The sweep window, captioned "Voltage/Current/Time Sweeps": sets up and starts the voltage
// sweep and the measurement versus time, shows their readings live in two lists and two strip
// charts, picks single points, and copies or saves a list. Its current-range and measure lists,
// channel boxes and delays are bound to the bench's settings, which the other windows share.
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/sweep_engine.h"
#include "ui/common/setup_actions.h"
#include "ui/common/window_hub.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kv4410::ui {

class RunDriver;
class RunHistory;
class RunTab;
class Selector;
class Session;
class StripChart;

class SweepWindow : public QMainWindow, public ManagedWindow {
  Q_OBJECT
 public:
  explicit SweepWindow(Session& session, QWidget* parent = nullptr);
  ~SweepWindow() override;

  QWidget* widget() override { return this; }
  void startUp() override;

  bool running() const;
  // The last runs of each kind (kept for point picking and saving); nullptr before the first.
  const measure::SweepRun* lastSweep() const;
  const measure::TimeRun* lastTimeRun() const;
  // This session's ended runs, to compare on the charts.
  RunHistory* runHistory() const { return runHistory_; }
  // Writes the sweep's (or the time run's) list with its description to `path`; on failure
  // returns the reason, and nothing in the window changes.
  std::optional<QString> saveCsv(bool sweepList, const QString& path) const;

 signals:
  // A run ended (finished, stopped or refused) and its results are shown.
  void runEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* buildSideControls();
  RunTab* buildSweepTab();
  RunTab* buildTimeTab();
  void connectTab(RunTab* tab, bool sweep);

  // What the window shows of the bench's settings.
  void showSweepWord();
  void showMeasure();
  void showChannels();
  void showDelays();
  void onChannel(int index, bool ticked);
  void onReference(int index, bool selected);
  void onHandles(bool ticked);
  void onDelay(bool sampleChosen);
  void onEntered(QLineEdit* field, measure::EntryField which);
  void onPicked(bool sweep, double x);
  void copyList(const QListWidget* list);
  void saveList(bool sweep);

  // PLOT: the field checks, the window's part of the preparation, then the run.
  void plotSweep();
  void plotTimeRun();
  float chosenReference() const;
  measure::RunDescription describeRun(const char* kind, float vref) const;
  void startRun(const measure::Run* run, RunTab* tab);
  // `now`: at the run's end, whatever the time since the last update.
  void showProgress(bool now = false);
  void showRunEnd();
  void drawLive();
  void drawFinal();
  void setRunning(bool running);
  void keepRun(const measure::Run& run, bool isSweep);
  // The entry fields a setup holds.
  SweepFields sweepFields() const;
  void showSweepFields(const SweepFields& f);
  void onChartClicked(bool sweep, double x, double y);

  Session& session_;
  std::unique_ptr<RunDriver> driver_;
  const measure::Run* active_ = nullptr;  // the bench's run this window started
  std::array<Selector*, 4> channelBoxes_{};
  std::vector<std::function<void()>> unsubscribe_;  // from the bench's settings
  RunTab* activeTab_ = nullptr;
  int linesShown_ = 0;
  // The rows the live chart has drawn, and their single-precision extremes.
  std::size_t liveDrawn_ = 0;
  float liveLow_ = 0.0F;
  float liveHigh_ = 0.0F;
  qint64 lastDrawMs_ = 0;
  qint64 drawIntervalMs_ = 50;        // the pace of the live redraws, from what the last one cost
  std::optional<double> drawCostNs_;  // the latest redraw's cost, until its painting is known
  int drawSettleSteps_ = 0;           // steps looked at for that painting
  // What each kind's last run was made with, for its point picking and its saved file.
  measure::RunDescription sweepDescription_;
  measure::RunDescription timeDescription_;

  Selector* selSweepI_ = nullptr;
  Selector* selMeasureVI_ = nullptr;
  Selector* selDela_ = nullptr;
  Selector* selMDelay_ = nullptr;
  std::array<QCheckBox*, 4> PMUCHSEL_{};
  std::array<QRadioButton*, 2> optRef_{};
  QCheckBox* Check1_ = nullptr;
  QLineEdit* lblREADSPI_ = nullptr;
  QLineEdit* Text1_ = nullptr;
  QTabWidget* SSTab1_ = nullptr;

  // The two tabs: the voltage sweep's and the time run's, with their force fields.
  RunTab* sweepTab_ = nullptr;
  QLineEdit* txtstartV_ = nullptr;
  QLineEdit* txtendV_ = nullptr;
  QLineEdit* txtstep_ = nullptr;
  QLineEdit* txtstart_ = nullptr;
  QLineEdit* txtend_ = nullptr;
  QLineEdit* txtstepcode_ = nullptr;
  RunTab* timeTab_ = nullptr;
  QLineEdit* txtForceV_ = nullptr;
  QLineEdit* txtForceC_ = nullptr;

  QPushButton* cmdSTOP_ = nullptr;
  RunHistory* runHistory_ = nullptr;
  // The setup each kind's last run started with, for the history and SAVE CSV.
  std::string sweepSetupJson_;
  std::string timeSetupJson_;
  QProgressBar* prgRun_ = nullptr;
};

}  // namespace kv4410::ui
