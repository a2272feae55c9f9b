#include "bench/setup_file.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "device/text_format.h"

namespace kv4410::bench {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint32_t kWordMax = 0x1FFFFFFF;
constexpr std::uint32_t kContentsMax = 0x3FFFFF;  // register contents, bits 21..0
constexpr std::uint32_t kCodeMax = 0xFFFF;
constexpr std::uint32_t kChannelBits = 0x0F000000;
constexpr double kVoltsMax = 11.25;
constexpr double kStepMax = 1000.0;
constexpr double kDelayMax = 0.5;
constexpr float kVrefMax = 5.0F;
constexpr const char* kRegisterNames[] = {"x1", "m", "c"};  // DacRegister order

// Why a text is refused; thrown by the readers below, caught once in readSetup.
struct Refused {
  std::string message;
};

[[noreturn]] void refuse(std::string message) {
  throw Refused{std::move(message)};
}

std::string hex(std::uint32_t value, int digits) {
  return "0x" + NumberToHex(static_cast<std::int32_t>(value), digits);
}

std::string number(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// ---- reading, each value checked against its field's range before it is used ----

const Json& member(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    refuse(path + key + ": missing");
  }
  return *found;
}

const Json& section(const Json& root, const char* key) {
  const Json& value = member(root, "", key);
  if (!value.is_object()) {
    refuse(std::string(key) + ": an object expected");
  }
  return value;
}

std::int64_t integer(const Json& value, const std::string& path) {
  if (!value.is_number_integer()) {
    refuse(path + ": a whole number expected");
  }
  if (value.is_number_unsigned() &&
      value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    refuse(path + ": " + std::to_string(value.get<std::uint64_t>()) + " is too large");
  }
  return value.get<std::int64_t>();
}

int choice(const Json& object, const std::string& path, const char* key, int low, int high) {
  const std::int64_t value = integer(member(object, path, key), path + key);
  if (value < low || value > high) {
    refuse(path + key + ": " + std::to_string(value) + " is not one of " + std::to_string(low) +
           ".." + std::to_string(high));
  }
  return static_cast<int>(value);
}

std::uint32_t hexValue(const Json& value, const std::string& path, std::uint32_t high) {
  const std::string* text = value.get_ptr<const std::string*>();
  const bool digits = text != nullptr && text->size() > 2 && text->size() <= 10 &&
                      text->compare(0, 2, "0x") == 0 &&
                      text->find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
  if (!digits) {
    refuse(path + ": a hexadecimal text like \"0x1F\" expected");
  }
  const auto parsed = static_cast<std::uint32_t>(std::stoul(text->substr(2), nullptr, 16));
  if (parsed > high) {
    refuse(path + ": 0x" + HexText(static_cast<std::int32_t>(parsed)) + " is outside 0..0x" +
           HexText(static_cast<std::int32_t>(high)));
  }
  return parsed;
}

std::uint32_t hexMember(const Json& object, const std::string& path, const char* key,
                        std::uint32_t high) {
  return hexValue(member(object, path, key), path + key, high);
}

double real(const Json& object, const std::string& path, const char* key, double low, double high) {
  const Json& value = member(object, path, key);
  if (!value.is_number()) {
    refuse(path + key + ": a number expected");
  }
  const auto v = value.get<double>();
  if (!std::isfinite(v) || v < low || v > high) {
    refuse(path + key + ": " + number(v) + " is outside " + number(low) + ".." + number(high));
  }
  return v;
}

std::string text(const Json& object, const std::string& path, const char* key) {
  const Json& value = member(object, path, key);
  if (!value.is_string()) {
    refuse(path + key + ": a text expected");
  }
  return value.get<std::string>();
}

template <typename Enum>
Enum setting(const Json& object, const char* key, Setting which) {
  return static_cast<Enum>(choice(object, "settings.", key, 0, valueCount(which) - 1));
}

void readWords(const Json& root, StoredWords& w) {
  const Json& s = section(root, "words");
  const std::string p = "words.";
  w.sysWord = static_cast<std::int32_t>(hexMember(s, p, "sysWord", kWordMax));
  w.pmuWord = static_cast<std::int32_t>(hexMember(s, p, "pmuWord", kWordMax));
  const std::uint32_t channels = hexMember(s, p, "chanBits", kWordMax);
  if ((channels & ~kChannelBits) != 0) {
    refuse("words.chanBits: 0x" + HexText(static_cast<std::int32_t>(channels)) +
           " has bits outside 24..27");
  }
  w.chanBits = static_cast<std::int32_t>(channels);
  w.dacWord = static_cast<std::int32_t>(hexMember(s, p, "dacWord", kWordMax));
  w.pmuRequestWord = static_cast<std::int32_t>(hexMember(s, p, "pmuRequestWord", kWordMax));
  w.dacRequestWord = static_cast<std::int32_t>(hexMember(s, p, "dacRequestWord", kWordMax));
}

void readConversion(const Json& root, ConversionValues& c) {
  const Json& s = section(root, "conversion");
  const double vref = real(s, "conversion.", "vref", 0.0, kVrefMax);
  if (vref == 0.0) {
    refuse("conversion.vref: 0 is not above 0");
  }
  const double miGain = real(s, "conversion.", "miGain", 0.0, 10.0);
  if (miGain != 10.0 && miGain != 5.0) {
    refuse("conversion.miGain: " + number(miGain) + " is not one of 10, 5");
  }
  c.vref = static_cast<float>(vref);
  c.miGain = static_cast<float>(miGain);
  c.rangeIndex = static_cast<std::int16_t>(choice(s, "conversion.", "rangeIndex", 0, 4));
}

void readSettings(const Json& root, SettingValues& v) {
  const Json& s = section(root, "settings");
  v.currentRange = setting<CurrentRange>(s, "currentRange", Setting::CurrentRange);
  v.measure = setting<MeasureSelect>(s, "measure", Setting::Measure);
  v.compare = setting<CompareMode>(s, "compare", Setting::Compare);
  v.currentGain = setting<CurrentGain>(s, "currentGain", Setting::CurrentGain);
  v.measoutGain = setting<MeasoutGain>(s, "measoutGain", Setting::MeasoutGain);
  v.thermal = setting<ThermalShutdown>(s, "thermal", Setting::Thermal);
  v.alarmLatch = setting<AlarmLatch>(s, "alarmLatch", Setting::AlarmLatch);
  v.sweepChannels = static_cast<std::uint8_t>(choice(s, "settings.", "sweepChannels", 0, 15));
  v.cycleDelay = choice(s, "settings.", "cycleDelay", kNoDelayChosen, kCycleDelayItems - 1);
  v.sampleDelay = choice(s, "settings.", "sampleDelay", kNoDelayChosen, kSampleDelayItems - 1);
}

void readSweep(const Json& root, Setup& setup) {
  const Json& s = section(root, "sweep");
  const std::string p = "sweep.";
  setup.sweepFields.startVolts = real(s, p, "start", -kVoltsMax, kVoltsMax);
  setup.sweepFields.endVolts = real(s, p, "end", -kVoltsMax, kVoltsMax);
  setup.sweepFields.stepMillivolts = real(s, p, "step", 0.0, kStepMax);
  setup.forceVolts = real(s, p, "force", -kVoltsMax, kVoltsMax);
  measure::SweepState& state = setup.bench.sweep;
  state.sweepPmuWord = static_cast<std::int32_t>(hexMember(s, p, "pmuWord", kWordMax));
  const std::string mode = text(s, p, "measure");
  if (mode != "voltage" && mode != "current") {
    refuse("sweep.measure: \"" + mode + "\" is not one of voltage, current");
  }
  state.measureMode =
      mode == "voltage" ? measure::MeasureMode::Voltage : measure::MeasureMode::Current;
  state.delays.settle = static_cast<float>(real(s, p, "settle", 0.0, kDelayMax));
  state.delays.remainder = static_cast<float>(real(s, p, "remainder", 0.0, kDelayMax));
  state.delays.cycle = static_cast<float>(real(s, p, "cycle", 0.0, kDelayMax));
}

void readDac(const Json& list, ChipImage& chip) {
  if (!list.is_array()) {
    refuse("chip.dac: a list expected");
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Json& entry = list[i];
    const std::string p = "chip.dac[" + std::to_string(i) + "].";
    if (!entry.is_object()) {
      refuse(p.substr(0, p.size() - 1) + ": an object expected");
    }
    const int channel = choice(entry, p, "channel", 0, kChannelCount - 1);
    const int address = choice(entry, p, "address", 0, kDacAddresses - 1);
    const auto where = dacAddressOf(address);
    if (!where || where->group == DacGroup::Offset) {
      refuse(p + "address: " + std::to_string(address) + " is no channel's DAC address");
    }
    const std::string name = text(entry, p, "register");
    int reg = 0;
    while (reg < kDacRegisters && name != kRegisterNames[reg]) {
      ++reg;
    }
    if (reg == kDacRegisters) {
      std::string message = p;
      message += "register: \"" + name + "\" is not one of x1, m, c";
      refuse(std::move(message));
    }
    chip.dac[static_cast<std::size_t>(channel)][static_cast<std::size_t>(address)]
            [static_cast<std::size_t>(reg)] =
        static_cast<std::uint16_t>(hexMember(entry, p, "code", kCodeMax));
  }
}

void readChip(const Json& root, ChipImage& chip) {
  const Json& s = section(root, "chip");
  const std::string p = "chip.";
  chip.systemWord = static_cast<std::int32_t>(hexMember(s, p, "systemWord", kContentsMax));
  const Json& pmu = member(s, p, "pmu");
  if (!pmu.is_array() || pmu.size() != chip.pmu.size()) {
    refuse("chip.pmu: a list of 4 expected");
  }
  for (std::size_t ch = 0; ch < chip.pmu.size(); ++ch) {
    chip.pmu[ch] = static_cast<std::int32_t>(
        hexValue(pmu[ch], "chip.pmu[" + std::to_string(ch) + "]", kContentsMax));
  }
  chip.offsetCode = static_cast<std::uint16_t>(hexMember(s, p, "offsetCode", kCodeMax));
  readDac(member(s, p, "dac"), chip);
  chip.cff = static_cast<std::uint16_t>(choice(s, p, "cff", 0, 3));
  chip.ccomp = static_cast<std::uint16_t>(choice(s, p, "ccomp", 0, 2));
}

Setup readRoot(const Json& root) {
  if (!root.is_object() || !root.contains("format")) {
    refuse("not a setup file");
  }
  const std::int64_t format = integer(root["format"], "format");
  if (format > kSetupFormat) {
    refuse("setup format " + std::to_string(format) + " is newer than this program reads (" +
           std::to_string(kSetupFormat) + ")");
  }
  if (format < 1) {
    refuse("format: " + std::to_string(format) + " is not one of 1.." +
           std::to_string(kSetupFormat));
  }
  Setup setup;
  setup.program = text(root, "", "program");
  setup.date = text(root, "", "date");
  setup.board = text(root, "", "board");
  readWords(root, setup.bench.words);
  readConversion(root, setup.bench.conversion);
  readSettings(root, setup.bench.settings);
  readSweep(root, setup);
  setup.bench.sweep.sweepChanBits = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(setup.bench.settings.sweepChannels) << 24);
  readChip(root, setup.bench.chip);
  return setup;
}

