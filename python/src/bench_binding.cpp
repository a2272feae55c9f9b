// kv4410.open() and the Bench class: a board session of the bench core for Python. Every call
// checks its arguments first (ValueError, nothing sent), then runs the core's call with the
// interpreter lock released; a failed board request raises BoardError. Runs are driven here:
// between steps the lock is taken back to look for Ctrl-C and to call the progress callback.
#include <pybind11/functional.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench.h"
#include "bench/setup_file.h"
#include "bindings.h"
#include "board/board_location.h"
#include "board/firmware_lookup.h"
#include "board/libusb_board.h"
#include "board/libusb_transport.h"
#include "board/simulated_board.h"
#include "board/simulation_options.h"
#include "device/conversions.h"
#include "device/readback.h"
#include "device/text_format.h"
#include "kv4410_version.h"
#include "measure/atomic_file.h"
#include "measure/run_csv.h"
#include "names.h"
#include "results.h"

namespace kv4410::python {

namespace {

using bench::Bench;
using bench::Refusal;

// A long wait is cut into slices this long, so that Ctrl-C is seen within one slice.
constexpr double kWaitSlice = 0.05;
constexpr std::int64_t kMaxCode = 0xFFFF;
constexpr const char* kWordTooLarge =
    "Number too large. Please reenter code between 0 and x1FFFFFFF.";

// The board's messages of the start-up, kept to be raised: the first one counts.
class CollectingReporter final : public board::Reporter {
 public:
  void noBoard(int searchStatus) override { keep(searchStatus, "No Evaluation Board Found"); }
  void usbError(int code, std::string_view text) override { keep(code, std::string(text)); }
  const std::optional<BoardFailure>& failure() const { return failure_; }

 private:
  void keep(int status, std::string text) {
    if (!failure_) {
      failure_ = BoardFailure{status, std::move(text), ""};
    }
  }
  std::optional<BoardFailure> failure_;
};

// The Python error being raised, taken out of the interpreter to be raised again later.
struct PendingError {
  py::object type, value, trace;
  static PendingError fetch() {
    PyObject* t = nullptr;
    PyObject* v = nullptr;
    PyObject* tb = nullptr;
    PyErr_Fetch(&t, &v, &tb);
    PyErr_NormalizeException(&t, &v, &tb);
    return {py::reinterpret_steal<py::object>(t), py::reinterpret_steal<py::object>(v),
            py::reinterpret_steal<py::object>(tb)};
  }
  // Raises it again with `result` as its `result` attribute.
  [[noreturn]] void raiseWith(const py::object& result) {
    if (value && PyObject_SetAttrString(value.ptr(), "result", result.ptr()) != 0) {
      PyErr_Clear();  // an exception that takes no attributes is raised as it is
    }
    PyErr_Restore(type.release().ptr(), value.release().ptr(), trace.release().ptr());
    throw py::error_already_set();
  }
};

template <typename Enum>
Enum named(const NameTable& table, const std::string& name) {
  return static_cast<Enum>(valueOf(table, name));
}

void refuse(const Refusal& refusal) {
  if (refusal) {
    throw py::value_error(*refusal);
  }
}

std::string fixed3(float value) {
  return formatFixed(static_cast<double>(value), 2, 3);
}

// Field names of a register to the enumerators of its fields, in table order.
template <typename Field>
std::vector<std::pair<Field, std::uint32_t>> fieldValues(const RegisterDef& reg,
                                                         const py::kwargs& given) {
  std::vector<std::pair<Field, std::uint32_t>> out;
  for (const auto& [key, value] : given) {
    const std::string name = py::str(key);
    std::optional<Field> found;
    std::string names;
    for (std::size_t i = 0; i < reg.fields.size(); ++i) {
      const FieldDef& f = reg.fields[i];
      if (f.key == "UNUSED") {
        continue;
      }
      names += names.empty() ? "" : ", ";
      names += f.key;
      if (f.key == name) {
        found = static_cast<Field>(i);
      }
    }
    if (!found) {
      std::string message = "the " + std::string(reg.name);
      message += " has no field " + name;
      message += "; its fields are " + names;
      throw py::value_error(message);
    }
    const FieldDef& f = field(*found);
    const auto top = static_cast<std::int64_t>(f.mask() >> f.lowBit);
    const std::string range = "The field " + name + " takes 0 to " + std::to_string(top) + ".";
    if (!py::isinstance<py::int_>(value)) {
      throw py::type_error(range);
    }
    const auto number = checkedInteger(py::reinterpret_borrow<py::int_>(value), 0, top, range);
    out.emplace_back(*found, static_cast<std::uint32_t>(number));
  }
  return out;
}

py::dict trafficRecord(const board::BoardLink::RequestRecord& r) {
  py::dict d;
  d["number"] = r.number;
  d["request"] = r.request;
  d["value"] = r.value;
  d["index"] = r.index;
  d["direction"] = r.in ? "in" : "out";
  d["length"] = r.length;
  const std::size_t bytes = std::min<std::size_t>(r.length, r.data.size());
  d["data"] = py::bytes(reinterpret_cast<const char*>(r.data.data()), r.in ? bytes : 0);
  d["status"] = r.status;
  if (r.request == board::request::kSerialWord && !r.in) {
    d["word"] = (static_cast<std::uint32_t>(r.index) << 16) | r.value;
  }
  return d;
}

// A run's arguments that both runs take, checked before anything is sent.
struct RunOptions {
  std::optional<std::uint8_t> channels;
  std::optional<bench::CurrentRange> range;
  std::optional<bench::MeasureSelect> measure;
  std::optional<int> cycleDelay;
  std::optional<int> sampleDelay;
  std::optional<float> vref;
};

RunOptions runOptions(const std::optional<std::vector<int>>& channels,
                      const std::optional<std::string>& range,
                      const std::optional<std::string>& measure,
                      const std::optional<std::string>& cycleDelay,
                      const std::optional<int>& sampleDelay, const std::optional<double>& vref) {
  RunOptions o;
  if (channels) {
    o.channels = channelMask(*channels);
  }
  if (range) {
    o.range = named<bench::CurrentRange>(rangeNames(), *range);
  }
  if (measure) {
    // The runs measure voltage or current only.
    static const NameTable kRunMeasures{"measure", {"current", "voltage"}};
    o.measure = named<bench::MeasureSelect>(kRunMeasures, *measure);
  }
  if (cycleDelay) {
    o.cycleDelay = valueOf(cycleDelayNames(), *cycleDelay);
  }
  if (sampleDelay) {
    if (*sampleDelay < 0 || *sampleDelay >= bench::kSampleDelayItems) {
      throw py::value_error("The sample delay list has the items 0 to 9.");
    }
    o.sampleDelay = sampleDelay;
  }
  if (vref) {
    o.vref = referenceOf(*vref);
  }
  return o;
}

}  // namespace

class PyBench {
 public:
  explicit PyBench(board::OpenedBoard opened)
      : bench_(std::make_unique<Bench>(std::move(opened), reporter_, clock_)) {
    // The first failed request of a call, for BoardError; no Python runs here.
    watcher_ = bench_->observeTraffic([this](const board::BoardLink::RequestRecord& r) {
      if (r.status != 0 && firstFailure_ == 0) {
        firstFailure_ = r.status;
      }
    });
  }

