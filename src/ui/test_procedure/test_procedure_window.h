#pragma once
// The test procedure window (Form6), captioned "KV4410 Test Procedure": runs the automated
// channel test of PMU0 to PMU3, lists every setting, reading and verdict, shows PASS or
// FAILURE for the whole run and copies the list to the clipboard. The test is advanced one
// reading at a time from the event loop, so the window stays live while it runs.
#include <QMainWindow>
#include <cstddef>
#include <memory>

#include "measure/channel_test.h"
#include "measure/clock.h"
#include "ui/common/window_hub.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace kv4410::ui {

class RunDriver;
class Session;

class TestProcedureWindow : public QMainWindow, public ManagedWindow {
  Q_OBJECT
 public:
  explicit TestProcedureWindow(Session& session, QWidget* parent = nullptr);
  ~TestProcedureWindow() override;

  QWidget* widget() override { return this; }
  // The window's load: VREF 5.0, the start-up system word twice, the all-channel PMU word, the
  // smallest CFF and CCOMP capacitors.
  void startUp() override;
  bool testRunning() const;

  // "Start Test": clears the list, hides the verdict and starts the test; does nothing while a
  // test runs.
  void cmdWRITEPMU_Click();
  // "Copy Test Results to Clipboard. Then Paste into Excel.": the list's lines, each followed
  // by CR LF.
  void cmdcopy2clip_Click();
  // "RESET KV4410": the chip reset request; the stored words keep their values.
  void cmdRESET_Click();

 signals:
  void testFinished();

 private:
  QWidget* buildHeader();
  QWidget* buildControls();
  // Lists the lines the test added since the last step and says where it is.
  void showProgress();
  void showVerdict();

  // The bench's channel test, which this window starts and shows.
  const measure::ChannelTest& test() const;

  Session& session_;
  RunDriver* driver_ = nullptr;
  std::size_t listed_ = 0;  // lines of the test already in lstTest

  QListWidget* lstTest_ = nullptr;
  QPushButton* cmdWRITEPMU_ = nullptr;
  QPushButton* cmdResult_ = nullptr;
  QPushButton* cmdRESET_ = nullptr;
  QLabel* lblStatus_ = nullptr;
};

}  // namespace kv4410::ui
