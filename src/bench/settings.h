#pragma once
// The settings that several windows show, as typed values, and the one table that says at which
// index of each window's list a value stands. A value's number is its index in the register
// window's list (the same order the PMU control window uses); the sweep window lists the
// measure choices the other way round and has no list for most settings.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kv4410::bench {

enum class CurrentRange : std::uint8_t { Range5uA, Range20uA, Range200uA, Range2mA, External };
enum class MeasureSelect : std::uint8_t { Current, Voltage, DieTemperature, HighZ };
enum class CompareMode : std::uint8_t { Current, Voltage };
enum class CurrentGain : std::uint8_t { Ten, Five };   // the current-measure gain
enum class MeasoutGain : std::uint8_t { Fifth, One };  // 0.2 or 1
enum class ThermalShutdown : std::uint8_t { Disabled, Enabled, At130C, At120C, At110C, At100C };
enum class AlarmLatch : std::uint8_t { Unlatched, Latched };

// The sweep window's delay lists before an item is chosen: no delay at all.
inline constexpr int kNoDelayChosen = -1;
inline constexpr int kCycleDelayItems = 6;    // "No Delay", "100ms" .. "500ms"
inline constexpr int kSampleDelayItems = 10;  // "No Delay", "1 X" .. "9 X"

// Every shared setting, with the values the program's start-up leaves.
struct SettingValues {
  CurrentRange currentRange = CurrentRange::Range2mA;
  MeasureSelect measure = MeasureSelect::Voltage;
  CompareMode compare = CompareMode::Current;
  CurrentGain currentGain = CurrentGain::Ten;
  MeasoutGain measoutGain = MeasoutGain::Fifth;
  ThermalShutdown thermal = ThermalShutdown::At130C;
  AlarmLatch alarmLatch = AlarmLatch::Unlatched;
  std::uint8_t sweepChannels = 0x0F;  // bit i: PMU i ticked under the sweep's PMU CH SELECT
  int cycleDelay = kNoDelayChosen;    // Force/Measure Cycle Delay item, 0..5
  int sampleDelay = kNoDelayChosen;   // SAMPLE DELAY item, 0..9
};

// The settings a window shows as a list.
enum class Setting {
  CurrentRange,
  Measure,
  Compare,
  CurrentGain,
  MeasoutGain,
  Thermal,
  AlarmLatch
};
enum class View { RegisterWindow, PmuControl, SweepWindow };

// How many values the setting has; "current range" and the like for messages.
int valueCount(Setting setting);
std::string_view settingName(Setting setting);

// The index of `value` in the view's list; nullopt when the view has no list for the setting
// or its list lacks the value (the sweep window's measure list has no temperature sensor), so
// the view keeps what it shows.
std::optional<int> listIndex(View view, Setting setting, int value);
// The value that item `index` of the view's list chooses; nullopt for an index outside the
// list and for items that are not a value of the setting (the register and PMU control
// windows' range lists end with the two "always on external range" switches).
std::optional<int> valueAt(View view, Setting setting, int index);

}  // namespace kv4410::bench
