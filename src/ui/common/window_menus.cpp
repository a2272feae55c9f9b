#include "ui/common/window_menus.h"

#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <map>

namespace kv4410::ui {

namespace {

MenuEntryDef entry(const char* name, const char* caption, std::optional<WindowId> opens) {
  return {QString::fromLatin1(name), QString::fromLatin1(caption), opens};
}

MenuDef help(const char* menuName, const char* aboutName) {
  return {QString::fromLatin1(menuName),
          QStringLiteral("Help"),
          {entry(aboutName, "About", WindowId::About)}};
}

std::map<WindowId, std::vector<MenuDef>> buildMenus() {
  const auto file = [](std::vector<MenuEntryDef> entries) {
    return MenuDef{QStringLiteral("mnuFile"), QStringLiteral("File"), std::move(entries)};
  };
  return {
      {WindowId::Register,
       {file({entry("mnuPMUControl", "Main PMU Control Window", WindowId::PmuControl),
              entry("mnuSweeps", "Voltage Current Sweeps", WindowId::Sweep),
              entry("mnuTestProcedure", "Automated Test Procedure", WindowId::TestProcedure),
              entry("mnuTraffic", "Board Traffic", WindowId::Traffic),
              entry("mnuExit", "Exit", std::nullopt)}),
        help("mnuHelp", "mnuAbout")}},
      {WindowId::PmuControl,
       {file({entry("mnuSweep", "Voltage Current Sweeps", WindowId::Sweep),
              entry("mnuReg", "Individual Register Access", WindowId::Register),
              entry("mnuExit", "Exit", std::nullopt)}),
        help("mnuHelp", "mnuAbout")}},
      {WindowId::Sweep,
       {file({entry("mnuMain", "Main PMU Control Window", WindowId::PmuControl),
              entry("mnuIndi", "Individual Register Access", WindowId::Register),
              entry("menuExit", "Exit", std::nullopt)}),
        help("mnuHelp", "menuAbout")}},
      {WindowId::TestProcedure,
       {file({entry("mnuReg", "Indivdual Register Access", WindowId::Register),
              entry("mnuPMU", "Quick PMU Control", WindowId::PmuControl),
              entry("mnuExit", "Exit", std::nullopt)}),
        help("mnuHelp", "mnuAbout")}},
  };
}

}  // namespace

const std::vector<MenuDef>& windowMenus(WindowId window) {
  static const std::map<WindowId, std::vector<MenuDef>> menus = buildMenus();
  static const std::vector<MenuDef> none;
  const auto found = menus.find(window);
  return found == menus.end() ? none : found->second;
}

std::function<void()> installWindowMenus(QMainWindow* window, WindowId id, WindowHub& hub) {
  std::vector<std::function<void()>> refreshers;
  for (const MenuDef& def : windowMenus(id)) {
    QMenu* menu = window->menuBar()->addMenu(def.caption);
    menu->setObjectName(def.objectName);
    std::vector<std::pair<QAction*, WindowId>> opening;
    for (const MenuEntryDef& e : def.entries) {
      if (!e.opens) {
        menu->addSeparator();
      }
      QAction* action = menu->addAction(e.caption);
      action->setObjectName(e.objectName);
      if (e.opens) {
        const WindowId target = *e.opens;
        QObject::connect(action, &QAction::triggered, window, [&hub, target] { hub.show(target); });
        opening.emplace_back(action, target);
      } else {
        QObject::connect(action, &QAction::triggered, window, [] { QCoreApplication::quit(); });
      }
    }
    const auto refresh = [&hub, opening] {
      for (const auto& [action, target] : opening) {
        action->setEnabled(hub.available(target));
      }
    };
    QObject::connect(menu, &QMenu::aboutToShow, window, refresh);
    refresh();
    refreshers.push_back(refresh);
  }
  return [refreshers] {
    for (const auto& refresh : refreshers) {
      refresh();
    }
  };
}

}  // namespace kv4410::ui