  Bench& bench() {
    if (!bench_) {
      throw py::value_error("The bench is closed.");
    }
    return *bench_;
  }
  void close() { bench_.reset(); }
  const CollectingReporter& reporter() const { return reporter_; }

  // Runs `call` on the bench with the interpreter lock released; BoardError when a request in
  // it failed, then ValueError when the bench refused it.
  template <typename Call>
  auto onBoard(Call&& call) {
    Bench& b = bench();
    firstFailure_ = 0;
    auto result = [&] {
      const py::gil_scoped_release unlocked;
      return call(b);
    }();
    if (firstFailure_ != 0) {
      throw BoardFailure{firstFailure_, statusText(firstFailure_), ""};
    }
    return result;
  }
  void act(const std::function<Refusal(Bench&)>& call) { refuse(onBoard(call)); }
  std::uint32_t readBack(std::int32_t request) {
    return onBoard([request](Bench& b) { return b.readBack(request); }).value_or(0);
  }

  // ---- registers ----
  void writeWord(const py::int_& word) {
    const auto w = static_cast<std::int32_t>(checkedInteger(word, 0, kWordMask, kWordTooLarge));
    act([w](Bench& b) { return b.sendWord(w); });
  }
  void setChannels(const std::vector<int>& channels) {
    const std::uint8_t mask = channelMask(channels);
    refuse(bench().setChannels(mask));
  }
  void writeSystem(const py::kwargs& fields) {
    auto values = fieldValues<SysField>(systemControlRegister(), fields);
    if (values.empty()) {
      act([](Bench& b) { return b.writeSystemWord(); });
    } else {
      act([&values](Bench& b) { return b.setSystemFields(values); });
    }
  }
  void writePmu(const std::optional<std::vector<int>>& channels, const py::kwargs& fields) {
    auto values = fieldValues<PmuField>(pmuRegister(), fields);
    if (channels) {
      setChannels(*channels);
    }
    if (values.empty()) {
      act([](Bench& b) { return b.writePmuWord(); });
    } else {
      act([&values](Bench& b) { return b.setPmuFields(values); });
    }
  }
  void writeDac(const std::string& dac, const py::int_& code, int level, const std::string& reg,
                const std::optional<std::vector<int>>& channels) {
    const auto group = named<DacGroup>(dacGroupNames(), dac);
    const auto kind = named<DacRegister>(dacRegisterNames(), reg);
    const auto c = static_cast<std::uint16_t>(checkedInteger(code, 0, kMaxCode, kCodeOutOfRange));
    if (!groupHasLevel(group, level) || (group == DacGroup::Offset && kind != DacRegister::X1)) {
      throw py::value_error("The " + std::string(groupName(group)) + " DAC has no such register.");
    }
    if (channels) {
      setChannels(*channels);
    }
    act([&](Bench& b) { return b.writeDac(group, level, kind, c); });
  }

