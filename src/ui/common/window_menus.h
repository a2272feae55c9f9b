#pragma once
// The menus of every window, from one description: each entry shows a window (created on first
// use, shown without blocking), acts on setup files or ends the program. Entries for windows the
// program does not have stay visible but disabled, and so do the setup entries while the hub has
// no SetupActions.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "ui/common/window_hub.h"

class QMainWindow;

namespace kv4410::ui {

// What an entry does besides showing a window.
enum class MenuCommand { None, OpenSetup, SaveSetup, RecentSetups };

struct MenuEntryDef {
  QString objectName;
  QString caption;
  std::optional<WindowId> opens;  // none (and no command): "Exit", which ends the program
  MenuCommand command = MenuCommand::None;
};

// The "Recent Setups" submenu's entries: "1 name.json" (the full path as tooltip), objectName
// mnuRecentSetup_0.._4, or one disabled "(none)".
inline constexpr const char* kRecentSetupEntryName = "mnuRecentSetup_";

struct MenuDef {
  QString objectName;
  QString caption;
  std::vector<MenuEntryDef> entries;
};

const std::vector<MenuDef>& windowMenus(WindowId window);

// Builds `id`'s menus on `window`'s menu bar and connects their entries. The entries' enabled
// states follow the hub each time a menu opens; the returned function updates them at once.
std::function<void()> installWindowMenus(QMainWindow* window, WindowId id, WindowHub& hub);

}  // namespace kv4410::ui
