#pragma once
// Bench: the one owner of a session with the board, without Qt. It owns the board link and its
// start-up, the stored register words and conversion values, the settings that several windows
// share, the runs (voltage sweep, measurement versus time, channel test) and what the chip
// holds. Every word a setting, a button or a run sends is composed here, so every face sends
// the same words.
//
// How a face uses it: it reads the words and settings by const reference, subscribes to the
// settings it shows (and to holder(), to disable its controls while another run has the
// board), and turns each user action into one Bench call. A call that sends nothing returns a
// refusal saying why. A face that drives a run calls advanceRun() and waits the seconds it
// returns (from its event loop or in a plain loop) until it returns nothing. Single-threaded:
// every call, and every notification, happens on the caller's thread.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/chip_image.h"
#include "bench/observable.h"
#include "bench/settings.h"
#include "board/board_factory.h"
#include "board/board_link.h"
#include "device/dac_words.h"
#include "device/register_map.h"
#include "device/stored_words.h"
#include "measure/channel_test.h"
#include "measure/clock.h"
#include "measure/sweep_engine.h"

namespace kv4410::board {
class SimulatedBoard;
}

namespace kv4410::bench {

struct Setup;

// Why a call sent nothing; empty when it did what was asked. A setting change on no selected
// channel is kept (the next PMU word carries it) and still says why its word did not go out.
using Refusal = std::optional<std::string>;

inline constexpr const char* kChannelTestRunning = "The channel test is running.";
inline constexpr const char* kSweepRunning = "The voltage sweep is running.";
inline constexpr const char* kTimeRunRunning = "The measurement versus time is running.";
inline constexpr const char* kNoChannelSelected = "Please select at least One PMU channel";

// What the PMU control window keeps for its force level, as it stands after the program's
// start-up: force voltage, the default OFFSET and FIN DAC codes of its entry fields, 100 ohms
// of external sense resistor. The range limits are those of the last level entry.
struct PmuControlState {
  int forceEntry = 0;  // cboForce: 0 force voltage, 1 force current, 2/3 the Hi-Z modes
  // cboIrange: the current range 0..4, or 5/6 after "Disable/Enable Always on Ext Range".
  int rangeEntry = 3;
  bool forceVoltage = true;
  std::int32_t offsetCode = 0xA492;  // OFFSETx1
  std::int32_t finCode = 0x8000;     // txtFINx1
  double externalOhms = 100.0;       // txtRsense, range 4
  float rangeLow = 0.0F;             // Z/S: volts, uA (ranges 0..2) or mA (3, 4)
  float rangeHigh = 0.0F;            // F/S
  std::int32_t levelCode = 0;        // "DAC Code" of the last level written
};

// Everything a saved setup needs: the stored words, the conversion values, the sweep state,
// the settings and what the chip holds.
struct BenchSnapshot {
  StoredWords words;
  ConversionValues conversion;
  measure::SweepState sweep;
  SettingValues settings;
  ChipImage chip;
};

class Bench {
 public:
  using TrafficListener = std::function<void(const board::BoardLink::RequestRecord&)>;

  // `board`, `reporter` (the board's messages) and `clock` (what the runs wait on) must
  // outlive the bench.
  Bench(board::BoardAccess& board, board::Reporter& reporter, measure::Clock& clock);
  // Owns the board that openBoard built.
  Bench(board::OpenedBoard board, board::Reporter& reporter, measure::Clock& clock);
  ~Bench();
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  // ---- the board ----
  // The program's start-up: connection and firmware, the system control word twice, the PMU
  // control window's start-up (its FIN DAC word for 0 V, then the system word once for each
  // of its four system lists), the PMU word on all four channels, CFF then CCOMP at their
  // smallest capacitors. Runs once.
  Refusal startUp(const std::filesystem::path& firmwarePath);
  bool started() const { return started_; }
  // False once the start-up's search found no board.
  bool boardConnected() const { return !link_.NoBoard(); }
  const board::BoardLink& link() const { return link_; }
  board::SimulatedBoard* simulated() const { return simulated_; }
  // Board commands: chip reset (219); /LOAD pulse (222, then the line is driven high, 226,
  // when it was low); the /LOAD line (226 high, 227 low; nothing when it is there already);
  // the compensation switches (228: 1 "100pF", 2 "1nF"; 229: 1 "220pF", 2 "1nF", 3 "10nF").
  Refusal resetChip();
  Refusal pulseLoad();
  Refusal setLoadHigh(bool high);
  bool loadHigh() const { return loadHigh_; }
  Refusal setCComp(int value);
  Refusal setCFeedforward(int value);

