#include "bench/bench.h"

#include <stdexcept>
#include <utility>

#include "device/conversions.h"

namespace kv4410::bench {

namespace {

// The chip's start-up state: system control word (all clamps and comparators on, comparator
// bias, clamp alarm, MEASOUT gain 0.2, thermal shutdown at 130 degC) and PMU word (enabled,
// force voltage, +-2mA, measure voltage, FIN connected, clamp and comparator output on).
constexpr std::int32_t kStartUpSysWord = 0x003FE4A0;
constexpr std::int32_t kStartUpPmuWord = 0x0F21B300;
constexpr std::int32_t kAllChannels = 0x0F000000;
// Clearing a system control field clears bits 28..31 too: they never belong to the word.
constexpr std::int32_t kClearHighBits = 0x0FFFFFFF;
constexpr std::int32_t kSystemReadRequest = 0x10000000;
constexpr std::uint8_t kChannelsMax = 0x0F;
constexpr float kVrefMax = 5.0F;
constexpr const char* kVrefOutOfRange =
    "Number too large. Please reenter voltage between 0V and +5V.";
// The PMU range codes that switch "always on external range" without choosing a range.
constexpr std::uint32_t kExtRangeOff = 5;
constexpr std::uint32_t kExtRangeOn = 6;

std::int32_t withField(std::int32_t word, const FieldDef& field, std::uint32_t value) {
  return static_cast<std::int32_t>(composeField(static_cast<std::uint32_t>(word), field, value));
}

std::int32_t channelBits(std::uint8_t channels) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(channels) << 24);
}

constexpr const char* kSharedSettingField =
    "That field belongs to a shared setting; choose it there.";

// A value wider than its field.
Refusal valueRefusal(const FieldDef& f, std::uint32_t value) {
  if (value > (f.mask() >> f.lowBit)) {
    return "The field " + std::string(f.key) + " takes 0 to " +
           std::to_string(f.mask() >> f.lowBit) + ".";
  }
  return std::nullopt;
}

std::string noSuch(Setting which, int value) {
  return "There is no " + std::string(settingName(which)) + " " + std::to_string(value) + ".";
}

}  // namespace

Bench::Bench(board::BoardAccess& board, board::Reporter& reporter, measure::Clock& clock)
    : Bench(nullptr, &board, nullptr, reporter, clock) {}

Bench::Bench(board::OpenedBoard board, board::Reporter& reporter, measure::Clock& clock)
    : Bench(std::move(board.access), nullptr, board.simulated, reporter, clock) {}

Bench::Bench(std::unique_ptr<board::BoardAccess> owned, board::BoardAccess* board,
             board::SimulatedBoard* simulated, board::Reporter& reporter, measure::Clock& clock)
    : ownedBoard_(std::move(owned)),
      simulated_(simulated),
      clock_(clock),
      link_(ownedBoard_
                ? *ownedBoard_
                : (board != nullptr ? *board : throw std::invalid_argument("Bench needs a board")),
            reporter),
      channelTest_(words_, conversion_, sender_, link_, clock_) {
  sweep_.sweepChanBits = channelBits(sweepChannels_.value());
  link_.setRequestObserver([this](const board::BoardLink::RequestRecord& record) {
    chip_.take(record);
    traffic_.notify(record);
  });
}

Bench::~Bench() {
  link_.setRequestObserver(nullptr);
}

// ---- the board ------------------------------------------------------------------------------