// The JSON of a text: the whole text, or a run CSV file's "# setup: " line.
std::string_view jsonPart(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || text[first] != '#') {
    return text;
  }
  std::size_t at = 0;
  while (at < text.size() && text.compare(at, kSetupLinePrefix.size(), kSetupLinePrefix) != 0) {
    at = text.find('\n', at);
    at = at == std::string_view::npos ? text.size() : at + 1;
  }
  if (at == text.size()) {
    refuse("not a setup file: no \"# setup:\" line");
  }
  at += kSetupLinePrefix.size();
  const std::size_t end = text.find('\n', at);
  return text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

// ---- writing ----

Json wordsJson(const StoredWords& w) {
  return {{"sysWord", hex(static_cast<std::uint32_t>(w.sysWord), 8)},
          {"pmuWord", hex(static_cast<std::uint32_t>(w.pmuWord), 8)},
          {"chanBits", hex(static_cast<std::uint32_t>(w.chanBits), 8)},
          {"dacWord", hex(static_cast<std::uint32_t>(w.dacWord), 8)},
          {"pmuRequestWord", hex(static_cast<std::uint32_t>(w.pmuRequestWord), 8)},
          {"dacRequestWord", hex(static_cast<std::uint32_t>(w.dacRequestWord), 8)}};
}

