#include "measure/sweep_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "board/board_link.h"
#include "device/conversions.h"
#include "device/text_format.h"
#include "measure/clock.h"

namespace kv4410::measure {

namespace {

constexpr std::int32_t kMeasoutGainBit = 0x80;           // G1: MEASOUT gain 0.2
constexpr std::int32_t kOffsetReadRequest = 0x1FC00000;  // x1 register of the OFFSET DAC
constexpr std::uint32_t kOffsetModeBits = 0xC00000;
constexpr std::int32_t kSystemReadRequest = 0x10000000;
constexpr std::int32_t kSweepPmuMask = 0x0F381FC0;
constexpr std::int32_t kRangeBits = 0x7 << 15;
constexpr std::int32_t kMeasureMask = 0x0FFF9F80;
constexpr std::int32_t kMeasureVoltageBit = 0x2000;
constexpr std::int32_t kFinVoltageWrite = 0x00CD0000;  // FIN DAC x1, "Voltage Range" level
constexpr std::int32_t kChannelAndFinBits = 0x0FCD0000;
constexpr std::int32_t kChannelBits = 0x0F000000;
constexpr std::int32_t kKeepAddress = 0x0FFF0000;
constexpr std::int32_t kMaxCode = 0xFFFF;
constexpr std::array<float, 5> kSenseOhms = {200000.0F, 50000.0F, 5000.0F, 500.0F, 100.0F};

std::string fixed(double value, int decimals) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
  return text.data();
}

// [(V + Voff) * 65536 / (4.5 * VREF)], or nullopt when it is not a 32-bit integer.
std::optional<std::int32_t> codeOfLevel(double volts, double offsetVolts, float vref) {
  return roundToInt32((volts + offsetVolts) * 65536.0 / (4.5 * static_cast<double>(vref)));
}

// The refusal of a level whose code falls outside the DAC's codes, with the range that exists.
std::string codeRangeMessage(const char* what, double volts, std::optional<std::int32_t> code,
                             float vref, std::int32_t offsetCode) {
  const RangeLimits range = voltageRangeLimits(vref, offsetCode);
  std::string text = std::string(what) + " of " + fixed(volts, 4) + " V needs DAC code ";
  text += code ? std::to_string(*code) : std::string("beyond every code");
  text += ", outside 0 to 65535 (0x0000 to 0xFFFF). With offset code 0x" + HexText(offsetCode) +
          " and VREF " + formatSingle(vref) + " V the forcing range is " +
          fixed(range.zeroScale, 4) + " V to " + fixed(range.fullScale, 4) + " V.";
  return text;
}

bool validCode(std::optional<std::int32_t> code) {
  return code && *code >= 0 && *code <= kMaxCode;
}

}  // namespace

// ---- words --------------------------------------------------------------------------------------

std::int32_t withSweepRange(std::int32_t word, int rangeIndex) {
  return (word & ~kRangeBits) | ((std::clamp(rangeIndex, 0, 4) << 15) & kRangeBits);
}

std::int32_t withSweepMeasure(std::int32_t word, MeasureMode mode) {
  return (word & kMeasureMask) | (mode == MeasureMode::Voltage ? kMeasureVoltageBit : 0);
}

float senseResistance(int rangeIndex) {
  return kSenseOhms[static_cast<std::size_t>(std::clamp(rangeIndex, 0, 4))];
}

// ---- the common part of both runs ----------------------------------------------------------

Run::Run(const RunContext& context, RunSettings settings)
    : context_(context), settings_(settings) {}

std::optional<double> Run::advance() {
  if (ended()) {
    quickTransfers_.reset();
    return std::nullopt;
  }
  if (stopRequested_) {
    finish(State::Stopped);
    quickTransfers_.reset();
    return std::nullopt;
  }
  // While the run goes on, a board that stops answering holds each transfer only briefly, so
  // one step (up to three transfers) never keeps the caller for long.
  if (!quickTransfers_) {
    quickTransfers_.emplace(context_.link);
  }
  const std::optional<double> wait = step();
  if (ended()) {
    quickTransfers_.reset();
  }
  return wait;
}