  // ---- a channel in volts and amps ----
  int forceVoltage(double volts, const std::optional<std::vector<int>>& channels,
                   const std::optional<std::string>& measure, const std::optional<bool>& clamp) {
    Bench& b = bench();
    const float level = toSingle(volts);
    const RangeLimits limits = voltageRangeLimits(b.conversion().vref, b.pmuControl().offsetCode);
    if (!(level >= limits.zeroScale && level <= limits.fullScale)) {
      throw py::value_error(std::string(kLevelOutOfRange) + " Z/S = " + fixed3(limits.zeroScale) +
                            " V, F/S = " + fixed3(limits.fullScale) + " V");
    }
    setUp(channels, std::nullopt, measure, clamp);
    // Chosen in the force list only when it shows another mode, as a user would.
    if (b.pmuControl().forceEntry != 0) {
      act([](Bench& bb) { return bb.chooseForce(0); });
    }
    enterLevel(level, "V");
    return b.pmuControl().levelCode;
  }
  int forceCurrent(double amps, const std::optional<std::string>& range,
                   const std::optional<std::vector<int>>& channels,
                   const std::optional<std::string>& measure, const std::optional<double>& rsense,
                   const std::optional<bool>& clamp) {
    Bench& b = bench();
    const auto index =
        range ? valueOf(rangeNames(), *range) : static_cast<int>(b.currentRange().value());
    // The window takes microamps on the 5uA, 20uA and 200uA ranges and milliamps on the others,
    // as a single-precision number.
    const float level = toSingle(amps / currentUnitToAmps(index));
    if (!std::isfinite(level)) {
      throw py::value_error("Not a valid number. Please reenter it.");
    }
    if (channels) {
      channelMask(*channels);
    }
    if (measure) {
      valueOf(measureNames(), *measure);
    }
    if (rsense) {
      act([&rsense](Bench& bb) { return bb.enterExternalOhms(*rsense); });
    }
    setUp(channels, static_cast<bench::CurrentRange>(index), measure, clamp);
    // Chosen in the force list only when it shows another mode, as a user would.
    if (b.pmuControl().forceEntry != 1) {
      act([](Bench& bb) { return bb.chooseForce(1); });
    }
    enterLevel(level, rangeInMicroamps(index) ? "uA" : "mA");
    return b.pmuControl().levelCode;
  }
  // Clamp or comparator levels: volts on the voltage range, amps on a current range.
  void setLevels(bool clamps, double low, double high, const std::string& range) {
    Bench& b = bench();
    const bool voltage = range == "voltage";
    const int index = voltage ? kVoltageRangeLevel : valueOf(rangeNames(), range);
    std::array<std::int32_t, 2> codes{};
    std::optional<float> gain;
    if (!voltage) {
      gain = onBoard([](Bench& bb) { return bb.readMiGain(); });
    }
    const std::array<double, 2> levels{low, high};
    for (std::size_t i = 0; i < 2; ++i) {
      const std::optional<std::int32_t> code =
          voltage
              ? codeForVoltage(levels[i], b.conversion().vref, b.pmuControl().offsetCode)
              : codeForCurrent(levels[i], b.conversion().vref, gain.value_or(10.0F),
                               senseResistorOhms(index, b.pmuControl().externalOhms).value_or(1.0));
      if (!code || *code < 0 || *code > kMaxCode) {
        throw py::value_error(std::string(kLevelOutOfRange) + " (" + formatDouble(levels[i]) +
                              (voltage ? " V" : " A") + " needs a code outside 0 to 0xFFFF)");
      }
      codes[i] = *code;
    }
    // CLL and CLH have one level for all current ranges; the comparators one per range.
    const int level = clamps && !voltage ? kCurrentRangesLevel : index;
    const std::array<DacGroup, 2> groups = clamps ? std::array{DacGroup::Cll, DacGroup::Clh}
                                                  : std::array{DacGroup::Cpl, DacGroup::Cph};
    for (std::size_t i = 0; i < 2; ++i) {
      act([&](Bench& bb) {
        return bb.writeDac(groups[i], level, DacRegister::X1, static_cast<std::uint16_t>(codes[i]));
      });
    }
  }

  // ---- runs ----
  py::object sweep(const measure::SweepRequest& request, const RunOptions& o,
                   const py::object& progress) {
    if (const auto refusal = measure::checkSweepFields(request)) {
      throw py::value_error(refusal->message);
    }
    if (request.endVolts < request.startVolts) {
      throw py::value_error(measure::kEndBelowStart);
    }
    apply(o);
    act([&](Bench& b) { return b.startSweep(request, o.vref); });
    drive(progress);
    RunResult result = runResult(bench(), true);
    result.settings["start"] = request.startVolts;
    result.settings["end"] = request.endVolts;
    result.settings["step_mv"] = request.stepMillivolts;
    return finishRun(std::move(result), *bench().sweepRun());
  }
  py::object timeRun(double force, const RunOptions& o, const py::object& progress) {
    if (const auto refusal = measure::checkForceField(force)) {
      throw py::value_error(refusal->message);
    }
    apply(o);
    act([&](Bench& b) { return b.startTimeRun(force, o.vref); });
    drive(progress);
    RunResult result = runResult(bench(), false);
    result.settings["force"] = force;
    return finishRun(std::move(result), *bench().timeRun());
  }
  py::object channelTest(const py::object& progress) {
    act([](Bench& b) { return b.startChannelTest(); });
    drive(progress);
    lastTest_ = py::cast(testResult(bench()));
    raisePending(lastTest_);
    return lastTest_;
  }

  // ---- traffic ----
  bench::SubscriptionId observeTraffic(const py::function& function) {
    // The bench copies its listeners while the interpreter lock is released: they hold the
    // Python function through a pointer whose copies touch no Python object, and the last one
    // lets the function go under the lock.
    const std::shared_ptr<py::function> listener(new py::function(function), [](py::function* f) {
      const py::gil_scoped_acquire locked;
      delete f;
    });
    return bench().observeTraffic([listener](const board::BoardLink::RequestRecord& r) {
      const py::gil_scoped_acquire locked;
      try {
        (*listener)(trafficRecord(r));
      } catch (py::error_already_set& e) {
        // Nothing may unwind through the board link: the error is reported and dropped.
        e.discard_as_unraisable("kv4410 traffic listener");
      }
    });
  }

