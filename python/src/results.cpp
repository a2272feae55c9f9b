#include "results.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "device/conversions.h"
#include "measure/atomic_file.h"
#include "measure/run_csv.h"
#include "names.h"

namespace kv4410::python {

namespace {

// A vector handed to NumPy without a copy; the array owns it from then on.
template <typename T>
py::array_t<T> toArray(std::vector<T>&& values) {
  auto* held = new std::vector<T>(std::move(values));
  const py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return py::array_t<T>(static_cast<py::ssize_t>(held->size()), held->data(), owner);
}

py::array_t<bool> flags(const std::vector<int>& statuses) {
  py::array_t<bool> out(static_cast<py::ssize_t>(statuses.size()));
  auto view = out.mutable_unchecked<1>();
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    view(static_cast<py::ssize_t>(i)) = statuses[i] != 0;
  }
  return out;
}

// The integer in tab-separated field `column` of a result list row.
std::int64_t fieldOf(const std::string& line, int column) {
  std::size_t start = 0;
  for (int i = 0; i < column; ++i) {
    start = line.find('\t', start) + 1;
  }
  return std::strtoll(line.c_str() + start, nullptr, 10);
}

std::string stateName(measure::Run::State state) {
  switch (state) {
    case measure::Run::State::Finished:
      return "finished";
    case measure::Run::State::Stopped:
      return "stopped";
    case measure::Run::State::BoardLost:
      return "board lost";
    case measure::Run::State::Refused:
      return "refused";
    default:
      return "running";
  }
}

// What both kinds of run share.
RunResult common(const bench::Bench& bench, const measure::Run& run, bool sweep) {
  RunResult r;
  const measure::SweepState& s = bench.sweepState();
  const float vref = bench.conversion().vref;  // the run made its VREF the shared one
  r.kind = sweep ? "sweep" : "time run";
  r.state = stateName(run.state());
  r.min = run.min();
  r.max = run.max();
  r.lines = run.lines();
  py::dict& d = r.settings;
  d["kind"] = r.kind;
  d["vref"] = vref;
  d["offset_code"] = run.offsetCode();
  d["mi_gain"] = run.miGain();
  d["range"] = nameOf(rangeNames(), static_cast<int>(bench.currentRange().value()));
  d["measure"] = s.measureMode == measure::MeasureMode::Current ? "current" : "voltage";
  d["channels"] = channelList(static_cast<unsigned>(s.sweepChanBits) >> 24);
  const int cycle = bench.cycleDelay().value();
  const int sample = bench.sampleDelay().value();
  d["cycle_delay"] = cycle < 0 ? py::none() : py::object(py::str(nameOf(cycleDelayNames(), cycle)));
  d["sample_delay"] = sample < 0 ? py::none() : py::object(py::int_(sample));
  d["settle"] = s.delays.settle;
  d["remainder"] = s.delays.remainder;
  d["cycle"] = s.delays.cycle;
  if (run.stepsDone() > 0) {
    const measure::RunDescription description{sweep ? "Voltage sweep" : "Measure versus time",
                                              measure::localDateTime(),
                                              vref,
                                              run.offsetCode(),
                                              static_cast<int>(bench.currentRange().value()),
                                              s.measureMode,
                                              s.sweepChanBits,
                                              s.delays};
    r.csv = measure::csvText(description, run);
  }
  const std::vector<int>& statuses = run.rowStatuses();
  r.rows = statuses.size();
  r.arrays["status"] = toArray(std::vector<int>(statuses));
  r.arrays["failed"] = flags(statuses);
  r.arrays["measured"] = toArray(run.series());
  return r;
}

// The columns both runs give, one element per row.
void putColumns(RunResult& r, std::vector<std::int64_t>&& index, std::vector<std::int64_t>&& word,
                std::vector<std::int32_t>&& code, std::vector<double>&& forced,
                std::vector<std::int64_t>&& adc, std::vector<double>&& adcVolts,
                std::vector<double>&& time) {
  r.arrays["index"] = toArray(std::move(index));
  r.arrays["word"] = toArray(std::move(word));
  r.arrays["code"] = toArray(std::move(code));
  r.arrays["forced"] = toArray(std::move(forced));
  r.arrays["adc_code"] = toArray(std::move(adc));
  r.arrays["adc_volts"] = toArray(std::move(adcVolts));
  r.arrays["time"] = toArray(std::move(time));
}

}  // namespace

