#pragma once
// Creates the program's windows on first use. A window is built (hidden) the first time anything
// reaches it, then its start-up runs to completion before the access goes on; windows are kept
// until the program ends. The windows' shared settings are bound to the bench, not carried here.
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

namespace kv4410::ui {

class SetupActions;

enum class WindowId { Register, PmuControl, Sweep, TestProcedure, About, Traffic };

// Implemented by every window the hub manages.
class ManagedWindow {
 public:
  virtual ~ManagedWindow() = default;
  virtual QWidget* widget() = 0;
  // The window's own start-up (its load handler). Runs once, right after the hub stored it.
  virtual void startUp() = 0;
};

class WindowHub {
 public:
  using Factory = std::function<ManagedWindow*()>;

  WindowHub() = default;
  ~WindowHub();
  WindowHub(const WindowHub&) = delete;
  WindowHub& operator=(const WindowHub&) = delete;

  // A window kind the program has; without a factory the window's menu entries stay disabled.
  void setFactory(WindowId id, Factory factory);
  // While the gate answers false no window is built (a window's start-up sends words); the
  // windows that exist stay available.
  void setBuildGate(std::function<bool()> open) { buildGate_ = std::move(open); }
  bool available(WindowId id) const;
  bool exists(WindowId id) const;

  // The window, created hidden and started up on first use; nullptr when not available.
  ManagedWindow* window(WindowId id);
  // Shows the window without blocking (creating it first if needed) and raises it.
  void show(WindowId id);

  // Adopts a window built outside a factory (the main window builds itself first).
  void adopt(WindowId id, ManagedWindow* window);

  // Deletes every window the hub created (in reverse order of creation).
  void destroyAll();

  // The File menus' setup entries act through it; they stay disabled while none is set.
  void setSetupActions(SetupActions* actions) { setupActions_ = actions; }
  SetupActions* setupActions() const { return setupActions_; }

 private:
  std::map<WindowId, Factory> factories_;
  std::map<WindowId, ManagedWindow*> windows_;
  std::vector<WindowId> creationOrder_;
  std::function<bool()> buildGate_;
  std::map<WindowId, QMetaObject::Connection> destroyedWatch_;
  SetupActions* setupActions_ = nullptr;

  void forget(WindowId id);
  void watch(WindowId id, ManagedWindow* window);
};

}  // namespace kv4410::ui