Json settingsJson(const SettingValues& v) {
  return {{"currentRange", static_cast<int>(v.currentRange)},
          {"measure", static_cast<int>(v.measure)},
          {"compare", static_cast<int>(v.compare)},
          {"currentGain", static_cast<int>(v.currentGain)},
          {"measoutGain", static_cast<int>(v.measoutGain)},
          {"thermal", static_cast<int>(v.thermal)},
          {"alarmLatch", static_cast<int>(v.alarmLatch)},
          {"sweepChannels", static_cast<int>(v.sweepChannels)},
          {"cycleDelay", v.cycleDelay},
          {"sampleDelay", v.sampleDelay}};
}

Json chipJson(const ChipImage& chip) {
  Json pmu = Json::array();
  for (const std::int32_t contents : chip.pmu) {
    pmu.push_back(hex(static_cast<std::uint32_t>(contents), 6));
  }
  Json dac = Json::array();
  for (int ch = 0; ch < kChannelCount; ++ch) {
    for (int address = 0; address < kDacAddresses; ++address) {
      for (int reg = 0; reg < kDacRegisters; ++reg) {
        const std::uint16_t code =
            chip.dac[static_cast<std::size_t>(ch)][static_cast<std::size_t>(address)]
                    [static_cast<std::size_t>(reg)];
        if (code != resetCode(address, static_cast<DacRegister>(reg))) {
          dac.push_back({{"channel", ch},
                         {"address", address},
                         {"register", kRegisterNames[reg]},
                         {"code", hex(code, 4)}});
        }
      }
    }
  }
  return {{"systemWord", hex(static_cast<std::uint32_t>(chip.systemWord), 6)},
          {"pmu", pmu},
          {"offsetCode", hex(chip.offsetCode, 4)},
          {"dac", dac},
          {"cff", chip.cff},
          {"ccomp", chip.ccomp}};
}

}  // namespace

