// kv4410ctl test: the automated channel test on the board, run by the bench. Prints the result list
// line by line; --csv FILE also writes one row per reading, replacing FILE only once the test is
// done. Exit status 0 on PASS, 1 on FAILURE (or a board that does not start), 2 on bad usage, 3
// when the readings could not be saved (the verdict is still printed).
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "board/board_link.h"
#include "cli/board_session.h"
#include "cli/commands.h"
#include "device/text_format.h"
#include "measure/channel_test.h"
#include "measure/clock.h"

namespace kv4410::cli {

namespace {

constexpr int kPass = 0;
constexpr int kFailure = 1;

void writeCsv(std::ostream& out, const measure::ChannelTest& test) {
  out << "channel,check,code,value,low,high,verdict,note\n";
  for (const measure::ChannelReading& r : test.readings()) {
    out << "PMU" << r.channel << ',' << r.check << ',';
    if (r.value) {
      out << r.code << ',' << formatSingle(*r.value);
    } else {
      out << ',';  // no code and no value: the transfer failed
    }
    out << ',' << formatSingle(r.low) << ',' << formatSingle(r.high) << ','
        << (r.pass ? "PASS" : "FAILURE") << ',';
    if (r.status != 0) {
      const auto text = board::usbErrorText(r.status);
      out << "board transfer failed: "
          << (text ? std::string(*text) : "status " + std::to_string(r.status));
    }
    out << '\n';
  }
}

int runTest(const GlobalOptions& globals, const std::string& csvFile) {
  BoardSession session(globals);
  if (const int status = session.open(); status != kSuccess) {
    return status == kUsageError ? kUsageError : kFailure;
  }
  bench::Bench& bench = session.bench();
  if (const bench::Refusal refusal = bench.startChannelTest()) {
    std::cerr << "kv4410ctl: " << *refusal << "\n";
    return kUsageError;
  }
  measure::Clock& clock = session.clock();
  while (const auto wait = bench.advanceRun()) {
    clock.waitUntil(clock.now() + *wait);
  }
  const measure::ChannelTest& test = bench.channelTest();

  if (csvFile != "-") {
    for (const std::string& line : test.lines()) {
      std::cout << line << "\n";
    }
  }
  if (!csvFile.empty()) {
    std::ostringstream rows;
    writeCsv(rows, test);
    if (!saveResults(csvFile, rows.str())) {
      return kResultsNotSaved;
    }
  }
  return test.verdict() == measure::ChannelTestVerdict::Pass ? kPass : kFailure;
}

}  // namespace

void addTestCommands(CLI::App& app, const GlobalOptions& globals, int& exitStatus) {
  auto* test = app.add_subcommand("test",
                                  "Run the automated channel test of PMU0 to PMU3 and print its "
                                  "result list (exit 0 PASS, 1 FAILURE, 3 readings not saved)")
                   ->ignore_case();
  auto csv = std::make_shared<std::string>();
  test->add_option("--csv", *csv,
                   "Also write the readings to FILE as rows (channel, check, code, value, low, "
                   "high, verdict, note); - writes them instead of the list. An existing FILE is "
                   "replaced only once the test is done")
      ->type_name("FILE");
  test->callback([csv, &globals, &exitStatus] { exitStatus = runTest(globals, *csv); });
}

}  // namespace kv4410::cli