  // ---- a face that joins the board without the start-up (the command line) ----
  // Only the connection (search, connect, firmware, 224). The stored words, conversion values
  // and settings are then those the start-up leaves, though none of its words was sent: the
  // chip keeps what it holds, and a run's preparation sends the words it needs. Runs once, and
  // startUp is refused after it.
  Refusal connect(const std::filesystem::path& firmwarePath);
  // The current range and measure choice of the next run, composed as their lists compose them
  // but not sent: the run's preparation sends the PMU word that carries them.
  Refusal chooseForRun(CurrentRange range, MeasureSelect measure);
  // The /LOAD requests one at a time for such a face, which cannot know the line's level (an
  // earlier session may have left it either way): 222 alone, without the box's 226 after it;
  // 226 (high) or 227 (low) sent whatever the line was believed to be.
  Refusal sendLoadPulse();
  Refusal driveLoad(bool high);

  // ---- stored words and conversion values ----
  const StoredWords& words() const { return words_; }
  const ConversionValues& conversion() const { return conversion_; }
  const measure::SweepState& sweepState() const { return sweep_; }
  // A raw serial word (0..0x1FFFFFFF) as typed; no stored word changes.
  Refusal sendWord(std::int32_t word);
  // The channels that PMU and DAC words address (bit i: PMU i); nothing is sent.
  Refusal setChannels(std::uint8_t channels);
  // The write buttons: the stored system word, or the PMU word with the present channels.
  Refusal writeSystemWord();
  Refusal writePmuWord();
  // A field no shared setting owns, composed and sent at once as the PMU control window does:
  // force mode, system force/sense, FIN, clamp, comparator output, enable, the range codes 5
  // and 6 ("always on external range"); guard, alarms, clamp and comparator enables, DUTGND,
  // the 10k force/sense switch. Fields of a shared setting are refused: use its setter.
  Refusal setPmuField(PmuField field, std::uint32_t value);
  Refusal setSystemField(SysField field, std::uint32_t value);
  // A DAC register of the selected channels (the register window's DAC page), kept as dacWord.
  Refusal writeDac(DacGroup group, int level, DacRegister reg, std::uint16_t code);
  // The reference the conversions use, above 0 and at most 5 V; nothing is sent.
  Refusal setVref(float volts);
  // A read request and its 24-bit reply; the ADC reading (232, 233); the current-measure gain
  // from the system control readback. Empty when refused.
  std::optional<std::uint32_t> readBack(std::int32_t requestWord);
  std::optional<std::uint16_t> readAdc();
  std::optional<float> readMiGain();

  // The register window composes its words field by field and sends them with its WRITE
  // buttons, and the MEASOUT warning changes the gain bits for the next system write: `edit`
  // changes the stored words, nothing is sent and no setting changes (settings change through
  // their setters, which compose their own fields).
  void composeWords(const std::function<void(StoredWords&)>& edit);
  // A PMU word as composed by a face: sent only when it carries a channel bit (bits 24..27), as
  // a word without one would reach the chip as a system control write.
  Refusal sendPmu(std::int32_t word);

  // Several fields of one register composed together and sent as one word, checked as the
  // one-field calls check them: one refused field refuses all, and nothing is sent then.
  Refusal setPmuFields(const std::vector<std::pair<PmuField, std::uint32_t>>& fields);
  Refusal setSystemFields(const std::vector<std::pair<SysField, std::uint32_t>>& fields);

  // ---- the PMU control window's force level (bench_levels.cpp) ----
  // The same words as the window: its force list (every choice), Enter in its force level
  // field (volts while forcing voltage, else uA on ranges 0..2 and mA on 3 and 4), its FIN
  // DAC and OFFSET DAC code fields, Enter in its sense resistor field. The current range is
  // the shared one; the window's VREF is setVref.
  const PmuControlState& pmuControl() const { return pmuControl_; }
  Refusal chooseForce(int entry);
  Refusal enterForceLevel(float level);
  Refusal enterFinCode(std::int32_t code);
  Refusal enterOffsetCode(std::int32_t code);
  Refusal enterExternalOhms(double ohms);