Refusal Bench::startUp(const std::filesystem::path& firmwarePath) {
  if (started_) {
    return std::string("The board was started already.");
  }
  started_ = true;
  link_.LoadUSB(firmwarePath);

  // The system control register, written twice.
  words_.sysWord |= kStartUpSysWord;
  sender_.SPIout(words_.sysWord);
  sender_.SPIout(words_.sysWord);

  // The first selections compose the PMU word; no channel is selected yet, so none of the PMU
  // words composed here goes out. The range list reaches the PMU control window first, whose
  // start-up chooses force voltage and measure current and writes the FIN DAC for 0 V: with
  // no channel bit, the chip takes that word for no register at all.
  composeRange(CurrentRange::Range2mA);
  conversion_.vref = 5.0F;
  composePmuField(field(PmuField::Force), 0);
  composeMeasure(MeasureSelect::Current);
  const std::optional<std::int32_t> zeroVolts =
      codeForVoltage(0.0, conversion_.vref, kDefaultOffsetCode);
  words_.dacWord =
      composePmuWindowDacWord(zeroVolts.value_or(0), kModeX1, kFinDacBase, words_.chanBits,
                              ForceSelection::Voltage, static_cast<int>(CurrentRange::Range2mA));
  sender_.SPIout(words_.dacWord);
  composeMeasure(MeasureSelect::Voltage);
  composePmuField(field(PmuField::Compare), static_cast<std::uint32_t>(CompareMode::Current));

  // The system page's boxes: guard function and guard alarm off, clamp alarm on, the 10k
  // force/sense switch open, DUTGND per device. Each of its four lists then reaches the PMU
  // control window, which sends the system word.
  composeSystem(withField(words_.sysWord, field(SysField::GuardEn), 0));
  composeSystem(withField(words_.sysWord, field(SysField::GuardAlarm), 0));
  composeSystem(withField(words_.sysWord, field(SysField::ClampAlarm), 1));
  composeSystem(withField(words_.sysWord, field(SysField::ForceSense10k), 0));
  composeSystem(withField(words_.sysWord, field(SysField::Dutgnd), 0));
  const SettingValues start;
  composeSystem(static_cast<std::int32_t>(composeMeasoutGainList(
      static_cast<std::uint32_t>(words_.sysWord), static_cast<int>(start.measoutGain))));
  sendSystemWord();
  composeSystem(
      withField(words_.sysWord, field(SysField::Gain0), static_cast<int>(start.currentGain)));
  sendSystemWord();
  composeSystem(static_cast<std::int32_t>(composeThermalList(
      static_cast<std::uint32_t>(words_.sysWord), static_cast<int>(start.thermal))));
  sendSystemWord();
  composeSystem(static_cast<std::int32_t>(composeLatchList(
      static_cast<std::uint32_t>(words_.sysWord), static_cast<int>(start.alarmLatch))));
  sendSystemWord();

  // All four channels, and every channel's PMU register.
  words_.chanBits = kAllChannels;
  words_.pmuWord |= kStartUpPmuWord;
  Refusal refusal = sendPmuWord();

  // Compensation switches: 220pF feed-forward, 100pF compensation.
  link_.setCFeedforward(1);
  link_.setCComp(1);

  takeSettings(start);
  return refusal;
}

void Bench::takeSettings(const SettingValues& v) {
  sweep_.sweepChanBits = channelBits(v.sweepChannels);
  currentRange_.set(v.currentRange);
  measure_.set(v.measure);
  compare_.set(v.compare);
  currentGain_.set(v.currentGain);
  measoutGain_.set(v.measoutGain);
  thermal_.set(v.thermal);
  alarmLatch_.set(v.alarmLatch);
  sweepChannels_.set(v.sweepChannels);
  cycleDelay_.set(v.cycleDelay);
  sampleDelay_.set(v.sampleDelay);
}

Refusal Bench::connect(const std::filesystem::path& firmwarePath) {
  if (started_) {
    return std::string("The board was started already.");
  }
  started_ = true;
  link_.LoadUSB(firmwarePath);
  // What the start-up leaves composed: the PMU control window's FIN DAC word for 0 V on no
  // channel, the system control word, all four channels with the start-up PMU word (2 mA,
  // measure voltage), and the sweep's word following the range and measure lists.
  conversion_.vref = 5.0F;
  const std::optional<std::int32_t> zeroVolts =
      codeForVoltage(0.0, conversion_.vref, kDefaultOffsetCode);
  words_.dacWord =
      composePmuWindowDacWord(zeroVolts.value_or(0), kModeX1, kFinDacBase, 0,
                              ForceSelection::Voltage, static_cast<int>(CurrentRange::Range2mA));
  words_.sysWord = kStartUpSysWord;
  words_.chanBits = kAllChannels;
  words_.pmuWord = kStartUpPmuWord;
  composeRange(currentRange_.value());
  composeMeasure(measure_.value());
  return std::nullopt;
}