  bool stopObservingTraffic(bench::SubscriptionId id) {
    return id != watcher_ && bench().stopObservingTraffic(id);
  }

  py::object lastRun_ = py::none();
  py::object lastTest_ = py::none();

 private:
  void setUp(const std::optional<std::vector<int>>& channels,
             std::optional<bench::CurrentRange> range, const std::optional<std::string>& measure,
             const std::optional<bool>& clamp) {
    if (channels) {
      setChannels(*channels);
    }
    if (range) {
      act([range](Bench& b) { return b.setCurrentRange(*range); });
    }
    if (measure) {
      const auto m = named<bench::MeasureSelect>(measureNames(), *measure);
      act([m](Bench& b) { return b.setMeasure(m); });
    }
    if (clamp) {
      act([&clamp](Bench& b) { return b.setPmuField(PmuField::Clamp, *clamp ? 1 : 0); });
    }
  }
  void enterLevel(float level, const char* unit) {
    Bench& b = bench();
    const Refusal refusal = onBoard([level](Bench& bb) { return bb.enterForceLevel(level); });
    if (refusal) {
      const bench::PmuControlState& s = b.pmuControl();
      throw py::value_error(*refusal + " Z/S = " + fixed3(s.rangeLow) + " " + unit +
                            ", F/S = " + fixed3(s.rangeHigh) + " " + unit);
    }
  }
  void apply(const RunOptions& o) {
    if (o.channels) {
      refuse(bench().setSweepChannels(*o.channels));
    }
    if (o.range) {
      act([&o](Bench& b) { return b.setCurrentRange(*o.range); });
    }
    if (o.measure) {
      act([&o](Bench& b) { return b.setMeasure(*o.measure); });
    }
    if (o.cycleDelay) {
      refuse(bench().setCycleDelay(*o.cycleDelay));
    }
    if (o.sampleDelay) {
      refuse(bench().setSampleDelay(*o.sampleDelay));
    }
  }
  // Advances the run to its end. Ctrl-C, or an exception from `progress`, stops a sweep or a
  // time run at its next row (the channel test runs to its end); the exception is raised once
  // the run has ended, by raisePending.
  void drive(const py::object& progress) {
    Bench& b = bench();
    measure::Clock& clock = clock_;
    std::size_t shown = 0;
    const auto stepsDone = [&b]() -> std::size_t {
      if (b.busy() == std::string(bench::kChannelTestRunning)) {
        return b.channelTest().readings().size();
      }
      if (b.busy() == std::string(bench::kSweepRunning)) {
        return b.sweepRun()->stepsDone();
      }
      return b.timeRun() ? b.timeRun()->stepsDone() : 0;
    };
    const auto planned = [&b]() -> std::size_t {
      if (b.busy() == std::string(bench::kChannelTestRunning)) {
        return measure::ChannelTest::kReadings;
      }
      return b.busy() == std::string(bench::kSweepRunning) ? b.sweepRun()->stepsPlanned()
                                                           : b.timeRun()->stepsPlanned();
    };
    // A sweep or time run stops at its next row; the channel test runs on, waits and all.
    bool stopping = false;
    const auto interrupt = [&] {
      pending_ = PendingError::fetch();
      stopping = b.stopRun();
    };
    while (true) {
      std::optional<double> wait;
      {
        const py::gil_scoped_release unlocked;
        wait = b.advanceRun();
      }
      if (!wait) {
        break;
      }
      if (stopping) {
        continue;  // the run ends at its next advance, without waiting
      }
      if (!pending_ && !progress.is_none() && stepsDone() != shown) {
        shown = stepsDone();
        try {
          progress(shown, planned());
        } catch (py::error_already_set& e) {
          e.restore();
          interrupt();
          continue;
        }
      }
      if (!pending_ && PyErr_CheckSignals() != 0) {
        interrupt();
        continue;
      }
      if (*wait > 0.0) {
        const py::gil_scoped_release unlocked;
        clock.waitUntil(clock.now() + std::min(*wait, kWaitSlice));
      }
    }
  }
  py::object finishRun(RunResult result, const measure::Run& run) {
    lastRun_ = py::cast(std::move(result));
    if (const auto& refusal = run.refusal()) {
      // Refused after its preparation (a code outside the DAC, a step below one code).
      if (refusal->field == measure::EntryField::Board) {
        throw BoardFailure{run.lastFailedStatus(), statusText(run.lastFailedStatus()),
                           refusal->message};
      }
      throw py::value_error(refusal->message);
    }
    raisePending(lastRun_);
    if (run.state() == measure::Run::State::BoardLost) {
      const py::object type = py::module_::import("kv4410._errors").attr("BoardError");
      const py::object error = type(run.lostStatus(), statusText(run.lostStatus()),
                                    "The board was lost after " + std::to_string(run.stepsDone()) +
                                        " of " + std::to_string(run.stepsPlanned()) + " readings.");
      error.attr("result") = lastRun_;
      PyErr_SetObject(type.ptr(), error.ptr());
      throw py::error_already_set();
    }
    return lastRun_;
  }
  void raisePending(const py::object& result) {
    if (pending_) {
      PendingError pending = std::move(*pending_);
      pending_.reset();
      pending.raiseWith(result);
    }
  }