  // ---- shared settings ----
  const Observable<CurrentRange>& currentRange() const { return currentRange_; }
  const Observable<MeasureSelect>& measure() const { return measure_; }
  const Observable<CompareMode>& compare() const { return compare_; }
  const Observable<CurrentGain>& currentGain() const { return currentGain_; }
  const Observable<MeasoutGain>& measoutGain() const { return measoutGain_; }
  const Observable<ThermalShutdown>& thermal() const { return thermal_; }
  const Observable<AlarmLatch>& alarmLatch() const { return alarmLatch_; }
  const Observable<std::uint8_t>& sweepChannels() const { return sweepChannels_; }
  const Observable<int>& cycleDelay() const { return cycleDelay_; }
  const Observable<int>& sampleDelay() const { return sampleDelay_; }
  SettingValues settings() const;

  // A new value composes the words every window composes for it today and sends the PMU
  // control window's word: the PMU word (range, measure, compare) or the system control word
  // (gains, thermal shutdown, latch). The value already held sends nothing and tells nobody.
  Refusal setCurrentRange(CurrentRange range);
  Refusal setMeasure(MeasureSelect measure);
  Refusal setCompare(CompareMode mode);
  Refusal setCurrentGain(CurrentGain gain);
  Refusal setMeasoutGain(MeasoutGain gain);
  Refusal setThermal(ThermalShutdown thermal);
  Refusal setAlarmLatch(AlarmLatch latch);
  // The sweep window's selections; nothing is sent. Its channel boxes also replace the PMU
  // word's channel bits; a sample delay repeats the present cycle delay's choice first.
  Refusal setSweepChannels(std::uint8_t channels);
  Refusal setCycleDelay(int item);
  Refusal setSampleDelay(int item);

  // The setting's present value as an index of the view's list (nullopt: the view keeps
  // what it shows), and a choice of item `index` in that list. Choosing the item a list shows
  // again sends nothing, but in the PMU control window's lists, which send their register's
  // word on every choice.
  std::optional<int> indexIn(View view, Setting setting) const;
  Refusal chooseIn(View view, Setting setting, int index);

  // ---- runs: one at a time ----
  // Who has the board: "The voltage sweep is running." and the like; empty when nobody.
  const Observable<std::optional<std::string>>& holder() const { return holder_; }
  std::optional<std::string> busy() const { return holder_.value(); }
  // Start a run with the present settings; refused while another runs. The checks of the
  // entry fields come first; the run's own refusals (end below start, ...) come with its end.
  // `reference` is the sweep window's own VREF choice, which the run makes the shared VREF;
  // without it the run keeps the present VREF.
  Refusal startSweep(const measure::SweepRequest& request,
                     std::optional<float> reference = std::nullopt);
  Refusal startTimeRun(double forceVolts, std::optional<float> reference = std::nullopt);
  // The test window's load (system word twice, all-channel PMU word, CFF, CCOMP); the first
  // startChannelTest() runs it when no face did.
  Refusal loadChannelTest();
  Refusal startChannelTest();
  // Does the running run's work up to its next wait and returns the seconds to wait; empty
  // once it has ended (the board is free again) or when nothing runs.
  std::optional<double> advanceRun();
  // Advances the running run to its end, waiting on the clock.
  void runToEnd();
  // A sweep or time run ends at its next row; the channel test cannot be stopped.
  bool stopRun();
  // The last run of each kind, kept after it ended; nullptr before the first.
  const measure::SweepRun* sweepRun() const { return sweepRun_.get(); }
  const measure::TimeRun* timeRun() const { return timeRun_.get(); }
  const measure::ChannelTest& channelTest() const { return channelTest_; }