Refusal Bench::chooseForRun(CurrentRange range, MeasureSelect measure) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (static_cast<int>(range) >= valueCount(Setting::CurrentRange)) {
    return noSuch(Setting::CurrentRange, static_cast<int>(range));
  }
  if (static_cast<int>(measure) >= valueCount(Setting::Measure)) {
    return noSuch(Setting::Measure, static_cast<int>(measure));
  }
  if (range != currentRange_.value()) {
    composeRange(range);
    pmuControl_.rangeEntry = static_cast<int>(range);
    currentRange_.set(range);
  }
  if (measure != measure_.value()) {
    composeMeasure(measure);
    measure_.set(measure);
  }
  return std::nullopt;
}

Refusal Bench::sendLoadPulse() {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  link_.pulseLoad();
  return std::nullopt;
}

Refusal Bench::driveLoad(bool high) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (high) {
    link_.loadHigh();
  } else {
    link_.loadLow();
  }
  loadHigh_ = high;
  return std::nullopt;
}

Refusal Bench::resetChip() {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  // The chip's registers go back to their reset values; the stored words are kept.
  link_.resetChip();
  return std::nullopt;
}

Refusal Bench::pulseLoad() {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  link_.pulseLoad();
  // After the pulse the line is left high, as the /LOAD box then shows.
  return setLoadHigh(true);
}

Refusal Bench::setLoadHigh(bool high) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (high == loadHigh_) {
    return std::nullopt;
  }
  if (high) {
    link_.loadHigh();
  } else {
    link_.loadLow();
  }
  loadHigh_ = high;
  return std::nullopt;
}

Refusal Bench::setCComp(int value) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (value < 1 || value > 2) {
    return std::string("The compensation switch has the positions 1 (100pF) and 2 (1nF).");
  }
  link_.setCComp(static_cast<std::uint16_t>(value));
  return std::nullopt;
}

Refusal Bench::setCFeedforward(int value) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (value < 1 || value > 3) {
    return std::string(
        "The feed-forward switch has the positions 1 (220pF), 2 (1nF) and 3 (10nF).");
  }
  link_.setCFeedforward(static_cast<std::uint16_t>(value));
  return std::nullopt;
}

// ---- stored words ---------------------------------------------------------------------------

Refusal Bench::sendingRefused() const {
  if (active_ == Active::ChannelTest) {
    return std::string(kChannelTestRunning);
  }
  return std::nullopt;
}

Refusal Bench::sendPmuWord() {
  // Without a channel bit the chip would take the word for a system control write.
  if ((static_cast<std::uint32_t>(words_.pmuWord) & kChannelMask) == 0) {
    return std::string(kNoChannelSelected);
  }
  sender_.SPIout(words_.pmuWord);
  return std::nullopt;
}

void Bench::sendSystemWord() {
  sender_.SPIout(words_.sysWord);
}

void Bench::composePmuField(const FieldDef& field, std::uint32_t value) {
  // The word carries the present channel selection and nothing above bit 27.
  words_.refreshPmuChannels();
  words_.pmuWord = withField(words_.pmuWord, field, value);
}

void Bench::composeSystem(std::int32_t word) {
  words_.sysWord = word & kClearHighBits;
}

void Bench::composeWords(const std::function<void(StoredWords&)>& edit) {
  edit(words_);
}

Refusal Bench::sendPmu(std::int32_t word) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if ((static_cast<std::uint32_t>(word) & kChannelMask) == 0) {
    return std::string(kNoChannelSelected);
  }
  sender_.SPIout(word);
  return std::nullopt;
}

Refusal Bench::sendWord(std::int32_t word) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (word < 0 || static_cast<std::uint32_t>(word) > kWordMask) {
    return std::string("Number too large. Please reenter code between 0 and x1FFFFFFF.");
  }
  sender_.SPIout(word);
  return std::nullopt;
}

Refusal Bench::setChannels(std::uint8_t channels) {
  if (channels > kChannelsMax) {
    return std::string("There are four channels: 0x0 to 0xF.");
  }
  words_.chanBits = channelBits(channels);
  words_.refreshPmuChannels();
  words_.dacRequestWord |= words_.chanBits;
  return std::nullopt;
}

Refusal Bench::writeSystemWord() {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  sendSystemWord();
  return std::nullopt;
}

Refusal Bench::writePmuWord() {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  words_.pmuChannelsForWrite();
  return sendPmuWord();
}