RunResult runResult(const bench::Bench& bench, bool sweep) {
  if (sweep) {
    const measure::SweepRun& run = *bench.sweepRun();
    RunResult r = common(bench, run, true);
    const auto& points = run.points();
    const std::size_t n = points.size();
    std::vector<std::int64_t> index(n), word(n), adc(n);
    std::vector<std::int32_t> code(n);
    std::vector<double> forced(n), adcVolts(n), time(n);
    // Sample times as the list shows them: the settling delay, then one cycle per row, added
    // in single precision.
    const measure::RunDelays& delays = bench.sweepState().delays;
    float t = delays.settle;
    for (std::size_t i = 0; i < n; ++i) {
      const std::string& line = run.lines()[i + 1];
      index[i] = static_cast<std::int64_t>(i);
      word[i] = fieldOf(line, 1);
      adc[i] = fieldOf(line, 4);
      code[i] = static_cast<std::int32_t>(points[i].dacCode);
      forced[i] = points[i].forcedVolts;
      adcVolts[i] = points[i].adcVolts;
      time[i] = static_cast<double>(t);
      t += delays.cycle;
    }
    putColumns(r, std::move(index), std::move(word), std::move(code), std::move(forced),
               std::move(adc), std::move(adcVolts), std::move(time));
    r.settings["start_code"] = run.startCode();
    r.settings["end_code"] = run.endCode();
    r.settings["step_code"] = run.stepCode();
    return r;
  }
  const measure::TimeRun& run = *bench.timeRun();
  RunResult r = common(bench, run, false);
  const auto& samples = run.samples();
  const std::size_t n = samples.size();
  const double forcedVolts =
      voltageOfCode(run.forceCode(), bench.conversion().vref, run.offsetCode());
  std::vector<std::int64_t> index(n), word(n, run.writeWord()), adc(n);
  std::vector<std::int32_t> code(n, run.forceCode());
  std::vector<double> forced(n, forcedVolts), adcVolts(n), time(n);
  for (std::size_t i = 0; i < n; ++i) {
    index[i] = static_cast<std::int64_t>(i);
    adc[i] = fieldOf(run.lines()[i + 1], 1);
    adcVolts[i] = samples[i].adcVolts;
    time[i] = samples[i].time;
  }
  putColumns(r, std::move(index), std::move(word), std::move(code), std::move(forced),
             std::move(adc), std::move(adcVolts), std::move(time));
  r.settings["force_code"] = run.forceCode();
  return r;
}

TestResult testResult(const bench::Bench& bench) {
  const measure::ChannelTest& test = bench.channelTest();
  TestResult r;
  r.verdict = test.verdict() == measure::ChannelTestVerdict::Pass ? "PASS" : "FAILURE";
  r.failureCount = test.failureCount();
  r.lines = test.lines();
  const auto& readings = test.readings();
  const std::size_t n = readings.size();
  std::vector<int> channel(n), check(n), code(n), status(n);
  std::vector<double> value(n), low(n), high(n);
  py::array_t<bool> passed(static_cast<py::ssize_t>(n));
  auto passView = passed.mutable_unchecked<1>();
  for (std::size_t i = 0; i < n; ++i) {
    const measure::ChannelReading& g = readings[i];
    channel[i] = g.channel;
    check[i] = g.check;
    code[i] = g.code;
    status[i] = g.status;
    // A reading whose transfer failed has no value.
    value[i] = g.value ? static_cast<double>(*g.value) : std::numeric_limits<double>::quiet_NaN();
    low[i] = static_cast<double>(g.low);
    high[i] = static_cast<double>(g.high);
    passView(static_cast<py::ssize_t>(i)) = g.pass;
  }
  r.arrays["channel"] = toArray(std::move(channel));
  r.arrays["check"] = toArray(std::move(check));
  r.arrays["code"] = toArray(std::move(code));
  r.arrays["value"] = toArray(std::move(value));
  r.arrays["low"] = toArray(std::move(low));
  r.arrays["high"] = toArray(std::move(high));
  r.arrays["passed"] = passed;
  r.arrays["status"] = toArray(std::move(status));
  return r;
}

