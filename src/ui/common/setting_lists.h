#pragma once
// The lists that show a shared setting of the bench, in one table: for each window (view) and
// setting, the list's object name and items. A list built here is bound to its setting: the
// user's choice goes to the bench, which composes and sends the words once; when the setting
// changes, from any window, the command line's bench calls or an opened setup, every list bound
// to it shows the new item without running anything.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "bench/settings.h"

class QWidget;

namespace kv4410::ui {

class Selector;
class Session;

struct SettingListDef {
  bench::View view;
  bench::Setting setting;
  QString objectName;
  QStringList items;
};

// Every bound list of every window.
const std::vector<SettingListDef>& settingLists();
const SettingListDef& settingList(bench::View view, bench::Setting setting);

struct SettingListHooks {
  // Runs first on every choice of item `index`, the user's and a write button's (the register
  // window composes its word's field and shows it). For an item that is not a value of the
  // setting (the range lists' "always on external range" switches) it is all that runs.
  std::function<void(int index)> chosen;
  // Runs after the list shows the setting's new value, however it changed (units, limits).
  std::function<void()> shown;
};

// Builds the list of (`view`, `setting`) under `parent`, showing `initialText` until the bench
// has started, and binds it to the bench's setting.
Selector* makeSettingList(QWidget* parent, Session& session, bench::View view,
                          bench::Setting setting, const QString& initialText,
                          SettingListHooks hooks = {});
// Shows the setting's present value in a bound list without running anything (after the
// program's start-up, whose values are the lists' defaults).
void showSetting(Selector* list, Session& session, bench::View view, bench::Setting setting);

}  // namespace kv4410::ui
