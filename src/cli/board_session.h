#pragma once
// The process's one board session for the board commands and runs: a bench opened at the first
// command that needs it with the connection alone (search, connect, firmware, start), with the
// board's messages as stderr lines.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "bench/bench.h"
#include "bench/setup_file.h"
#include "board/board_factory.h"
#include "board/board_link.h"
#include "board/firmware_lookup.h"
#include "cli/commands.h"
#include "measure/clock.h"

namespace kv4410::cli {

inline constexpr int kSuccess = 0;
inline constexpr int kBoardError = 1;
inline constexpr int kUsageError = 2;

// Board messages as one stderr line each; remembers that one was printed. A missing firmware
// file is followed by a line naming every place it was looked for.
class CliReporter final : public board::Reporter {
 public:
  explicit CliReporter(const board::FirmwareLookup& firmware) : firmware_(firmware) {}
  void noBoard(int searchStatus) override {
    std::cerr << "kv4410ctl: No Evaluation Board Found (: " << searchStatus << ")\n";
    reported_ = true;
  }
  void usbError(int code, std::string_view text) override {
    std::cerr << "kv4410ctl: " << text << "\n";
    if (code == board::status::kFirmwareNotFound) {
      std::cerr << "kv4410ctl: " << board::triedText(firmware_) << "\n";
    }
    reported_ = true;
  }
  bool reported() const { return reported_; }

 private:
  const board::FirmwareLookup& firmware_;
  bool reported_ = false;
};

class BoardSession {
 public:
  explicit BoardSession(const GlobalOptions& globals) : globals_(globals) {}

  // kSuccess, kBoardError (the connection reported an error) or kUsageError (bad board
  // options).
  // The --setup file, when there is one, is read first (a refused file: kUsageError, nothing
  // sent) and opened on the board after the connection.
  int open();
  bench::Bench& bench() { return *bench_; }
  measure::Clock& clock() { return clock_; }
  // A board status as the board's own messages say it (one stderr line).
  void reportStatus(int status);
  // The simulated board's reference (its vref= option), or the USB board's usual 5 V.
  float reference() const;
  // The bench's state as a setup. kv4410ctl joins the board without the start-up and knows
  // only what it sent: unless a setup was opened, the chip's registers and switches stand as
  // the start-up leaves them composed (the words sent after the connection, the switches at
  // their start-up positions).
  bench::Setup setup(const measure::SweepRequest& fields = {}, double forceVolts = 0.0) const;

 private:
  const GlobalOptions& globals_;
  board::FirmwareLookup firmware_;
  CliReporter reporter_{firmware_};
  measure::SteadyClock clock_;
  std::unique_ptr<bench::Bench> bench_;
  bool setupOpened_ = false;
};

// A setup file read and checked; on refusal "kv4410ctl: FILE: REASON" on stderr and nullopt.
std::optional<bench::Setup> readSetupFile(const std::string& file);
// Opens a setup read by readSetupFile; false, with the refusal on stderr, when refused.
bool openSetup(bench::Bench& bench, const bench::Setup& setup);

}  // namespace kv4410::cli