void bindResults(py::module_& m) {
  const auto dataFrame = [](const py::dict& arrays) {
    py::module_ pandas;
    try {
      pandas = py::module_::import("pandas");
    } catch (const py::error_already_set&) {
      throw py::import_error("to_pandas() needs pandas (Debian: python3-pandas)");
    }
    return pandas.attr("DataFrame")(arrays);
  };
  py::class_<RunResult>(m, "RunResult",
                        "A sweep or time run: one element per row in each array. A run stopped "
                        "early (Ctrl-C, a progress callback that raised) or that lost its board "
                        "keeps the rows measured before; `state` says how it ended.")
      .def_readonly("kind", &RunResult::kind, "'sweep' or 'time run'")
      .def_readonly("state", &RunResult::state, "'finished', 'stopped' or 'board lost'")
      .def_property_readonly(
          "stopped", [](const RunResult& r) { return r.state != "finished"; },
          "True when the run ended before its last row")
      .def_readonly("min", &RunResult::min, "Least measured value (single precision)")
      .def_readonly("max", &RunResult::max, "Greatest measured value (single precision)")
      .def_readonly("settings", &RunResult::settings,
                    "What the run ran with: VREF, offset code, MI gain, range, measure, "
                    "channels, delays, codes")
      .def_readonly("lines", &RunResult::lines, "The result list: header, rows (tab-separated)")
      .def_property_readonly("index", [](const RunResult& r) { return r.column("index"); })
      .def_property_readonly(
          "word", [](const RunResult& r) { return r.column("word"); },
          "FIN DAC word sent for the row")
      .def_property_readonly(
          "code", [](const RunResult& r) { return r.column("code"); }, "FIN DAC code of the row")
      .def_property_readonly(
          "forced", [](const RunResult& r) { return r.column("forced"); }, "Forced voltage, V")
      .def_property_readonly("adc_code", [](const RunResult& r) { return r.column("adc_code"); })
      .def_property_readonly("adc_volts", [](const RunResult& r) { return r.column("adc_volts"); })
      .def_property_readonly(
          "measured", [](const RunResult& r) { return r.column("measured"); },
          "Measured voltage (V) or current (A), by the measure setting")
      .def_property_readonly(
          "time", [](const RunResult& r) { return r.column("time"); }, "Sample time, s")
      .def_property_readonly(
          "status", [](const RunResult& r) { return r.column("status"); },
          "Board status of the row's reading, 0 when it went through")
      .def_property_readonly(
          "failed", [](const RunResult& r) { return r.column("failed"); },
          "True where the reading's transfer failed")
      .def("__len__", [](const RunResult& r) { return r.rows; })
      .def(
          "to_csv",
          [](const RunResult& r, const std::filesystem::path& path) {
            if (r.csv.empty()) {
              throw py::value_error("The run has no rows; nothing was written.");
            }
            if (const auto reason = measure::writeFileAtomically(path, r.csv)) {
              PyErr_SetString(PyExc_OSError, reason->c_str());
              throw py::error_already_set();
            }
          },
          py::arg("path"),
          "Writes the run as kv4410ctl's --csv does: replaced only once complete, so a failure "
          "(OSError) keeps the old file.")
      .def(
          "to_pandas", [dataFrame](const RunResult& r) { return dataFrame(r.arrays); },
          "The arrays as a pandas DataFrame, one row per reading.");

  py::class_<TestResult>(m, "TestResult",
                         "The channel test: the verdict and each of its 16 readings with its "
                         "limits.")
      .def_readonly("verdict", &TestResult::verdict, "'PASS' or 'FAILURE'")
      .def_property_readonly("passed", [](const TestResult& r) { return r.verdict == "PASS"; })
      .def_readonly("failure_count", &TestResult::failureCount)
      .def_readonly("lines", &TestResult::lines, "The result list, line by line")
      .def_readonly("readings", &TestResult::arrays,
                    "Arrays by name: channel, check (1..4), code, value (V or A; NaN where the "
                    "transfer failed), low, high, passed, status")
      .def(
          "to_pandas", [dataFrame](const TestResult& r) { return dataFrame(r.arrays); },
          "The readings as a pandas DataFrame.");
}

}  // namespace kv4410::python
