#include "cli/board_session.h"

#include <fstream>
#include <sstream>
#include <string>

#include "board/simulated_board.h"
#include "kv4410_version.h"
#include "measure/run_csv.h"

namespace kv4410::cli {

namespace {

// The USB board's reference when no --vref is given; the ADC spans 0 to the reference.
constexpr float kDefaultVref = 5.0F;
constexpr std::int32_t kContents = 0x3FFFFF;  // register contents, bits 21..0
constexpr std::int32_t kPmuClearBit = 0x40;   // acts once, the chip does not keep it
constexpr std::uint16_t kStartUpSwitch = 1;   // 220pF feed-forward, 100pF compensation

}  // namespace

int BoardSession::open() {
  std::optional<bench::Setup> setup;
  if (!globals_.setup.empty() && !(setup = readSetupFile(globals_.setup))) {
    return kUsageError;
  }
  std::string error;
  board::OpenedBoard opened = board::openBoard(globals_.board, error);
  if (!opened.access) {
    std::cerr << "kv4410ctl: " << error << "\n";
    return kUsageError;
  }
  bench_ = std::make_unique<bench::Bench>(std::move(opened), reporter_, clock_);
  firmware_ = board::lookUpFirmware(globals_.board.firmware, globals_.programDirectory);
  bench_->connect(firmware_.path);
  if (reporter_.reported()) {
    return kBoardError;
  }
  if (setup) {
    if (!openSetup(*bench_, *setup)) {
      return kUsageError;
    }
    setupOpened_ = true;
  }
  return reporter_.reported() ? kBoardError : kSuccess;
}

void BoardSession::reportStatus(int status) {
  if (const auto text = board::usbErrorText(status)) {
    reporter_.usbError(status, *text);
  } else {
    std::cerr << "kv4410ctl: board request failed with status " << status << "\n";
  }
}

float BoardSession::reference() const {
  const board::SimulatedBoard* simulated = bench_ ? bench_->simulated() : nullptr;
  return simulated != nullptr ? static_cast<float>(simulated->options().referenceVolts)
                              : kDefaultVref;
}

bench::Setup BoardSession::setup(const measure::SweepRequest& fields, double forceVolts) const {
  std::string board = "usb";
  if (globals_.board.simulate) {
    board = "simulated";
  } else if (globals_.board.boardLocation) {
    board += " " + *globals_.board.boardLocation;
  }
  bench::Setup s{kProgramVersion, measure::localDateTime(), board, bench_->snapshot(), fields,
                 forceVolts};
  if (!setupOpened_) {
    bench::ChipImage& chip = s.bench.chip;
    const StoredWords& w = s.bench.words;
    chip.systemWord = chip.systemWord != 0 ? chip.systemWord : w.sysWord & kContents;
    for (std::size_t ch = 0; ch < chip.pmu.size(); ++ch) {
      if (chip.pmu[ch] == 0 && (w.chanBits & (1 << (24 + ch))) != 0) {
        chip.pmu[ch] = w.pmuWord & kContents & ~kPmuClearBit;
      }
    }
    chip.cff = chip.cff != 0 ? chip.cff : kStartUpSwitch;
    chip.ccomp = chip.ccomp != 0 ? chip.ccomp : kStartUpSwitch;
  }
  return s;
}

std::optional<bench::Setup> readSetupFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  if (!(in && text << in.rdbuf())) {
    std::cerr << "kv4410ctl: cannot read '" << file << "'\n";
    return std::nullopt;
  }
  bench::SetupResult read = bench::readSetup(text.str());
  if (!read.setup) {
    std::cerr << "kv4410ctl: " << file << ": " << read.refusal << "\n";
  }
  return std::move(read.setup);
}

bool openSetup(bench::Bench& bench, const bench::Setup& setup) {
  if (const bench::Refusal refusal = bench.applySetup(setup)) {
    std::cerr << "kv4410ctl: " << *refusal << "\n";
    return false;
  }
  return true;
}

}  // namespace kv4410::cli
