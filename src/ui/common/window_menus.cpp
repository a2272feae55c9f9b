#include "ui/common/window_menus.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <map>

#include "ui/common/setup_actions.h"

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

MenuEntryDef command(const char* name, const char* caption, MenuCommand what) {
  return {QString::fromLatin1(name), QString::fromLatin1(caption), std::nullopt, what};
}

// Every File menu starts with the setup entries.
std::map<WindowId, std::vector<MenuDef>> buildMenus() {
  const auto file = [](std::vector<MenuEntryDef> entries) {
    entries.insert(entries.begin(),
                   {command("mnuOpenSetup", "Open Setup...", MenuCommand::OpenSetup),
                    command("mnuSaveSetup", "Save Setup...", MenuCommand::SaveSetup),
                    command("mnuRecentSetups", "Recent Setups", MenuCommand::RecentSetups)});
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

// The recent setups as the submenu's entries, each opening its file.
void fillRecentSetups(QMenu* recent, QMainWindow* window, WindowHub& hub) {
  // Taken out and deleted later rather than cleared: this may run while one of them is being
  // triggered.
  for (QAction* old : recent->actions()) {
    recent->removeAction(old);
    old->deleteLater();
  }
  SetupActions* actions = hub.setupActions();
  const QStringList paths = actions != nullptr ? actions->recentSetups() : QStringList();
  if (paths.isEmpty()) {
    QAction* none = recent->addAction(QStringLiteral("(none)"));
    none->setObjectName(QStringLiteral("mnuRecentSetupNone"));
    none->setEnabled(false);
    return;
  }
  for (int i = 0; i < paths.size(); ++i) {
    const QString path = paths.at(i);
    QAction* entry =
        recent->addAction(QStringLiteral("%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    entry->setObjectName(QString::fromLatin1(kRecentSetupEntryName) + QString::number(i));
    entry->setToolTip(path);
    QObject::connect(entry, &QAction::triggered, window, [&hub, path, window] {
      if (SetupActions* a = hub.setupActions()) {
        a->openRecent(path, window);
      }
    });
  }
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
    std::vector<QAction*> setupEntries;
    QMenu* recent = nullptr;
    for (const MenuEntryDef& e : def.entries) {
      if (e.command == MenuCommand::RecentSetups) {
        recent = menu->addMenu(e.caption);
        recent->setObjectName(e.objectName);
        recent->setToolTipsVisible(true);
        setupEntries.push_back(recent->menuAction());
        QObject::connect(recent, &QMenu::aboutToShow, window,
                         [recent, window, &hub] { fillRecentSetups(recent, window, hub); });
        menu->addSeparator();
        continue;
      }
      if (e.command != MenuCommand::None) {
        QAction* action = menu->addAction(e.caption);
        action->setObjectName(e.objectName);
        const bool save = e.command == MenuCommand::SaveSetup;
        QObject::connect(action, &QAction::triggered, window, [&hub, window, save] {
          if (SetupActions* a = hub.setupActions()) {
            save ? a->saveSetup(window) : a->openSetup(window);
          }
        });
        setupEntries.push_back(action);
        continue;
      }
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
    const auto refresh = [&hub, opening, setupEntries, recent, window] {
      for (const auto& [action, target] : opening) {
        action->setEnabled(hub.available(target));
      }
      for (QAction* action : setupEntries) {
        action->setEnabled(hub.setupActions() != nullptr);
      }
      if (recent != nullptr) {
        fillRecentSetups(recent, window, hub);
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
