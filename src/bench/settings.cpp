#include "bench/settings.h"

#include <array>
#include <vector>

namespace kv4410::bench {

namespace {

constexpr std::size_t kSettings = 7;

struct SettingDef {
  std::string_view name;
  int values;
  // The value of each list item, in list order, for the register window, the PMU control
  // window and the sweep window; empty where the window has no list for the setting.
  std::array<std::vector<int>, 3> lists;
};

const SettingDef& def(Setting setting) {
  // In the order of Setting.
  static const std::array<SettingDef, kSettings> kTable = {{
      {"current range", 5, {{{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}}}},
      {"measure selection", 4, {{{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 0}}}},
      {"compare mode", 2, {{{0, 1}, {0, 1}, {}}}},
      {"current-measure gain", 2, {{{0, 1}, {0, 1}, {}}}},
      {"MEASOUT gain", 2, {{{0, 1}, {0, 1}, {}}}},
      {"thermal shutdown", 6, {{{0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}, {}}}},
      {"alarm latch", 2, {{{0, 1}, {0, 1}, {}}}},
  }};
  return kTable[static_cast<std::size_t>(setting)];
}

const std::vector<int>& list(View view, Setting setting) {
  return def(setting).lists[static_cast<std::size_t>(view)];
}

}  // namespace

int valueCount(Setting setting) {
  return def(setting).values;
}

std::string_view settingName(Setting setting) {
  return def(setting).name;
}

std::optional<int> listIndex(View view, Setting setting, int value) {
  const std::vector<int>& items = list(view, setting);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == value) {
      return static_cast<int>(i);
    }
  }
  return std::nullopt;
}

std::optional<int> valueAt(View view, Setting setting, int index) {
  const std::vector<int>& items = list(view, setting);
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
    return std::nullopt;
  }
  return items[static_cast<std::size_t>(index)];
}

}  // namespace kv4410::bench
