#pragma once
// Every selector that another window sets, in one table: its window, its object name and its
// items. Windows build these lists from the table and mirror into them by enumerator, so a
// wrong name cannot compile; a test walks the table against the windows as built.
#include <QString>
#include <QStringList>
#include <functional>

#include "ui/common/window_hub.h"

class QWidget;

namespace kv4410::ui {

class Selector;
class Session;

enum class Mirrored {
  RegisterCurrentRange,  // WRITE PMU REG current-range list
  RegisterMeasure,       // WRITE PMU REG measure list
  RegisterCompare,       // WRITE PMU REG compare list
  RegisterLatched,       // WRITE SYSTEM CONTROL REG latch list
  RegisterThermal,       // WRITE SYSTEM CONTROL REG thermal list
  RegisterCurrentGain,   // WRITE SYSTEM CONTROL REG current-measure gain list
  RegisterMeasoutGain,   // WRITE SYSTEM CONTROL REG MEASOUT gain list
  PmuCurrentRange,
  PmuMeasure,
  PmuCompare,
  PmuLatched,
  PmuThermal,
  PmuCurrentGain,
  PmuMeasoutGain,
  SweepCurrentRange,
  SweepMeasure,
};
inline constexpr int kMirroredCount = static_cast<int>(Mirrored::SweepMeasure) + 1;

struct MirroredSelectorDef {
  Mirrored id;
  WindowId window;
  QString objectName;
  QStringList items;
};

// The table, in enumerator order.
const std::vector<MirroredSelectorDef>& mirroredSelectors();
const MirroredSelectorDef& mirroredSelector(Mirrored id);

// Builds the list of `id` (object name and items from the table) under `parent`, wraps it in a
// Selector showing `initialText` and registers it with the hub for mirroring.
Selector* makeMirroredList(QWidget* parent, Session& session, Mirrored id,
                           const QString& initialText, std::function<void(int)> handler);

}  // namespace kv4410::ui