std::string setupJson(const Setup& setup, JsonLayout layout) {
  const BenchSnapshot& b = setup.bench;
  const measure::RunDelays& delays = b.sweep.delays;
  const Json root = {
      {"format", kSetupFormat},
      {"program", setup.program},
      {"date", setup.date},
      {"board", setup.board},
      {"words", wordsJson(b.words)},
      {"conversion",
       {{"vref", b.conversion.vref},
        {"miGain", b.conversion.miGain},
        {"rangeIndex", b.conversion.rangeIndex}}},
      {"settings", settingsJson(b.settings)},
      {"sweep",
       {{"start", setup.sweepFields.startVolts},
        {"end", setup.sweepFields.endVolts},
        {"step", setup.sweepFields.stepMillivolts},
        {"force", setup.forceVolts},
        {"pmuWord", hex(static_cast<std::uint32_t>(b.sweep.sweepPmuWord), 8)},
        {"measure", b.sweep.measureMode == measure::MeasureMode::Voltage ? "voltage" : "current"},
        {"settle", delays.settle},
        {"remainder", delays.remainder},
        {"cycle", delays.cycle}}},
      {"chip", chipJson(b.chip)}};
  // Texts are written as they are; a text that is no UTF-8 gets replacement characters.
  return layout == JsonLayout::Pretty
             ? root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
             : root.dump(-1, ' ', false, Json::error_handler_t::replace);
}

SetupResult readSetup(std::string_view text) {
  try {
    const std::string_view json = jsonPart(text);
    const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
    if (root.is_discarded()) {
      refuse("not a setup file: not JSON");
    }
    return {readRoot(root), {}};
  } catch (const Refused& refused) {
    return {std::nullopt, refused.message};
  }
}

std::optional<std::string> setupRefusal(const Setup& setup) {
  const BenchSnapshot& b = setup.bench;
  const SettingValues& v = b.settings;
  const std::pair<Setting, int> settings[] = {
      {Setting::CurrentRange, static_cast<int>(v.currentRange)},
      {Setting::Measure, static_cast<int>(v.measure)},
      {Setting::Compare, static_cast<int>(v.compare)},
      {Setting::CurrentGain, static_cast<int>(v.currentGain)},
      {Setting::MeasoutGain, static_cast<int>(v.measoutGain)},
      {Setting::Thermal, static_cast<int>(v.thermal)},
      {Setting::AlarmLatch, static_cast<int>(v.alarmLatch)}};
  for (const auto& [which, value] : settings) {
    if (value >= valueCount(which)) {
      return "settings: there is no " + std::string(settingName(which)) + " " +
             std::to_string(value);
    }
  }
  if (v.sweepChannels > 15 || v.cycleDelay < kNoDelayChosen || v.cycleDelay >= kCycleDelayItems ||
      v.sampleDelay < kNoDelayChosen || v.sampleDelay >= kSampleDelayItems) {
    return std::string("settings: the sweep's channels or delays are outside their lists");
  }
  if (!(b.conversion.vref > 0.0F && b.conversion.vref <= kVrefMax) || b.conversion.rangeIndex < 0 ||
      b.conversion.rangeIndex > 4) {
    return std::string("conversion: the reference or the range index is out of range");
  }
  const std::int32_t words[] = {b.words.sysWord,        b.words.pmuWord,
                                b.words.dacWord,        b.words.pmuRequestWord,
                                b.words.dacRequestWord, b.sweep.sweepPmuWord};
  for (const std::int32_t word : words) {
    if (word < 0 || static_cast<std::uint32_t>(word) > kWordMax) {
      return "words: 0x" + HexText(word) + " is outside 0..0x1FFFFFFF";
    }
  }
  return std::nullopt;
}

}  // namespace kv4410::bench