Refusal Bench::setPmuField(PmuField which, std::uint32_t value) {
  return setPmuFields({{which, value}});
}

Refusal Bench::setSystemField(SysField which, std::uint32_t value) {
  return setSystemFields({{which, value}});
}

Refusal Bench::setPmuFields(const std::vector<std::pair<PmuField, std::uint32_t>>& fields) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  for (const auto& [which, value] : fields) {
    const bool extRangeSwitch = value == kExtRangeOff || value == kExtRangeOn;
    if (which == PmuField::Measure || which == PmuField::Compare ||
        (which == PmuField::Range && !extRangeSwitch)) {
      return std::string(kSharedSettingField);
    }
    if (Refusal refusal = valueRefusal(field(which), value)) {
      return refusal;
    }
  }
  for (const auto& [which, value] : fields) {
    composePmuField(field(which), value);
    if (which == PmuField::Range) {
      pmuControl_.rangeEntry = static_cast<int>(value);
    }
  }
  return sendPmuWord();
}

Refusal Bench::setSystemFields(const std::vector<std::pair<SysField, std::uint32_t>>& fields) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  for (const auto& [which, value] : fields) {
    if (which == SysField::Gain0 || which == SysField::Gain1 || which == SysField::ThermalEn ||
        which == SysField::ShutdownTemp || which == SysField::Latch) {
      return std::string(kSharedSettingField);
    }
    if (Refusal refusal = valueRefusal(field(which), value)) {
      return refusal;
    }
  }
  for (const auto& [which, value] : fields) {
    composeSystem(withField(words_.sysWord, field(which), value));
  }
  sendSystemWord();
  return std::nullopt;
}

Refusal Bench::writeDac(DacGroup group, int level, DacRegister reg, std::uint16_t code) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (!groupHasLevel(group, level) || (group == DacGroup::Offset && reg != DacRegister::X1)) {
    return "The " + std::string(groupName(group)) + " DAC has no such register.";
  }
  words_.dacWord = composeDacWord(static_cast<std::int16_t>(level), code, modeOf(reg),
                                  groupBase(group), words_.chanBits);
  sender_.SPIout(words_.dacWord);
  return std::nullopt;
}

Refusal Bench::setVref(float volts) {
  if (!(volts > 0.0F && volts <= kVrefMax)) {  // NaN too
    return std::string(kVrefOutOfRange);
  }
  conversion_.vref = volts;
  return std::nullopt;
}

std::optional<std::uint32_t> Bench::readBack(std::int32_t requestWord) {
  if (sendingRefused()) {
    return std::nullopt;
  }
  sender_.SPIout(requestWord);
  return link_.SPIRead();
}

std::optional<std::uint16_t> Bench::readAdc() {
  if (sendingRefused()) {
    return std::nullopt;
  }
  return link_.readAdcNow();
}

std::optional<float> Bench::readMiGain() {
  // GAIN0 (bit 6) of the system control register decides the current-measure gain; the chip
  // is asked every time, since a reset or another face may have changed it.
  const std::optional<std::uint32_t> reply = readBack(kSystemReadRequest);
  if (!reply) {
    return std::nullopt;
  }
  conversion_.miGain = miGainFromReadback(*reply);
  return conversion_.miGain;
}

// ---- shared settings ------------------------------------------------------------------------

SettingValues Bench::settings() const {
  SettingValues v;
  v.currentRange = currentRange_.value();
  v.measure = measure_.value();
  v.compare = compare_.value();
  v.currentGain = currentGain_.value();
  v.measoutGain = measoutGain_.value();
  v.thermal = thermal_.value();
  v.alarmLatch = alarmLatch_.value();
  v.sweepChannels = sweepChannels_.value();
  v.cycleDelay = cycleDelay_.value();
  v.sampleDelay = sampleDelay_.value();
  return v;
}

template <typename T, typename Apply>
Refusal Bench::change(Setting which, Observable<T>& setting, T value, Apply apply) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  const int number = static_cast<int>(value);
  if (number < 0 || number >= valueCount(which)) {
    return noSuch(which, number);
  }
  if (setting.value() == value) {
    return std::nullopt;
  }
  Refusal refusal = apply();
  setting.set(value);
  return refusal;
}

