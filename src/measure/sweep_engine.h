#pragma once
// The voltage sweep and the measurement versus time. Both runs are objects that are advanced one
// step at a time: each advance() does the board work up to the run's next wait (a word, a
// reading, a row) and returns how long to wait before the next advance. The GUI advances a run
// from its event loop, the CLI in a plain loop, tests with a fake clock; nothing here waits long
// and nothing runs an event loop.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "device/stored_words.h"
#include "measure/run_delays.h"
#include "measure/run_fields.h"

namespace kv4410::measure {

class Clock;

enum class MeasureMode : std::int16_t { Voltage = 0, Current = 1 };

// The state the runs share with the windows, beside the stored words and conversion values.
struct SweepState {
  std::int32_t sweepChanBits = 0;  // bits 24..27: PMU CH SELECT of the sweep window
  std::int32_t sweepPmuWord = 0;   // the PMU word a run sends
  MeasureMode measureMode = MeasureMode::Voltage;
  RunDelays delays;
};

// CURRENT RANGE handler on a PMU word: bits 15..17 cleared and set to the range code 0..4.
std::int32_t withSweepRange(std::int32_t word, int rangeIndex);
// MEASURE handler on a PMU word: bits 0..6, 13, 14 (and 28..31) cleared (AND 0x0FFF9F80); bit 13
// set for measure voltage.
std::int32_t withSweepMeasure(std::int32_t word, MeasureMode mode);
// Sense resistance of a current range index 0..4: 200000, 50000, 5000, 500, 100 ohms.
float senseResistance(int rangeIndex);

struct RunSettings {
  float vref = 5.0F;   // from the VREF option buttons: 5 or 2.5
  int rangeIndex = 0;  // CURRENT RANGE item 0..4
};

// One step of the voltage sweep.
struct SweepPoint {
  double dacCode = 0.0;
  double forcedVolts = 0.0;  // 4.5 * VREF * code / 65536 - Voff
  double adcVolts = 0.0;     // a * LSB
  double current = 0.0;      // (5 * a * LSB - Voff) / (MI gain * R), measure-current mode only
  double voltage = 0.0;      // 5 * a * LSB - Voff, measure-voltage mode only
};

// One sample of the time run.
struct TimeSample {
  double adcVolts = 0.0;
  double measured = 0.0;
  double time = 0.0;
};

// What both runs talk to. The references must outlive the run.
struct RunContext {
  board::BoardLink& link;
  WordSender& sender;  // SPIout
  StoredWords& words;
  ConversionValues& conversion;
  SweepState& sweep;
  Clock& clock;
};

// The common part of both runs.
class Run {
 public:
  // BoardLost: the board stopped answering (no device, or three failed transfers in a row)
  // and the run ended there, keeping the rows measured before.
  enum class State { NotStarted, Running, Finished, Stopped, Refused, BoardLost };

  virtual ~Run() = default;
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Does the work up to the next wait; returns the seconds to wait before the next advance, or
  // nullopt once the run has ended (finished, stopped, refused or board lost). Waits shorter than
  // kInlineWaitLimit that are not preceded by a row are waited inside the advance.
  std::optional<double> advance();
  // The run ends at its next row: what was measured is kept, and min and max cover it.
  void stop() { stopRequested_ = true; }

  // What a window does inside the preparation, where its own controls take part: `channels`
  // (the sweep's PMU 0 box) runs right after the readbacks, before the run's PMU word is
  // composed; `selections` (the range and measure handlers, which also show the choices in the
  // other windows) runs after it was composed and before it is sent. Set before the first
  // advance; a run without them composes the same word by itself.
  struct PreparationSteps {
    std::function<void()> channels;
    std::function<void()> selections;
  };
  void setPreparationSteps(PreparationSteps steps) { steps_ = std::move(steps); }

  State state() const { return state_; }
  bool ended() const {
    return state_ == State::Finished || state_ == State::Stopped || state_ == State::Refused ||
           state_ == State::BoardLost;
  }
  // Set when the run was refused after its preparation (end below start, a code outside
  // 0..0xFFFF, a step code of 0); nothing beyond the preparation words was sent.
  const std::optional<Refusal>& refusal() const { return refusal_; }

