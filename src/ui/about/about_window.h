#pragma once
// The About window, captioned "About KV4410": the program's title and version, and a button
// that starts the operating system's system information tool where there is one.
#include <QDialog>
#include <QString>
#include <optional>

#include "ui/common/window_hub.h"

namespace kv4410::ui {

class Session;

class AboutWindow : public QDialog, public ManagedWindow {
  Q_OBJECT
 public:
  explicit AboutWindow(Session& session, QWidget* parent = nullptr);

  QWidget* widget() override { return this; }
  void startUp() override;

  // Starts the system information tool, or says that it cannot.
  void StartSysInfo();

 private:
  Session& session_;
};

// "Version " + major + "." + minor + "." + revision.
QString versionText(int major, int minor, int revision);

// The system information tool's path from the registry: the PATH value of the MSINFO key, else
// the MSINFO folder of the shared tools with MSINFO32.EXE in it when that file exists. Always
// nullopt on a platform without the registry.
std::optional<QString> systemInfoToolPath();

}  // namespace kv4410::ui