void Run::readOffsetAndGain() {
  StoredWords& words = context_.words;
  words.sysWord |= kMeasoutGainBit;
  context_.sender.SPIout(words.sysWord);
  context_.sender.SPIout(kOffsetReadRequest);
  const std::uint32_t offsetReply = context_.link.SPIRead();
  const int offsetStatus = context_.link.lastStatus();
  context_.sender.SPIout(kSystemReadRequest);
  const std::uint32_t systemReply = context_.link.SPIRead();
  const int systemStatus = context_.link.lastStatus();
  if (offsetStatus != 0 || systemStatus != 0) {
    // Without the offset code every code of the run would be wrong: nothing is forced.
    const int status = offsetStatus != 0 ? offsetStatus : systemStatus;
    const auto text = board::usbErrorText(status);
    refuse(EntryField::Board, std::string("The board did not answer the ") +
                                  (offsetStatus != 0 ? "offset" : "system") + " readback (" +
                                  (text ? std::string(*text) : "status " + std::to_string(status)) +
                                  "); nothing was forced.");
    lastFailedStatus_ = status;
    return;
  }
  offsetCode_ = static_cast<std::int32_t>(offsetReply) - static_cast<std::int32_t>(kOffsetModeBits);
  miGain_ = miGainFromReadback(systemReply);
  context_.conversion.miGain = miGain_;
}

std::optional<std::uint16_t> Run::readAdc(int& status) {
  board::BoardLink& link = context_.link;
  TransferMark before = transferMark();
  link.startAdc();
  status = link.lastStatus();
  if (boardLostSince(before)) {
    return std::nullopt;
  }
  before = transferMark();
  const std::uint16_t code = link.ReadADC();
  if (status == 0) {
    status = link.lastStatus();
  }
  if (boardLostSince(before)) {
    return std::nullopt;
  }
  if (status != 0) {
    ++failedReadings_;
    lastFailedStatus_ = status;
  }
  lastAdcCode_ = code;
  return code;
}

Run::TransferMark Run::transferMark() const {
  return {context_.link.requestCount(), context_.link.failedRequests()};
}

bool Run::boardLostSince(TransferMark before) {
  const board::BoardLink& link = context_.link;
  if (link.requestCount() == before.requests) {
    return false;
  }
  if (link.failedRequests() == before.failures) {
    consecutiveFailures_ = 0;
    return false;
  }
  ++consecutiveFailures_;
  // A board that was unplugged answers no request again; one that fails three times running
  // is taken as gone too, rather than spending the rest of the run on failed transfers.
  constexpr int kFailuresInARow = 3;
  const int status = link.lastStatus();
  if (status != board::status::kNoDeviceConnected && consecutiveFailures_ < kFailuresInARow) {
    return false;
  }
  lostStatus_ = status;
  finish(State::BoardLost);
  return true;
}

double Run::measuredValue(std::uint16_t a, double& adcVoltsOut) const {
  adcVoltsOut = adcVolts(a, vref_);
  const double volts = 5.0 * adcVoltsOut - offsetVolts_;
  if (mode_ == MeasureMode::Current) {
    return volts / static_cast<double>(miGain_ * senseOhms_);
  }
  return volts;
}

void Run::startWait(double seconds) {
  waitStart_ = context_.clock.now();
  waitSeconds_ = seconds;
}

std::optional<double> Run::restOfWait() {
  const double deadline = waitStart_ + waitSeconds_;
  const double now = context_.clock.now();
  if (now > deadline) {
    return std::nullopt;
  }
  const double rest = deadline - now;
  if (rest >= kInlineWaitLimit) {
    return rest;
  }
  context_.clock.waitUntil(deadline);
  return std::nullopt;
}

void Run::refuse(EntryField field, std::string message) {
  refusal_ = Refusal{field, std::move(message)};
  state_ = State::Refused;
}

void Run::finish(State endState) {
  state_ = endState;
  const std::vector<double> values = series();
  if (values.empty()) {
    return;
  }
  min_ = toSingle(values.front());
  max_ = min_;
  for (const double v : values) {
    const float s = toSingle(v);
    if (s > max_) {
      max_ = s;
    }
    if (s < min_) {
      min_ = s;
    }
  }
  addClosingLines();
}

// ---- the voltage sweep ---------------------------------------------------------------------