  // The result list: the header line, one tab-separated row per step (and for the time run the
  // "min<TAB>max" line at the end).
  const std::vector<std::string>& lines() const { return lines_; }
  // The measured series to plot (current or voltage per the measure mode), one per row so far.
  virtual std::vector<double> series() const = 0;
  // Row `row` of that series (row < rows()), for a view that draws only what is new.
  virtual double measuredAt(std::size_t row) const = 0;
  virtual std::size_t rows() const = 0;
  std::size_t stepsDone() const { return stepsDone_; }
  std::size_t stepsPlanned() const { return stepsPlanned_; }

  // For the READ and WRITE fields: the last ADC code and the next word, as the run shows them.
  std::uint16_t lastAdcCode() const { return lastAdcCode_; }
  std::int32_t writeWord() const { return writeWord_; }

  // Min and max of the measured series (single precision), valid once the run has ended with
  // at least one row.
  float min() const { return min_; }
  float max() const { return max_; }

  // From the preparation's readbacks.
  std::int32_t offsetCode() const { return offsetCode_; }
  float miGain() const { return miGain_; }

  // Readings whose transfer (request 232 or the ADC read) failed; they are kept in the rows.
  std::size_t failedReadings() const { return failedReadings_; }
  int lastFailedStatus() const { return lastFailedStatus_; }
  // Per row of the list (not the header nor the min/max line), in order: 0 for a good reading,
  // else the board status of its failed transfer.
  const std::vector<int>& rowStatuses() const { return rowStatuses_; }
  // In the BoardLost state: the status of the transfer after which the board was given up.
  int lostStatus() const { return lostStatus_; }

 protected:
  Run(const RunContext& context, RunSettings settings);
  // One advance of the concrete run, in the NotStarted or Running state.
  virtual std::optional<double> step() = 0;
  // The preparation words and readbacks both runs share: G1 set in sysWord and sent, OFFSET
  // read back (0x1FC00000, reply - 0xC00000), MI gain from the system readback (0x10000000).
  void readOffsetAndGain();
  // Request 232 and the ADC read; counts a failed transfer and keeps its status in `status`
  // (0 when both went through). nullopt when the board was lost on the way: the run has then
  // ended, and after a lost request 232 the ADC read is not sent.
  std::optional<std::uint16_t> readAdc(int& status);
  // The link's request counters, taken before a transfer of the measuring part.
  struct TransferMark {
    std::uint64_t requests = 0;
    std::uint64_t failures = 0;
  };
  TransferMark transferMark() const;
  // After each transfer of the measuring part: a failure with no device (3001), or the third
  // failure in a row, ends the run as BoardLost (true). A word the sender did not pass on to the
  // board is no transfer.
  bool boardLostSince(TransferMark before);
  void finish(State endState);  // computes min and max over the series
  // Lines a run adds to its list when it ends with at least one row (the time run's min/max).
  virtual void addClosingLines() {}
  void refuse(EntryField field, std::string message);
  // The wait that started at `waitStart_`: waited here when what is left is short, otherwise
  // the rest is returned for the driver to wait. nullopt: the wait is over.
  std::optional<double> restOfWait();
  void startWait(double seconds);
  // The measured value of a reading a: current (measure current) or voltage.
  double measuredValue(std::uint16_t a, double& adcVoltsOut) const;
  // A row's sample time and the cycle step, in single precision.
  float sampleTime_ = 0.0F;

  // Runs a preparation step when the window gave one.
  static void take(const std::function<void()>& step) {
    if (step) {
      step();
    }
  }

