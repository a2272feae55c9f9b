#include "measure/run_csv.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <sstream>

#include "board/board_link.h"
#include "device/text_format.h"

namespace kv4410::measure {

namespace {

std::string commaSeparated(std::string line) {
  std::replace(line.begin(), line.end(), '\t', ',');
  return line;
}

std::string statusText(int status) {
  const auto text = board::usbErrorText(status);
  return text ? std::string(*text) : "status " + std::to_string(status);
}

}  // namespace

std::string csvText(const RunDescription& d, const Run& run, std::string_view setupJsonLine) {
  static constexpr std::array<const char*, 5> kRanges = {"5uA", "20uA", "200uA", "2mA", "external"};
  std::ostringstream out;
  if (!setupJsonLine.empty()) {
    out << "# setup: " << setupJsonLine << "\n";
  }
  out << "# KV4410 " << d.kind << "\n";
  out << "# Date: " << d.dateTime << "\n";
  out << "# VREF: " << formatSingle(d.vref) << " V\n";
  out << "# Offset DAC code: 0x" << HexText(d.offsetCode) << "\n";
  out << "# Current range: " << kRanges[static_cast<std::size_t>(std::clamp(d.rangeIndex, 0, 4))]
      << "\n";
  out << "# Measure: " << (d.mode == MeasureMode::Current ? "current" : "voltage") << "\n";
  out << "# Channels:";
  for (int c = 0; c < 4; ++c) {
    if ((d.channelBits & (1 << (24 + c))) != 0) {
      out << " PMU" << c;
    }
  }
  out << "\n# Delays: settle " << formatSingle(d.delays.settle) << " s, remainder "
      << formatSingle(d.delays.remainder) << " s, cycle " << formatSingle(d.delays.cycle) << " s\n";
  const std::string counted =
      std::to_string(run.stepsDone()) + " of " + std::to_string(run.stepsPlanned()) + " readings";
  if (run.state() == Run::State::Stopped) {
    out << "# Ended early: stopped after " << counted << "\n";
  } else if (run.state() == Run::State::BoardLost) {
    out << "# Ended early: the board was lost after " << counted << " ("
        << statusText(run.lostStatus()) << ")\n";
  }

  const std::vector<std::string>& lines = run.lines();
  if (lines.empty()) {
    return out.str();
  }
  // The list's lines after the header are its rows, one per status; the time run's list then
  // holds its min/max line, which goes out as comments below.
  out << commaSeparated(lines.front()) << ",status\n";
  const std::vector<int>& statuses = run.rowStatuses();
  for (std::size_t row = 0; row < statuses.size() && row + 1 < lines.size(); ++row) {
    out << commaSeparated(lines[row + 1]) << ',' << statuses[row] << "\n";
  }
  if (run.ended() && !statuses.empty()) {
    out << "# Min: " << formatSingle(run.min()) << "\n# Max: " << formatSingle(run.max()) << "\n";
  }
  return out.str();
}

std::string localDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  std::array<char, 32> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &parts);
  return text.data();
}

}  // namespace kv4410::measure