SweepRun::SweepRun(const RunContext& context, RunSettings settings, SweepRequest request)
    : Run(context, settings), request_(request) {}

std::vector<double> SweepRun::series() const {
  std::vector<double> values;
  values.reserve(points_.size());
  for (std::size_t row = 0; row < points_.size(); ++row) {
    values.push_back(measuredAt(row));
  }
  return values;
}

double SweepRun::measuredAt(std::size_t row) const {
  const SweepPoint& p = points_[row];
  return mode_ == MeasureMode::Current ? p.current : p.voltage;
}

std::optional<SweepPoint> SweepRun::pickedPoint(double x) const {
  const auto i = roundToInt32(x - 1.0);
  if (!i || points_.empty()) {
    return std::nullopt;
  }
  return points_[static_cast<std::size_t>(
      std::clamp<std::int32_t>(*i, 0, static_cast<std::int32_t>(points_.size()) - 1))];
}

bool SweepRun::prepare() {
  SweepState& sweep = context_.sweep;
  if ((sweep.sweepChanBits & kChannelBits) == 0) {
    refuse(EntryField::Channels, "Select at least one channel under PMU CH SELECT.");
    return false;
  }
  readOffsetAndGain();
  if (refusal_) {
    return false;
  }
  take(steps_.channels);
  sweep.sweepPmuWord = (sweep.sweepChanBits | context_.words.pmuWord) & kSweepPmuMask;
  take(steps_.selections);
  mode_ = sweep.measureMode;
  sweep.sweepPmuWord =
      withSweepMeasure(withSweepRange(sweep.sweepPmuWord, settings_.rangeIndex), sweep.measureMode);
  context_.conversion.rangeIndex = static_cast<std::int16_t>(settings_.rangeIndex);
  const TransferMark pmuMark = transferMark();
  context_.sender.SPIout(sweep.sweepPmuWord);
  if (boardLostSince(pmuMark)) {
    return false;
  }
  senseOhms_ = senseResistance(settings_.rangeIndex);

  if (request_.endVolts < request_.startVolts) {
    refuse(EntryField::Start, kEndBelowStart);
    return false;
  }
  vref_ = settings_.vref;
  context_.conversion.vref = vref_;
  offsetVolts_ = offsetVoltage(vref_, offsetCode_);
  const auto sc = codeOfLevel(request_.startVolts, offsetVolts_, vref_);
  const auto ec = codeOfLevel(request_.endVolts, offsetVolts_, vref_);
  const auto st = roundToInt32(65536.0 * (request_.stepMillivolts * 0.001) /
                               (4.5 * static_cast<double>(vref_)));
  if (!validCode(sc)) {
    refuse(EntryField::Start,
           codeRangeMessage("Start Voltage", request_.startVolts, sc, vref_, offsetCode_));
    return false;
  }
  if (!validCode(ec)) {
    refuse(EntryField::End,
           codeRangeMessage("End Voltage", request_.endVolts, ec, vref_, offsetCode_));
    return false;
  }
  if (!st || *st <= 0) {
    refuse(EntryField::Step, "A step of " + formatDouble(request_.stepMillivolts) +
                                 " mV is less than half a DAC code (one code is " +
                                 fixed(4.5 * static_cast<double>(vref_) / 65536.0 * 1000.0, 4) +
                                 " mV). Please enter a larger step.");
    return false;
  }
  startCode_ = *sc;
  endCode_ = *ec;
  stepCode_ = *st;
  writeWord_ = ((sweep.sweepChanBits & kChannelAndFinBits) | kFinVoltageWrite) | startCode_;
  sampleTime_ = sweep.delays.settle;
  // n = [(ec - sc) / st]: the run has n + 1 points, the last of them on ec when n was rounded up.
  lastIndex_ = *roundToInt32(static_cast<double>(endCode_ - startCode_) / stepCode_);
  stepsPlanned_ = static_cast<std::size_t>(lastIndex_) + 1;
  points_.clear();
  points_.reserve(stepsPlanned_);
  index_ = 0;
  code_ = startCode_;
  counter_ = startCode_;
  lines_.push_back(std::string("temp\tSWEEPDAC\tDACCODE(TEMP)\tVoltage\tADC\tADC Measured "
                               "Voltage\t") +
                   (mode_ == MeasureMode::Current ? "Measure Current" : "Measured Voltage") +
                   "\tsample time");
  return true;
}