  RunContext context_;
  RunSettings settings_;
  PreparationSteps steps_;
  State state_ = State::NotStarted;
  bool stopRequested_ = false;
  std::optional<Refusal> refusal_;
  std::vector<std::string> lines_;
  std::size_t stepsDone_ = 0;
  std::size_t stepsPlanned_ = 0;
  std::uint16_t lastAdcCode_ = 0;
  std::int32_t writeWord_ = 0;
  float min_ = 0.0F;
  float max_ = 0.0F;
  std::int32_t offsetCode_ = 0;
  float miGain_ = 10.0F;
  float vref_ = 5.0F;
  float senseOhms_ = 200000.0F;
  double offsetVolts_ = 0.0;
  MeasureMode mode_ = MeasureMode::Voltage;
  double waitStart_ = 0.0;
  double waitSeconds_ = 0.0;
  std::size_t failedReadings_ = 0;
  int lastFailedStatus_ = 0;
  std::optional<board::BoardLink::QuickTransfers> quickTransfers_;
  std::vector<int> rowStatuses_;
  int consecutiveFailures_ = 0;
  int lostStatus_ = 0;
};

// The voltage sweep: preparation (G1, OFFSET, MI gain, the masked PMU word with range and
// measure codes), then one pass per step code from sc to ec, and a final point on ec when the
// last regular step fell more than half a step short of it. Up to 65536 points.
class SweepRun final : public Run {
 public:
  SweepRun(const RunContext& context, RunSettings settings, SweepRequest request);

  std::vector<double> series() const override;
  double measuredAt(std::size_t row) const override;
  std::size_t rows() const override { return points_.size(); }
  const std::vector<SweepPoint>& points() const { return points_; }  // the rows so far
  // The codes shown beside the voltage fields (valid after the preparation).
  std::int32_t startCode() const { return startCode_; }
  std::int32_t endCode() const { return endCode_; }
  std::int32_t stepCode() const { return stepCode_; }
  // The last step index n (the run has n + 1 points when it finishes).
  std::int32_t lastIndex() const { return lastIndex_; }
  // The point shown for a picked chart position x (step x - 1, clamped to the recorded points).
  std::optional<SweepPoint> pickedPoint(double x) const;

 private:
  std::optional<double> step() override;
  bool prepare();    // the preparation and the code checks; false when refused
  bool forceStep();  // sends the force word and starts the settling wait; false: board lost
  bool readStep();   // reads, adds the row, moves the code and word on; false: board lost
  enum class Phase { Force, Read };
  Phase phase_ = Phase::Force;
  SweepRequest request_;
  std::int32_t code_ = 0;     // k: the code of the next pass
  std::int32_t counter_ = 0;  // the loop counter from sc to ec in steps of st
  std::int32_t index_ = 0;    // i
  bool finalPass_ = false;    // the extra pass on ec is under way
  SweepPoint pending_;        // the point whose force word is out, until it is read

  std::vector<SweepPoint> points_;
  std::int32_t startCode_ = 0;
  std::int32_t endCode_ = 0;
  std::int32_t stepCode_ = 0;
  std::int32_t lastIndex_ = 0;
};

// The measurement versus time: 101 readings at one force code.
class TimeRun final : public Run {
 public:
  static constexpr int kSamples = 101;
  TimeRun(const RunContext& context, RunSettings settings, double forceVolts);

  std::vector<double> series() const override;
  double measuredAt(std::size_t row) const override { return samples_[row].measured; }
  std::size_t rows() const override { return samples_.size(); }
  const std::vector<TimeSample>& samples() const { return samples_; }
  std::int32_t forceCode() const { return forceCode_; }  // valid after the preparation
  // The sample shown for a picked position x (sample x, clamped to the recorded samples).
  std::optional<TimeSample> pickedSample(double x) const;

 private:
  std::optional<double> step() override;
  bool prepare();
  void addClosingLines() override;
  double forceVolts_;
  int index_ = 0;
  bool settling_ = false;  // the force word is out and the settling wait runs
  std::vector<TimeSample> samples_;
  std::int32_t forceCode_ = 0;
};

// The run's description for saved files (run_csv.h): the date and time, VREF, offset code,
// current range, measure mode, channels and delays.
struct RunDescription {
  std::string kind;      // "Voltage sweep" or "Measure versus time"
  std::string dateTime;  // local time, "2026-12-07 10:15:02"
  float vref = 5.0F;
  std::int32_t offsetCode = 0;
  int rangeIndex = 0;
  MeasureMode mode = MeasureMode::Voltage;
  std::int32_t channelBits = 0;
  RunDelays delays;
};
}  // namespace kv4410::measure
