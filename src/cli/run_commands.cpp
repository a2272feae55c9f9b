// kv4410ctl sweep and timerun: the voltage sweep and the measurement versus time on the board,
// run by the bench as the sweep window runs them. The rows go to stdout tab-separated, the last
// line being min and max (or with --csv as a table: comment lines describing the run, the header,
// the rows with their board status, min and max as comments); a progress line goes to stderr when
// it is a terminal. A --csv file is replaced only once the run has produced its rows.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/setup_file.h"
#include "board/board_link.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "device/text_format.h"
#include "measure/atomic_file.h"
#include "measure/clock.h"
#include "measure/run_csv.h"
#include "measure/sweep_engine.h"

namespace kv4410::cli {

namespace {

struct RunOptions {
  bool timeRun = false;
  double start = 0.0, end = 0.0, stepMv = 0.0, force = 0.0;
  int range = 3;  // 2mA, the range the start-up selects
  measure::MeasureMode mode = measure::MeasureMode::Voltage;
  std::vector<int> channels = {0, 1, 2, 3};
  float vref = 0.0F;  // 0: the board's reference
  int cycle = -1;     // none chosen: no cycle delay
  int sample = -1;
  std::string csv;
  // Range, measure and channels not given keep the bench's (a --setup file's, or the start-up's).
  const CLI::Option* rangeOption = nullptr;
  const CLI::Option* modeOption = nullptr;
  const CLI::Option* channelsOption = nullptr;
};

bool given(const CLI::Option* option) {
  return option != nullptr && option->count() > 0;
}

std::string statusText(int status) {
  const auto text = board::usbErrorText(status);
  return text ? std::string(*text) : "status " + std::to_string(status);
}

void showProgress(const measure::Run& run, bool last) {
  std::cerr << "\r" << run.stepsDone() << " of " << run.stepsPlanned() << " readings"
            << (last ? "\n" : "") << std::flush;
}

int runMeasurement(const GlobalOptions& globals, const RunOptions& o) {
  // The field checks of the window, before the board is touched.
  const auto refused = o.timeRun ? measure::checkForceField(o.force)
                                 : measure::checkSweepFields({o.start, o.end, o.stepMv});
  if (refused) {
    std::cerr << "kv4410ctl: " << refused->message << "\n";
    return kUsageError;
  }
  BoardSession session(globals);
  if (const int status = session.open(); status != kSuccess) {
    return status;
  }
  bench::Bench& bench = session.bench();
  std::uint8_t channels = given(o.channelsOption) ? 0 : bench.sweepChannels().value();
  for (const int c : given(o.channelsOption) ? o.channels : std::vector<int>{}) {
    channels |= static_cast<std::uint8_t>(1U << c);
  }
  // Without a cycle delay of its own, a sample delay takes its tenths of "No Delay".
  const int cycle = o.cycle < 0 && o.sample >= 0 && bench.cycleDelay().value() < 0 ? 0 : o.cycle;
  bench::Refusal refusal =
      bench.chooseForRun(given(o.rangeOption) ? static_cast<bench::CurrentRange>(o.range)
                                              : bench.currentRange().value(),
                         !given(o.modeOption)                      ? bench.measure().value()
                         : o.mode == measure::MeasureMode::Voltage ? bench::MeasureSelect::Voltage
                                                                   : bench::MeasureSelect::Current);
  if (!refusal) {
    refusal = bench.setSweepChannels(channels);
  }
  if (!refusal && cycle >= 0) {
    refusal = bench.setCycleDelay(cycle);
  }
  if (!refusal && o.sample >= 0) {
    refusal = bench.setSampleDelay(o.sample);
  }
  const float vref = o.vref > 0.0F           ? o.vref
                     : globals.setup.empty() ? session.reference()
                                             : bench.conversion().vref;
  // The run file's setup: the bench as the run starts, with the run's reference.
  bench::Setup setup = session.setup({o.start, o.end, o.stepMv}, o.force);
  setup.bench.conversion.vref = vref;
  if (!refusal) {
    refusal = o.timeRun ? bench.startTimeRun(o.force, vref)
                        : bench.startSweep({o.start, o.end, o.stepMv}, vref);
  }
  if (refusal) {
    std::cerr << "kv4410ctl: " << *refusal << "\n";
    return kUsageError;
  }
  const measure::Run* run = o.timeRun ? static_cast<const measure::Run*>(bench.timeRun())
                                      : static_cast<const measure::Run*>(bench.sweepRun());
  measure::Clock& clock = session.clock();

  const bool progress = isatty(STDERR_FILENO) != 0;
  auto lastShown = std::chrono::steady_clock::now();
  while (const auto wait = bench.advanceRun()) {
    if (progress && std::chrono::steady_clock::now() - lastShown > std::chrono::milliseconds(100)) {
      lastShown = std::chrono::steady_clock::now();
      showProgress(*run, false);
    }
    clock.waitUntil(clock.now() + *wait);
  }
  if (progress && run->stepsDone() > 0) {
    showProgress(*run, true);
  }
  if (const auto& refusal = run->refusal()) {
    std::cerr << "kv4410ctl: " << refusal->message << "\n";
    return refusal->field == measure::EntryField::Board ? kBoardError : kUsageError;
  }

  // What was measured is written even when the run ended early, but a run without a single row
  // leaves an existing file as it was.
  bool saved = true;
  if (o.csv.empty()) {
    for (const std::string& line : run->lines()) {
      std::cout << line << "\n";
    }
    if (!o.timeRun && run->stepsDone() > 0) {
      std::cout << formatSingle(run->min()) << "\t" << formatSingle(run->max()) << "\n";
    }
  } else if (run->stepsDone() > 0) {
    const measure::SweepState& sweep = bench.sweepState();
    const measure::RunDescription description{o.timeRun ? "Measure versus time" : "Voltage sweep",
                                              measure::localDateTime(),
                                              bench.conversion().vref,
                                              run->offsetCode(),
                                              bench.conversion().rangeIndex,
                                              sweep.measureMode,
                                              sweep.sweepChanBits,
                                              sweep.delays};
    saved = saveResults(
        o.csv,
        measure::csvText(description, *run, bench::setupJson(setup, bench::JsonLayout::OneLine)));
  }
  if (run->failedReadings() > 0) {
    const auto text = board::usbErrorText(run->lastFailedStatus());
    std::cerr << "kv4410ctl: " << run->failedReadings()
              << " readings failed on the board; last status "
              << (text ? std::string(*text) : std::to_string(run->lastFailedStatus())) << "\n";
  }
  if (run->state() == measure::Run::State::BoardLost) {
    std::cerr << "kv4410ctl: The board was lost after " << run->stepsDone() << " of "
              << run->stepsPlanned() << " readings: " << statusText(run->lostStatus()) << ".\n";
  }
  if (!saved) {
    return kResultsNotSaved;
  }
  const bool failed = run->failedReadings() > 0 || run->state() == measure::Run::State::BoardLost;
  return failed ? kBoardError : kSuccess;
}

// The options both runs share.
void addRunOptions(CLI::App& command, RunOptions& o) {
  static const std::map<std::string, int> kRanges = {
      {"5uA", 0}, {"20uA", 1}, {"200uA", 2}, {"2mA", 3}, {"ext", 4}};
  static const std::map<std::string, measure::MeasureMode> kModes = {
      {"voltage", measure::MeasureMode::Voltage}, {"current", measure::MeasureMode::Current}};
  static const std::map<std::string, int> kCycles = {{"none", 0},  {"100ms", 1}, {"200ms", 2},
                                                     {"300ms", 3}, {"400ms", 4}, {"500ms", 5}};
  o.rangeOption = command.add_option("--range", o.range, "CURRENT RANGE (default 2mA)")
                      ->transform(CLI::CheckedTransformer(kRanges, CLI::ignore_case))
                      ->type_name("5uA|20uA|200uA|2mA|ext");
  o.modeOption =
      command.add_option("--measure", o.mode, "MEASURE VOLTAGE/CURRENT (default voltage)")
          ->transform(CLI::CheckedTransformer(kModes, CLI::ignore_case))
          ->type_name("voltage|current");
  o.channelsOption =
      command.add_option("--channels", o.channels, "PMU CH SELECT, for example 0,2 (default all)")
          ->delimiter(',')
          ->check(CLI::Range(0, 3))
          ->type_name("0,1,2,3");
  static const std::map<std::string, float> kReferences = {{"5", 5.0F}, {"2.5", 2.5F}};
  command.add_option("--vref", o.vref, "Reference in volts (default the board's)")
      ->transform(CLI::CheckedTransformer(kReferences))
      ->type_name("5|2.5");
  command.add_option("--cycle-delay", o.cycle, "Force/Measure Cycle Delay (default none)")
      ->transform(CLI::CheckedTransformer(kCycles, CLI::ignore_case))
      ->type_name("none|100ms..500ms");
  command.add_option("--sample-delay", o.sample, "SAMPLE DELAY in tenths of the cycle")
      ->check(CLI::Range(0, 9))
      ->type_name("0..9");
  command
      .add_option("--csv", o.csv,
                  "Write the run as a table with its description to FILE (- for stdout); exit "
                  "3 when it cannot be written, and an existing FILE is then kept")
      ->type_name("FILE");
}

}  // namespace

void addRunCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus) {
  auto sweepOptions = std::make_shared<RunOptions>();
  auto* sweep = app.add_subcommand("sweep",
                                   "Sweep the forced voltage and measure at every step (the rows "
                                   "of the sweep list, then min and max)")
                    ->ignore_case();
  sweep->add_option("--start", sweepOptions->start, "Start Voltage (V)")->required();
  sweep->add_option("--end", sweepOptions->end, "End Voltage (V)")->required();
  sweep->add_option("--step", sweepOptions->stepMv, "Voltage Step (mV)")->required();
  addRunOptions(*sweep, *sweepOptions);
  sweep->callback([sweepOptions, &globals, &exitStatus] {
    exitStatus = runMeasurement(globals, *sweepOptions);
  });

  auto timeOptions = std::make_shared<RunOptions>();
  timeOptions->timeRun = true;
  auto* timerun = app.add_subcommand("timerun",
                                     "Force one voltage and take 101 readings at the cycle "
                                     "pace (the rows, then min and max)")
                      ->ignore_case();
  timerun->add_option("--force", timeOptions->force, "FORCE VOLTAGE (V)")->required();
  addRunOptions(*timerun, *timeOptions);
  timerun->callback(
      [timeOptions, &globals, &exitStatus] { exitStatus = runMeasurement(globals, *timeOptions); });
}

bool saveResults(const std::string& file, const std::string& text) {
  if (file == "-") {
    if (std::cout << text << std::flush) {
      return true;
    }
    std::cerr << "kv4410ctl: results not saved: cannot write to standard output\n";
    return false;
  }
  if (const auto reason = measure::writeFileAtomically(file, text)) {
    std::cerr << "kv4410ctl: results not saved: " << *reason << "\n";
    return false;
  }
  return true;
}

}  // namespace kv4410::cli