bool SweepRun::forceStep() {
  pending_ = SweepPoint{};
  pending_.dacCode = code_;
  pending_.forcedVolts = voltageOfCode(code_, vref_, offsetCode_);
  code_ += stepCode_;
  const TransferMark before = transferMark();
  context_.sender.SPIout(writeWord_);
  if (boardLostSince(before)) {
    return false;
  }
  startWait(context_.sweep.delays.settle);
  return true;
}

bool SweepRun::readStep() {
  const std::int32_t sentWord = writeWord_;
  int status = 0;
  const auto read = readAdc(status);
  if (!read) {
    return false;
  }
  const std::uint16_t a = *read;
  rowStatuses_.push_back(status);
  SweepPoint& p = points_.emplace_back(pending_);
  const double value = measuredValue(a, p.adcVolts);
  (mode_ == MeasureMode::Current ? p.current : p.voltage) = value;
  lines_.push_back(std::to_string(index_) + "\t" + std::to_string(sentWord) + "\t" +
                   formatDouble(p.dacCode) + "\t" + formatDouble(p.forcedVolts) + "\t" +
                   std::to_string(a) + "\t" + formatDouble(p.adcVolts) + "\t" +
                   formatDouble(value) + "\t" + formatSingle(sampleTime_));
  sampleTime_ += context_.sweep.delays.cycle;
  if (code_ > endCode_) {
    code_ = endCode_;
    writeWord_ = (writeWord_ & kKeepAddress) | endCode_;
  } else {
    writeWord_ += stepCode_;
  }
  ++stepsDone_;
  ++index_;
  startWait(context_.sweep.delays.remainder);
  return true;
}

std::optional<double> SweepRun::step() {
  if (state_ == State::NotStarted) {
    state_ = State::Running;
    if (!prepare()) {
      return std::nullopt;
    }
  } else if (phase_ == Phase::Force) {
    // The remainder wait after the last row.
    if (const auto rest = restOfWait()) {
      return rest;
    }
  }
  if (phase_ == Phase::Force) {
    if (finalPass_) {
      finish(State::Finished);
      return std::nullopt;
    }
    if (counter_ > endCode_) {
      // The regular passes are done; one more on ec when the last one fell short of it.
      if (index_ != lastIndex_) {
        finish(State::Finished);
        return std::nullopt;
      }
      finalPass_ = true;
      code_ = endCode_;
      writeWord_ = (writeWord_ & kKeepAddress) | endCode_;
    } else {
      counter_ += stepCode_;
    }
    if (!forceStep()) {
      return std::nullopt;
    }
    phase_ = Phase::Read;
  }
  if (const auto rest = restOfWait()) {
    return rest;
  }
  if (!readStep()) {
    return std::nullopt;
  }
  phase_ = Phase::Force;
  // The row is a yield point: the driver runs (or the CLI prints) before the remainder wait.
  return std::max(0.0, waitStart_ + waitSeconds_ - context_.clock.now());
}

// ---- the measurement versus time -----------------------------------------------------------

TimeRun::TimeRun(const RunContext& context, RunSettings settings, double forceVolts)
    : Run(context, settings), forceVolts_(forceVolts) {}

std::vector<double> TimeRun::series() const {
  std::vector<double> values;
  values.reserve(samples_.size());
  for (std::size_t row = 0; row < samples_.size(); ++row) {
    values.push_back(measuredAt(row));
  }
  return values;
}

std::optional<TimeSample> TimeRun::pickedSample(double x) const {
  const auto i = roundToInt32(x);
  if (!i || samples_.empty()) {
    return std::nullopt;
  }
  return samples_[static_cast<std::size_t>(
      std::clamp<std::int32_t>(*i, 0, static_cast<std::int32_t>(samples_.size()) - 1))];
}