  // ---- traffic and saved state ----
  // Every vendor request after it went to the board, to any number of listeners.
  SubscriptionId observeTraffic(TrafficListener listener);
  bool stopObservingTraffic(SubscriptionId id);
  // What the chip holds, as followed from the traffic.
  const ChipImage& chip() const { return chip_; }
  BenchSnapshot snapshot() const;
  // The steps that bring a board to the snapshot's chip image (see restoreSteps).
  static std::vector<BoardStep> restorePlan(const BenchSnapshot& snapshot);
  // A saved setup (setup_file.h): the steps opening it sends, to show them first; and opening
  // it, which sends those steps and then takes its words, conversion values, sweep state and
  // settings without sending again, telling the settings' listeners. Refused, sending nothing,
  // while a run holds the board or for a value outside its setting.
  std::vector<BoardStep> setupPlan(const Setup& setup) const;
  Refusal applySetup(const Setup& setup);

 private:
  enum class Active { None, Sweep, TimeRun, ChannelTest };

  Bench(std::unique_ptr<board::BoardAccess> owned, board::BoardAccess* board,
        board::SimulatedBoard* simulated, board::Reporter& reporter, measure::Clock& clock);

  // kChannelTestRunning while the channel test runs: nothing may reach the board then.
  Refusal sendingRefused() const;
  Refusal sendPmuWord();
  void sendSystemWord();
  // A setting's change: refused while the channel test runs or for a value outside the
  // setting; nothing for the value held; else `apply` composes and sends, then the listeners
  // hear of it.
  template <typename T, typename Apply>
  Refusal change(Setting which, Observable<T>& setting, T value, Apply apply);
  void composeRange(CurrentRange range);
  void composeMeasure(MeasureSelect measure);
  void composePmuField(const FieldDef& field, std::uint32_t value);
  void composeSystem(std::int32_t word);
  void applySweepChannels();
  measure::RunContext runContext();
  // The run's VREF and range, or why the reference is refused.
  std::optional<measure::RunSettings> runSettings(std::optional<float> reference) const;
  // The run of `kind` has the board from now on.
  Refusal hold(Active kind);
  // The PMU control window's handlers that the level entry runs (bench_levels.cpp).
  Refusal runForceHandler(int entry);
  // Every setting takes its value from `v` (the sweep's channel bits too); nothing is sent, and
  // only the settings that change tell their listeners.
  void takeSettings(const SettingValues& v);
  // The PMU control window's range handler for `range`: composes it, shows it in the list,
  // sends the PMU word and, while forcing current, reads the gain back for the limits.
  Refusal runRangeHandler(CurrentRange range);
  Refusal chooseAgain(Setting setting);
  // A run's preparation, where the sweep window's handlers take part (see PreparationSteps).
  measure::Run::PreparationSteps runPreparation(bool sweepChannels);
  void takeRunSelections();
  void showVoltageRange();
  void showCurrentRange();
  void loadForceCode(std::int32_t code);

  std::unique_ptr<board::BoardAccess> ownedBoard_;
  board::SimulatedBoard* simulated_;
  measure::Clock& clock_;
  board::BoardLink link_;
  board::LinkWordSender sender_{link_};
  StoredWords words_;
  ConversionValues conversion_;
  measure::SweepState sweep_;
  ChipImage chip_;
  ListenerList<board::BoardLink::RequestRecord> traffic_;
  bool started_ = false;
  bool loadHigh_ = false;
  bool testLoaded_ = false;
  PmuControlState pmuControl_;

  Observable<CurrentRange> currentRange_{SettingValues{}.currentRange};
  Observable<MeasureSelect> measure_{SettingValues{}.measure};
  Observable<CompareMode> compare_{SettingValues{}.compare};
  Observable<CurrentGain> currentGain_{SettingValues{}.currentGain};
  Observable<MeasoutGain> measoutGain_{SettingValues{}.measoutGain};
  Observable<ThermalShutdown> thermal_{SettingValues{}.thermal};
  Observable<AlarmLatch> alarmLatch_{SettingValues{}.alarmLatch};
  Observable<std::uint8_t> sweepChannels_{SettingValues{}.sweepChannels};
  Observable<int> cycleDelay_{SettingValues{}.cycleDelay};
  Observable<int> sampleDelay_{SettingValues{}.sampleDelay};
  Observable<std::optional<std::string>> holder_{std::nullopt};

  Active active_ = Active::None;
  std::unique_ptr<measure::SweepRun> sweepRun_;
  std::unique_ptr<measure::TimeRun> timeRun_;
  measure::ChannelTest channelTest_;
};

}  // namespace kv4410::bench