void Bench::composeRange(CurrentRange range) {
  const auto index = static_cast<int>(range);
  composePmuField(field(PmuField::Range), static_cast<std::uint32_t>(index));
  conversion_.rangeIndex = static_cast<std::int16_t>(index);
  sweep_.sweepPmuWord = measure::withSweepRange(sweep_.sweepPmuWord, index);
}

void Bench::composeMeasure(MeasureSelect measure) {
  composePmuField(field(PmuField::Measure), static_cast<std::uint32_t>(measure));
  // The sweep measures voltage or current only; the other choices leave its mode.
  if (measure == MeasureSelect::Voltage || measure == MeasureSelect::Current) {
    sweep_.measureMode = measure == MeasureSelect::Voltage ? measure::MeasureMode::Voltage
                                                           : measure::MeasureMode::Current;
    sweep_.sweepPmuWord = measure::withSweepMeasure(sweep_.sweepPmuWord, sweep_.measureMode);
  }
}

Refusal Bench::setCurrentRange(CurrentRange range) {
  // The PMU control window's range handler: while it forces current it reads the
  // current-measure gain back to show the new range's limits.
  return change(Setting::CurrentRange, currentRange_, range,
                [&] { return runRangeHandler(range); });
}

Refusal Bench::setMeasure(MeasureSelect measure) {
  return change(Setting::Measure, measure_, measure, [&] {
    composeMeasure(measure);
    return sendPmuWord();
  });
}

Refusal Bench::setCompare(CompareMode mode) {
  return change(Setting::Compare, compare_, mode, [&] {
    composePmuField(field(PmuField::Compare), static_cast<std::uint32_t>(mode));
    return sendPmuWord();
  });
}

Refusal Bench::setCurrentGain(CurrentGain gain) {
  return change(Setting::CurrentGain, currentGain_, gain, [&] {
    composeSystem(
        withField(words_.sysWord, field(SysField::Gain0), static_cast<std::uint32_t>(gain)));
    sendSystemWord();
    return Refusal{};
  });
}

Refusal Bench::setMeasoutGain(MeasoutGain gain) {
  return change(Setting::MeasoutGain, measoutGain_, gain, [&] {
    composeSystem(static_cast<std::int32_t>(composeMeasoutGainList(
        static_cast<std::uint32_t>(words_.sysWord), static_cast<int>(gain))));
    sendSystemWord();
    return Refusal{};
  });
}

Refusal Bench::setThermal(ThermalShutdown thermal) {
  return change(Setting::Thermal, thermal_, thermal, [&] {
    composeSystem(static_cast<std::int32_t>(
        composeThermalList(static_cast<std::uint32_t>(words_.sysWord), static_cast<int>(thermal))));
    sendSystemWord();
    return Refusal{};
  });
}

Refusal Bench::setAlarmLatch(AlarmLatch latch) {
  return change(Setting::AlarmLatch, alarmLatch_, latch, [&] {
    words_.sysWord = static_cast<std::int32_t>(
        composeLatchList(static_cast<std::uint32_t>(words_.sysWord), static_cast<int>(latch)));
    // Only the register window's "UNLATCHED" clears the bits above the word.
    if (latch == AlarmLatch::Unlatched) {
      composeSystem(words_.sysWord);
    }
    sendSystemWord();
    return Refusal{};
  });
}

void Bench::applySweepChannels() {
  // Only the sweep's selection: the register window's chanBits stay as they are.
  words_.pmuWord = (words_.pmuWord & 0x00FFFFFF) | sweep_.sweepChanBits;
  words_.dacRequestWord |= sweep_.sweepChanBits;
}

Refusal Bench::setSweepChannels(std::uint8_t channels) {
  if (channels > kChannelsMax) {
    return std::string("There are four channels: 0x0 to 0xF.");
  }
  if (channels == sweepChannels_.value()) {
    return std::nullopt;
  }
  sweep_.sweepChanBits = channelBits(channels);
  applySweepChannels();
  sweepChannels_.set(channels);
  return std::nullopt;
}

Refusal Bench::setCycleDelay(int item) {
  if (item < 0 || item >= kCycleDelayItems) {
    return std::string("The cycle delay list has the items 0 to 5.");
  }
  if (item != cycleDelay_.value()) {
    sweep_.delays.chooseCycle(item);
    cycleDelay_.set(item);
  }
  return std::nullopt;
}