bool TimeRun::prepare() {
  SweepState& sweep = context_.sweep;
  if ((sweep.sweepChanBits & kChannelBits) == 0) {
    refuse(EntryField::Channels, "Select at least one channel under PMU CH SELECT.");
    return false;
  }
  readOffsetAndGain();
  if (refusal_) {
    return false;
  }
  sweep.sweepPmuWord = context_.words.pmuWord | sweep.sweepChanBits;
  take(steps_.selections);
  mode_ = sweep.measureMode;
  sweep.sweepPmuWord =
      withSweepMeasure(withSweepRange(sweep.sweepPmuWord, settings_.rangeIndex), sweep.measureMode);
  context_.conversion.rangeIndex = static_cast<std::int16_t>(settings_.rangeIndex);
  const TransferMark pmuMark = transferMark();
  context_.sender.SPIout(sweep.sweepPmuWord);
  if (boardLostSince(pmuMark)) {
    return false;
  }
  // The chip measures on the chosen range, so the currents are converted with its resistor.
  senseOhms_ = senseResistance(settings_.rangeIndex);

  // The routine reads the offset code once more for itself.
  context_.words.sysWord |= kMeasoutGainBit;
  context_.sender.SPIout(context_.words.sysWord);
  context_.sender.SPIout(kOffsetReadRequest);
  const std::uint32_t reply = context_.link.SPIRead();
  if (const int status = context_.link.lastStatus(); status != 0) {
    const auto text = board::usbErrorText(status);
    refuse(EntryField::Board, "The board did not answer the offset readback (" +
                                  (text ? std::string(*text) : "status " + std::to_string(status)) +
                                  "); nothing was forced.");
    lastFailedStatus_ = status;
    return false;
  }
  offsetCode_ = static_cast<std::int32_t>(reply) - static_cast<std::int32_t>(kOffsetModeBits);
  vref_ = settings_.vref;
  context_.conversion.vref = vref_;
  offsetVolts_ = offsetVoltage(vref_, offsetCode_);
  const auto f = codeOfLevel(forceVolts_, offsetVolts_, vref_);
  if (!validCode(f)) {
    refuse(EntryField::Force,
           codeRangeMessage("FORCE VOLTAGE", forceVolts_, f, vref_, offsetCode_));
    return false;
  }
  forceCode_ = *f;
  writeWord_ = ((sweep.sweepChanBits & kChannelBits) | kFinVoltageWrite) | forceCode_;
  sampleTime_ = sweep.delays.settle;
  stepsPlanned_ = kSamples;
  samples_.clear();
  samples_.reserve(kSamples);
  lines_.push_back(std::string("temp\tADC\tADC Measured Voltage\t") +
                   (mode_ == MeasureMode::Current ? "Measure Current" : "Measured voltage") +
                   "\tsample time");
  const TransferMark forceMark = transferMark();
  context_.sender.SPIout(writeWord_);
  return !boardLostSince(forceMark);
}

std::optional<double> TimeRun::step() {
  if (state_ == State::NotStarted) {
    state_ = State::Running;
    if (!prepare()) {
      return std::nullopt;
    }
    settling_ = true;
    startWait(context_.sweep.delays.settle);
  } else if (!settling_) {
    // The remainder wait after the last row, then the settling wait before the next reading.
    if (const auto rest = restOfWait()) {
      return rest;
    }
    if (index_ == kSamples) {
      finish(State::Finished);
      return std::nullopt;
    }
    settling_ = true;
    startWait(context_.sweep.delays.settle);
  }
  if (const auto rest = restOfWait()) {
    return rest;
  }
  settling_ = false;
  int status = 0;
  const auto read = readAdc(status);
  if (!read) {
    return std::nullopt;
  }
  const std::uint16_t a = *read;
  rowStatuses_.push_back(status);
  TimeSample s;
  s.measured = measuredValue(a, s.adcVolts);
  s.time = sampleTime_;
  samples_.push_back(s);
  lines_.push_back(std::to_string(index_) + "\t" + std::to_string(a) + "\t" +
                   formatDouble(s.adcVolts) + "\t" + formatDouble(s.measured) + "\t" +
                   formatSingle(sampleTime_));
  sampleTime_ += context_.sweep.delays.cycle;
  ++stepsDone_;
  ++index_;
  startWait(context_.sweep.delays.remainder);
  return std::max(0.0, waitStart_ + waitSeconds_ - context_.clock.now());
}

void TimeRun::addClosingLines() {
  lines_.push_back(formatSingle(min_) + "\t" + formatSingle(max_));
}

}  // namespace kv4410::measure
