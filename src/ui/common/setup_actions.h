#pragma once
// The setup entries of every window's File menu: the bench's state saved as a setup file, a
// setup file (or a run's CSV file) opened on the board after the user saw what it sends, and
// the last five setups used. One object for the whole program; the menus reach it through the
// window hub.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

#include "bench/bench.h"
#include "bench/setup_file.h"
#include "measure/run_fields.h"

class QWidget;

namespace kv4410::ui {

class MessageSink;

// The sweep window's entry fields that a setup carries, as a fresh sweep window shows them.
struct SweepFields {
  measure::SweepRequest sweep{0.0, 1.0, 100.0};  // Start (V), End (V), Voltage Step (mV)
  double forceVolts = 1.0;                       // FORCE VOLTAGE of the measurement versus time
};

// How the setups reach the sweep window's fields. Either function may be empty: the setups
// then keep the fields themselves (a fresh window's values until a setup is opened).
struct SweepFieldsAccess {
  std::function<SweepFields()> read;
  std::function<void(const SweepFields&)> apply;
};

// The menu captions and message titles.
inline const QString kOpenSetupTitle = QStringLiteral("Open Setup");
inline const QString kSaveSetupTitle = QStringLiteral("Save Setup");
inline constexpr int kRecentSetupCount = 5;
inline const QString kRecentSetupsKey = QStringLiteral("setups/recent");

// "W 0F21B300  write to the PMU register of PMU 0", "219  chip reset": a step of a setup's plan
// as the command line prints it, with what it does.
QString planLine(const bench::BoardStep& step);

class SetupActions : public QObject {
  Q_OBJECT
 public:
  // `bench` and `messages` must outlive this object.
  SetupActions(bench::Bench& bench, MessageSink& messages, SweepFieldsAccess fields = {},
               QObject* parent = nullptr);

  // A sweep window wired after a setup was opened (it is built on first use) takes that setup's
  // fields at once.
  void setSweepFieldsAccess(SweepFieldsAccess fields);
  // The USB board's place as --board named it ("1-4"): saved setups then say "usb 1-4".
  void setBoardLocation(std::optional<std::string> location) { location_ = std::move(location); }

  // The present state as a setup: this program's version, the local time, the board
  // ("simulated", "usb" or "usb BUS-PORT"), the bench's snapshot and the sweep fields.
  bench::Setup currentSetup() const;
  // The setup as one JSON line, and as the comment line of a run's CSV file ("# setup: {...}").
  std::string setupJsonLine() const;
  QString setupLine() const;

  // File > Save Setup...: asks for the file ("kv4410-setup.json" in the folder used last) and
  // saves there.
  void saveSetup(QWidget* parent);
  // Writes the setup through a temporary file renamed over `path` when complete. A failure is
  // shown with its reason, leaves the old file and returns false.
  bool saveSetupFile(const QString& path);

  // File > Open Setup...: asks for a setup or run CSV file and opens it, asking first.
  void openSetup(QWidget* parent);
  // Reads the file and opens it on the board: when `ask`, only after the user confirmed the
  // steps it sends in the "Open Setup" dialog. Returns why nothing was sent (shown in a message
  // box too): unreadable, no setup, a newer format or a bad entry (the first one named), no
  // board, or a run holds the board. Empty when it was opened or the user cancelled.
  std::optional<QString> openSetupFile(const QString& path, bool ask, QWidget* parent = nullptr);
  // The same for a setup's JSON text (a kept run's setup); `path` names where it came from in
  // the messages and the recent list, and is empty for a text that is no file.
  std::optional<QString> openSetupText(const std::string& text, bool ask, QWidget* parent = nullptr,
                                       const QString& path = {});

  // The last setups opened or saved, newest first, at most five, each once.
  QStringList recentSetups() const;
  // Opens a file of the recent list (asking first); a file that no longer exists is said so
  // and leaves the list.
  void openRecent(const QString& path, QWidget* parent);

  // What the dialog shows, one line per step; the Open button opens. Replaceable so that
  // tests can answer it.
  std::function<bool(const QString& path, const QStringList& plan, QWidget* parent)> confirm;

 signals:
  void setupOpened(const QString& path);
  void setupSaved(const QString& path);
  void recentSetupsChanged();

 private:
  void remember(const QString& path);
  void forget(const QString& path);
  QString lastFolder() const;
  void refuse(const QString& title, const QString& text);

  bench::Bench& bench_;
  MessageSink& messages_;
  SweepFieldsAccess fields_;
  SweepFields kept_;  // the fields while no sweep window is wired
  bool keptFromSetup_ = false;
  std::optional<std::string> location_;
};

// The "Open Setup" dialog: the plan in a list, Open and Cancel. True when Open was pressed.
bool confirmSetupPlan(const QString& path, const QStringList& plan, QWidget* parent);

}  // namespace kv4410::ui