Refusal Bench::setSampleDelay(int item) {
  if (item < 0 || item >= kSampleDelayItems) {
    return std::string("The sample delay list has the items 0 to 9.");
  }
  if (item != sampleDelay_.value()) {
    sweep_.delays.chooseSample(cycleDelay_.value(), item);
    sampleDelay_.set(item);
  }
  return std::nullopt;
}

std::optional<int> Bench::indexIn(View view, Setting setting) const {
  const SettingValues v = settings();
  int value = 0;
  switch (setting) {
    case Setting::CurrentRange:
      value = static_cast<int>(v.currentRange);
      break;
    case Setting::Measure:
      value = static_cast<int>(v.measure);
      break;
    case Setting::Compare:
      value = static_cast<int>(v.compare);
      break;
    case Setting::CurrentGain:
      value = static_cast<int>(v.currentGain);
      break;
    case Setting::MeasoutGain:
      value = static_cast<int>(v.measoutGain);
      break;
    case Setting::Thermal:
      value = static_cast<int>(v.thermal);
      break;
    case Setting::AlarmLatch:
      value = static_cast<int>(v.alarmLatch);
      break;
  }
  return listIndex(view, setting, value);
}

Refusal Bench::chooseIn(View view, Setting setting, int index) {
  const std::optional<int> value = valueAt(view, setting, index);
  if (!value) {
    return "Item " + std::to_string(index) + " of that list is no " +
           std::string(settingName(setting)) + ".";
  }
  if (view == View::PmuControl && indexIn(view, setting) == index) {
    return chooseAgain(setting);
  }
  switch (setting) {
    case Setting::CurrentRange:
      return setCurrentRange(static_cast<CurrentRange>(*value));
    case Setting::Measure:
      return setMeasure(static_cast<MeasureSelect>(*value));
    case Setting::Compare:
      return setCompare(static_cast<CompareMode>(*value));
    case Setting::CurrentGain:
      return setCurrentGain(static_cast<CurrentGain>(*value));
    case Setting::MeasoutGain:
      return setMeasoutGain(static_cast<MeasoutGain>(*value));
    case Setting::Thermal:
      return setThermal(static_cast<ThermalShutdown>(*value));
    case Setting::AlarmLatch:
      return setAlarmLatch(static_cast<AlarmLatch>(*value));
  }
  return std::nullopt;
}

Refusal Bench::chooseAgain(Setting setting) {
  // The PMU control window's lists send their register's word whenever an item is chosen, the
  // item shown too: the word goes out again with the present channels.
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  switch (setting) {
    case Setting::CurrentRange:
      // The list may show an "always on external range" switch: the range comes back.
      return runRangeHandler(currentRange_.value());
    case Setting::Measure:
    case Setting::Compare:
      words_.refreshPmuChannels();
      return sendPmuWord();
    case Setting::CurrentGain:
    case Setting::MeasoutGain:
    case Setting::Thermal:
    case Setting::AlarmLatch:
      break;
  }
  sendSystemWord();
  return std::nullopt;
}

// ---- runs -----------------------------------------------------------------------------------

measure::RunContext Bench::runContext() {
  return {link_, sender_, words_, conversion_, sweep_, clock_};
}

Refusal Bench::hold(Active kind) {
  active_ = kind;
  holder_.set(std::string(kind == Active::Sweep     ? kSweepRunning
                          : kind == Active::TimeRun ? kTimeRunRunning
                                                    : kChannelTestRunning));
  return std::nullopt;
}

std::optional<measure::RunSettings> Bench::runSettings(std::optional<float> reference) const {
  const float vref = reference.value_or(conversion_.vref);
  if (!(vref > 0.0F && vref <= kVrefMax)) {
    return std::nullopt;
  }
  return measure::RunSettings{vref, static_cast<int>(currentRange_.value())};
}

measure::Run::PreparationSteps Bench::runPreparation(bool sweepChannels) {
  measure::Run::PreparationSteps steps;
  if (sweepChannels) {
    // PLOT evaluates the sweep's PMU 0 box again: its channels replace the PMU word's.
    steps.channels = [this] { applySweepChannels(); };
  }
  steps.selections = [this] { takeRunSelections(); };
  return steps;
}