  CollectingReporter reporter_;
  measure::SteadyClock clock_;
  std::unique_ptr<Bench> bench_;
  int firstFailure_ = 0;
  bench::SubscriptionId watcher_ = 0;
  std::optional<PendingError> pending_;
};

namespace {

std::unique_ptr<PyBench> openBench(const py::object& simulate,
                                   const std::optional<std::string>& boardLocation,
                                   const std::optional<std::filesystem::path>& firmware,
                                   const std::optional<std::filesystem::path>& trace) {
  board::BoardOptions options;
  if (py::isinstance<py::str>(simulate)) {
    options.simulate = true;
    options.simulateOptions = simulate.cast<std::string>();
  } else if (py::isinstance<py::bool_>(simulate)) {
    options.simulate = simulate.cast<bool>();
  } else {
    throw py::type_error("simulate is True, False or the simulated board's options");
  }
  options.boardLocation = boardLocation;
  options.firmware = firmware;
  options.trace = trace;
  std::string error;
  board::OpenedBoard opened = board::openBoard(options, error);
  if (!opened.access) {
    throw py::value_error(error);
  }
  // The firmware file beside the package, else in the installed shared data folder.
  const std::filesystem::path packageDir =
      std::filesystem::path(py::module_::import("kv4410").attr("__file__").cast<std::string>())
          .parent_path();
  const board::FirmwareLookup lookup = board::lookUpFirmware(firmware, packageDir);
  const board::SimulatedBoard* simulated = opened.simulated;
  auto session = std::make_unique<PyBench>(std::move(opened));
  {
    const py::gil_scoped_release unlocked;
    session->bench().startUp(lookup.path);
  }
  if (std::optional<BoardFailure> failure = session->reporter().failure()) {
    if (failure->status == board::status::kFirmwareNotFound) {
      failure->detail = board::triedText(lookup);
    }
    session->close();
    throw *failure;
  }
  // The simulated board's own reference, when it has another one than 5 V, is the one the
  // conversions and runs take.
  if (simulated != nullptr) {
    session->bench().setVref(static_cast<float>(simulated->options().referenceVolts));
  }
  return session;
}

py::list listBoards(const py::object& simulate) {
  py::list boards;
  if (!(py::isinstance<py::bool_>(simulate) && !simulate.cast<bool>())) {
    const std::string text = py::isinstance<py::str>(simulate) ? simulate.cast<std::string>() : "";
    const auto parsed = board::parseSimulationOptions(text);
    if (!parsed.options) {
      throw py::value_error(parsed.error);
    }
    if (!parsed.options->noBoard) {
      boards.append(py::dict(py::arg("board") = "simulated", py::arg("address") = py::none(),
                             py::arg("firmware") = "running"));
    }
    return boards;
  }
  std::vector<board::LibusbBoard::Listing> listings;
  {
    const py::gil_scoped_release unlocked;
    board::LibusbBoard usb(std::make_unique<board::LibusbTransport>());
    listings = usb.survey(board::kVendorId, board::kProductId);
  }
  for (const auto& l : listings) {
    using Firmware = board::LibusbBoard::Firmware;
    const char* firmwareState = l.firmware == Firmware::Ours        ? "running"
                                : l.firmware == Firmware::NotLoaded ? "not loaded"
                                                                    : "unknown";
    boards.append(
        py::dict(py::arg("board") = board::locationText({l.device.bus, l.device.portPath}),
                 py::arg("address") = l.device.address, py::arg("firmware") = firmwareState));
  }
  return boards;
}

}  // namespace

void bindBench(py::module_& m) {
  using RunOpt = std::optional<std::string>;
  using Channels = std::optional<std::vector<int>>;
  m.def("open", &openBench, py::arg("simulate") = false, py::arg("board") = py::none(),
        py::arg("firmware") = py::none(), py::arg("trace") = py::none(),
        "Opens a board and runs the program's start-up; returns a Bench. simulate=True (or the "
        "simulated board's options, 'load2=9000,noise=2') talks to the simulated board; board= "
        "picks a USB board by BUS-PORT; firmware= names the firmware file; trace= appends one "
        "line per board operation to a file. BoardError when the start-up fails.");
  m.def("list_boards", &listBoards, py::arg("simulate") = false,
        "Every connected board: {'board': BUS-PORT, 'address': ..., 'firmware': 'running', 'not "
        "loaded' or 'unknown'}; with simulate, the simulated board.");

  py::class_<PyBench>(m, "Bench",
                      "A board session: registers, a channel in volts and amps, sweeps, time "
                      "runs, the channel test. A context manager: the board is released on "
                      "exit (or by close()).")
      .def("close", &PyBench::close, "Releases the board; later calls raise ValueError.")
      .def(
          "save_setup",
          [](PyBench& b, const std::filesystem::path& path) {
            const Bench& bench = b.bench();
            const bench::Setup setup{kProgramVersion,
                                     measure::localDateTime(),
                                     bench.simulated() != nullptr ? "simulated" : "usb",
                                     bench.snapshot(),
                                     measure::SweepRequest{},
                                     0.0};
            if (const auto reason = measure::writeFileAtomically(path, bench::setupJson(setup))) {
              PyErr_SetString(PyExc_OSError, reason->c_str());
              throw py::error_already_set();
            }
          },
          py::arg("path"),
          "Writes the bench's whole state (every stored word, the conversion values, the "
          "settings and what the chip holds) as a setup file, as kv4410ctl setup save does; a "
          "failure (OSError) keeps the old file.")
      .def(
          "load_setup",
          [](PyBench& b, const std::filesystem::path& path) {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            if (!(in && text << in.rdbuf())) {
              PyErr_SetString(PyExc_OSError, ("cannot read '" + path.string() + "'").c_str());
              throw py::error_already_set();
            }
            const bench::SetupResult read = bench::readSetup(text.str());
            if (!read.setup) {
              throw py::value_error(read.refusal);
            }
            std::vector<std::string> steps;
            for (const bench::BoardStep& step : b.bench().setupPlan(*read.setup)) {
              steps.push_back(bench::stepText(step));
            }
            b.act([&read](Bench& bench) { return bench.applySetup(*read.setup); });
            return steps;
          },
          py::arg("path"),
          "Opens a setup file (or a run CSV file with its '# setup:' line): sends the words that "
          "bring the board to its state and takes its settings; returns the steps sent. A file "
          "that is no setup, of a newer format or with a value outside its field raises "
          "ValueError naming the first bad entry, and nothing is sent.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](PyBench& b, const py::args&) { b.close(); })
      .def_property_readonly("simulated",
                             [](PyBench& b) { return b.bench().simulated() != nullptr; })
      .def_property_readonly(
          "words",
          [](PyBench& b) {
            const StoredWords& w = b.bench().words();
            return py::dict(py::arg("sys") = w.sysWord, py::arg("pmu") = w.pmuWord,
                            py::arg("chan_bits") = w.chanBits, py::arg("dac") = w.dacWord);
          },
          "The stored register words: sys, pmu, chan_bits, dac")
      // registers
      .def("write_word", &PyBench::writeWord, py::arg("word"),
           "Sends a raw 29-bit serial word; no stored word changes.")
      .def_property(
          "channels",
          [](PyBench& b) {
            return channelList(static_cast<unsigned>(b.bench().words().chanBits) >> 24);
          },
          &PyBench::setChannels,
          "The channels (0..3) that PMU and DAC words address; setting it sends nothing.")
      .def("write_system", &PyBench::writeSystem,
           "Composes the named system control fields (write_system(GUARD_EN=1, CLAMP_ALARM=0)) "
           "into the stored word and sends it as one word; no field: sends the stored word.")
      .def("write_pmu", &PyBench::writePmu, py::arg("channels") = py::none(),
           "Composes the named PMU fields (write_pmu(FORCE=1, CLAMP=0)) into the stored PMU "
           "word and sends it to the channels; no field: sends the stored word. Fields of a "
           "shared setting (RANGE, MEASURE, COMPARE) are set through their properties.")
      .def("write_dac", &PyBench::writeDac, py::arg("dac"), py::arg("code"),
           py::arg("level") = kVoltageRangeLevel, py::arg("register") = "x1",
           py::arg("channels") = py::none(),
           "Writes a DAC register as a code 0..0xFFFF: dac offset, fin, cll, clh, cpl or cph; "
           "level 0..5 (0..3 the 5uA..2mA ranges, 4 external (CLL/CLH: current ranges), 5 "
           "voltage); register x1, m or c.")
      .def(
          "reset", [](PyBench& b) { b.act([](Bench& x) { return x.resetChip(); }); },
          "Resets the chip (request 219); the stored words are kept.")
      .def(
          "pulse_load", [](PyBench& b) { b.act([](Bench& x) { return x.pulseLoad(); }); },
          "Pulses /LOAD (222), then leaves it high.")
      .def_property(
          "load_high", [](PyBench& b) { return b.bench().loadHigh(); },
          [](PyBench& b, bool high) { b.act([high](Bench& x) { return x.setLoadHigh(high); }); },
          "The /LOAD line: True high (updates gated, 226), False low (227).")
      .def(
          "set_ccomp",
          [](PyBench& b, const std::string& value) {
            static const NameTable kValues{"CCOMP", {"100pF", "1nF"}};
            const int v = valueOf(kValues, value) + 1;
            b.act([v](Bench& x) { return x.setCComp(v); });
          },
          py::arg("value"), "CCOMP capacitor of CH1 and CH3: '100pF' or '1nF'.")
      .def(
          "set_cff",
          [](PyBench& b, const std::string& value) {
            static const NameTable kValues{"CFF", {"220pF", "1nF", "10nF"}};
            const int v = valueOf(kValues, value) + 1;
            b.act([v](Bench& x) { return x.setCFeedforward(v); });
          },
          py::arg("value"), "CFF capacitor of CH1 and CH3: '220pF', '1nF' or '10nF'.")
      .def(
          "read_back",
          [](PyBench& b, const py::int_& request) {
            return b.readBack(
                static_cast<std::int32_t>(checkedInteger(request, 0, kWordMask, kWordTooLarge)));
          },
          py::arg("request"), "Sends a read-request word and returns the 24-bit answer.")
      .def(
          "read_system",
          [](PyBench& b) {
            return fieldsOf(systemControlRegister(), b.readBack(kReadSystemRequest));
          },
          "Reads the system control register back: its fields by name.")
      .def(
          "read_pmu",
          [](PyBench& b, int channel) {
            channelMask({channel});
            return fieldsOf(pmuReadbackRegister(), b.readBack(pmuReadRequest(channel)));
          },
          py::arg("channel"),
          "Reads a channel's PMU register back: its fields by name (TEMP_ALARM bits 1: no "
          "alarm).")
      .def(
          "read_comparator",
          [](PyBench& b) {
            return fieldsOf(comparatorStatusRegister(), b.readBack(kReadComparatorRequest));
          },
          "Reads the comparator status: CPO, bit 7 CPOL0 down to bit 0 CPOH3.")
      .def(
          "read_alarm",
          [](PyBench& b) { return fieldsOf(alarmStatusRegister(), b.readBack(kReadAlarmRequest)); },
          "Reads the alarm status register (1: no alarm).")
      .def(
          "read_offset",
          [](PyBench& b) { return offsetDacFromReadback(b.readBack(kReadOffsetDacRequest)); },
          "Reads the OFFSET DAC code back.")
      .def(
          "read_dac",
          [](PyBench& b, int channel, const std::string& dac, int level, const std::string& reg) {
            channelMask({channel});
            const auto group = named<DacGroup>(dacGroupNames(), dac);
            const auto kind = named<DacRegister>(dacRegisterNames(), reg);
            if (!groupHasLevel(group, level)) {
              throw py::value_error("The " + std::string(groupName(group)) +
                                    " DAC has no such register.");
            }
            const int address = (groupBase(group) >> 16) + level;
            return dacCodeFromReadback(b.readBack(dacReadRequest(channel, modeOf(kind), address))) &
                   0xFFFF;
          },
          py::arg("channel"), py::arg("dac"), py::arg("level") = kVoltageRangeLevel,
          py::arg("register") = "x1", "Reads a DAC register of one channel back: its code.")
      .def(
          "read_adc",
          [](PyBench& b) { return b.onBoard([](Bench& x) { return x.readAdc(); }).value_or(0); },
          "One reading of the board's ADC (232, 233): its 16-bit code.")
      .def(
          "read_mi_gain",
          [](PyBench& b) {
            return b.onBoard([](Bench& x) { return x.readMiGain(); }).value_or(10.0F);
          },
          "The current-measure gain (10 or 5) from the system control readback.")
      // shared settings
      .def_property(
          "current_range",
          [](PyBench& b) {
            return nameOf(rangeNames(), static_cast<int>(b.bench().currentRange().value()));
          },
          [](PyBench& b, const std::string& name) {
            const auto v = named<bench::CurrentRange>(rangeNames(), name);
            b.act([v](Bench& x) { return x.setCurrentRange(v); });
          },
          "5uA, 20uA, 200uA, 2mA or ext; a change sends the PMU word.")
      .def_property(
          "measure",
          [](PyBench& b) {
            return nameOf(measureNames(), static_cast<int>(b.bench().measure().value()));
          },
          [](PyBench& b, const std::string& name) {
            const auto v = named<bench::MeasureSelect>(measureNames(), name);
            b.act([v](Bench& x) { return x.setMeasure(v); });
          },
          "current, voltage, temperature or hiz; a change sends the PMU word.")
      .def_property(
          "compare",
          [](PyBench& b) {
            return nameOf(compareNames(), static_cast<int>(b.bench().compare().value()));
          },
          [](PyBench& b, const std::string& name) {
            const auto v = named<bench::CompareMode>(compareNames(), name);
            b.act([v](Bench& x) { return x.setCompare(v); });
          },
          "current or voltage; a change sends the PMU word.")
      .def_property(
          "current_gain",
          [](PyBench& b) {
            return b.bench().currentGain().value() == bench::CurrentGain::Ten ? 10 : 5;
          },
          [](PyBench& b, double gain) {
            if (gain != 10.0 && gain != 5.0) {
              throw py::value_error("current_gain must be 10 or 5");
            }
            const auto v = gain == 10.0 ? bench::CurrentGain::Ten : bench::CurrentGain::Five;
            b.act([v](Bench& x) { return x.setCurrentGain(v); });
          },
          "The current-measure gain, 10 or 5; a change sends the system word.")
      .def_property(
          "measout_gain",
          [](PyBench& b) {
            return b.bench().measoutGain().value() == bench::MeasoutGain::Fifth ? 0.2 : 1.0;
          },
          [](PyBench& b, double gain) {
            if (gain != 0.2 && gain != 1.0) {
              throw py::value_error("measout_gain must be 0.2 or 1");
            }
            const auto v = gain == 1.0 ? bench::MeasoutGain::One : bench::MeasoutGain::Fifth;
            b.act([v](Bench& x) { return x.setMeasoutGain(v); });
          },
          "The MEASOUT gain, 0.2 or 1 (1 can drive the ADC beyond its range); a change sends "
          "the system word.")
      .def_property(
          "thermal",
          [](PyBench& b) {
            return nameOf(thermalNames(), static_cast<int>(b.bench().thermal().value()));
          },
          [](PyBench& b, const std::string& name) {
            const auto v = named<bench::ThermalShutdown>(thermalNames(), name);
            b.act([v](Bench& x) { return x.setThermal(v); });
          },
          "Die thermal shutdown: disabled, enabled, 130C, 120C, 110C or 100C.")
      .def_property(
          "alarm_latch",
          [](PyBench& b) {
            return nameOf(latchNames(), static_cast<int>(b.bench().alarmLatch().value()));
          },
          [](PyBench& b, const std::string& name) {
            const auto v = named<bench::AlarmLatch>(latchNames(), name);
            b.act([v](Bench& x) { return x.setAlarmLatch(v); });
          },
          "Open-drain alarms: unlatched or latched.")
      .def_property(
          "vref", [](PyBench& b) { return b.bench().conversion().vref; },
          [](PyBench& b, float volts) { refuse(b.bench().setVref(volts)); },
          "The reference of the conversions and runs, above 0 and at most 5 V; sends nothing.")
      // a channel in volts and amps
      .def("force_voltage", &PyBench::forceVoltage, py::arg("volts"),
           py::arg("channels") = py::none(), py::arg("measure") = py::none(),
           py::arg("clamp") = py::none(),
           "Forces a voltage as the PMU control window does: force voltage chosen, the PMU "
           "word, then the FIN DAC code for the level with VREF and the OFFSET code. Returns "
           "the code. ValueError outside Z/S..F/S, before anything is sent.")
      .def("force_current", &PyBench::forceCurrent, py::arg("amps"), py::arg("range") = py::none(),
           py::arg("channels") = py::none(), py::arg("measure") = py::none(),
           py::arg("rsense") = py::none(), py::arg("clamp") = py::none(),
           "Forces a current in amps on a current range as the PMU control window does (it "
           "reads the current-measure gain back first); rsense: the external range's resistor, "
           "12.5 to 10000 ohms. Returns the FIN DAC code.")
      .def(
          "set_fin_code",
          [](PyBench& b, const py::int_& code) {
            const auto c =
                static_cast<std::int32_t>(checkedInteger(code, 0, kMaxCode, kCodeOutOfRange));
            b.act([c](Bench& x) { return x.enterFinCode(c); });
          },
          py::arg("code"), "Writes a FIN DAC code directly, at the present force mode's level.")
      .def_property(
          "offset_code", [](PyBench& b) { return b.bench().pmuControl().offsetCode; },
          [](PyBench& b, const py::int_& code) {
            const auto c =
                static_cast<std::int32_t>(checkedInteger(code, 0, kMaxCode, kCodeOutOfRange));
            b.act([c](Bench& x) { return x.enterOffsetCode(c); });
          },
          "The OFFSET DAC code of the level conversions (0xA492 at start-up); setting it "
          "writes the OFFSET DAC.")
      .def_property_readonly(
          "force_range",
          [](PyBench& b) {
            const bench::PmuControlState& s = b.bench().pmuControl();
            const double scale =
                s.forceVoltage ? 1.0 : currentUnitToAmps(b.bench().conversion().rangeIndex);
            return py::make_tuple(static_cast<double>(s.rangeLow) * scale,
                                  static_cast<double>(s.rangeHigh) * scale);
          },
          "(Z/S, F/S) of the last force level, in volts or amps.")
      .def(
          "set_clamps",
          [](PyBench& b, double low, double high, const std::string& range) {
            b.setLevels(true, low, high, range);
          },
          py::arg("low"), py::arg("high"), py::arg("range") = "voltage",
          "Writes CLL and CLH: volts on the voltage range, or amps converted with a current "
          "range's resistor into the one clamp level of all current ranges.")
      .def(
          "set_comparators",
          [](PyBench& b, double low, double high, const std::string& range) {
            b.setLevels(false, low, high, range);
          },
          py::arg("low"), py::arg("high"), py::arg("range") = "voltage",
          "Writes CPL and CPH of the voltage range (volts) or of a current range (amps).")
      // runs
      .def(
          "sweep",
          [](PyBench& b, double start, double end, double stepMv, const Channels& channels,
             const RunOpt& range, const RunOpt& measure, const RunOpt& cycleDelay,
             const std::optional<int>& sampleDelay, const std::optional<double>& vref,
             const py::object& progress) {
            return b.sweep({start, end, stepMv},
                           runOptions(channels, range, measure, cycleDelay, sampleDelay, vref),
                           progress);
          },
          py::arg("start"), py::arg("end"), py::arg("step_mv"), py::arg("channels") = py::none(),
          py::arg("range") = py::none(), py::arg("measure") = py::none(),
          py::arg("cycle_delay") = py::none(), py::arg("sample_delay") = py::none(),
          py::arg("vref") = py::none(), py::arg("progress") = py::none(),
          "The voltage sweep from start to end volts in steps of step_mv millivolts; returns a "
          "RunResult. progress(done, planned) is called after each row.")
      .def(
          "time_run",
          [](PyBench& b, double force, const Channels& channels, const RunOpt& range,
             const RunOpt& measure, const RunOpt& cycleDelay, const std::optional<int>& sampleDelay,
             const std::optional<double>& vref, const py::object& progress) {
            return b.timeRun(force,
                             runOptions(channels, range, measure, cycleDelay, sampleDelay, vref),
                             progress);
          },
          py::arg("force"), py::arg("channels") = py::none(), py::arg("range") = py::none(),
          py::arg("measure") = py::none(), py::arg("cycle_delay") = py::none(),
          py::arg("sample_delay") = py::none(), py::arg("vref") = py::none(),
          py::arg("progress") = py::none(),
          "101 readings at one forced voltage, at the cycle pace; returns a RunResult.")
      .def("channel_test", &PyBench::channelTest, py::arg("progress") = py::none(),
           "The automated test of PMU0 to PMU3; returns a TestResult. It cannot be stopped: "
           "Ctrl-C is raised once it has ended.")
      .def_readonly("last_run", &PyBench::lastRun_,
                    "The last sweep or time run's result, also after it was interrupted")
      .def_readonly("last_test", &PyBench::lastTest_)
      // traffic
      .def("observe_traffic", &PyBench::observeTraffic, py::arg("listener"),
           "Calls listener(record) after every vendor request (a dict: number, request, value, "
           "index, direction, length, data, status, and word for a serial-word write); returns "
           "an id for stop_observing_traffic.")
      .def("stop_observing_traffic", &PyBench::stopObservingTraffic, py::arg("id"),
           "Stops calling a listener; False when the id is not one of observe_traffic's.");
}

}  // namespace kv4410::python
