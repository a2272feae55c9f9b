#pragma once
// The menus of every window, from one description: each entry either shows a window (created on
// first use, shown without blocking) or ends the program. Entries for windows the program does
// not have stay visible but disabled.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "ui/common/window_hub.h"

class QMainWindow;

namespace kv4410::ui {

struct MenuEntryDef {
  QString objectName;
  QString caption;
  std::optional<WindowId> opens;  // none: "Exit", which ends the program
};

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