void Bench::takeRunSelections() {
  // PLOT runs the sweep window's range and measure handlers again. They compose the run's
  // range into the PMU word and bring the PMU control window's lists to the run's range and
  // measure choice: a list that showed another item sends its word, as its handler does.
  const CurrentRange range = currentRange_.value();
  const auto rangeCode = static_cast<std::uint32_t>(range);
  if (fieldValue(static_cast<std::uint32_t>(words_.pmuWord), field(PmuField::Range)) != rangeCode) {
    composeRange(range);  // the register window's list came back from an "INT RANGE" code
  }
  if (pmuControl_.rangeEntry != static_cast<int>(range)) {
    runRangeHandler(range);
    currentRange_.tellAgain();
  }
  const MeasureSelect measure = sweep_.measureMode == measure::MeasureMode::Voltage
                                    ? MeasureSelect::Voltage
                                    : MeasureSelect::Current;
  if (measure != measure_.value()) {
    composeMeasure(measure);
    sendPmuWord();
    measure_.set(measure);
  }
}

Refusal Bench::startSweep(const measure::SweepRequest& request, std::optional<float> reference) {
  if (Refusal holder = busy()) {
    return holder;
  }
  if (const auto refusal = measure::checkSweepFields(request)) {
    return refusal->message;
  }
  const std::optional<measure::RunSettings> settings = runSettings(reference);
  if (!settings) {
    return std::string(kVrefOutOfRange);
  }
  sweepRun_ = std::make_unique<measure::SweepRun>(runContext(), *settings, request);
  sweepRun_->setPreparationSteps(runPreparation(true));
  return hold(Active::Sweep);
}

Refusal Bench::startTimeRun(double forceVolts, std::optional<float> reference) {
  if (Refusal holder = busy()) {
    return holder;
  }
  if (const auto refusal = measure::checkForceField(forceVolts)) {
    return refusal->message;
  }
  const std::optional<measure::RunSettings> settings = runSettings(reference);
  if (!settings) {
    return std::string(kVrefOutOfRange);
  }
  timeRun_ = std::make_unique<measure::TimeRun>(runContext(), *settings, forceVolts);
  timeRun_->setPreparationSteps(runPreparation(false));
  return hold(Active::TimeRun);
}

Refusal Bench::loadChannelTest() {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  measure::loadChannelTest(words_, conversion_, sender_, link_);
  testLoaded_ = true;
  return std::nullopt;
}

Refusal Bench::startChannelTest() {
  if (Refusal holder = busy()) {
    return holder;
  }
  if (!testLoaded_) {
    loadChannelTest();
  }
  channelTest_.start();
  return hold(Active::ChannelTest);
}

std::optional<double> Bench::advanceRun() {
  std::optional<double> wait;
  switch (active_) {
    case Active::None:
      return std::nullopt;
    case Active::Sweep:
      wait = sweepRun_->advance();
      break;
    case Active::TimeRun:
      wait = timeRun_->advance();
      break;
    case Active::ChannelTest:
      wait = channelTest_.advance();
      break;
  }
  if (!wait) {
    active_ = Active::None;
    holder_.set(std::nullopt);
  }
  return wait;
}

void Bench::runToEnd() {
  while (const std::optional<double> wait = advanceRun()) {
    clock_.waitUntil(clock_.now() + *wait);
  }
}

bool Bench::stopRun() {
  if (active_ == Active::Sweep) {
    sweepRun_->stop();
    return true;
  }
  if (active_ == Active::TimeRun) {
    timeRun_->stop();
    return true;
  }
  return false;
}

// ---- traffic and saved state ----------------------------------------------------------------

SubscriptionId Bench::observeTraffic(TrafficListener listener) {
  return traffic_.subscribe(std::move(listener));
}

bool Bench::stopObservingTraffic(SubscriptionId id) {
  return traffic_.unsubscribe(id);
}

BenchSnapshot Bench::snapshot() const {
  return {words_, conversion_, sweep_, settings(), chip_};
}

std::vector<BoardStep> Bench::restorePlan(const BenchSnapshot& snapshot) {
  return restoreSteps(snapshot.chip);
}

}  // namespace kv4410::bench
