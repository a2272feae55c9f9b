#include "board/simulation_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kv4410::board {

namespace {

// A finite decimal number filling the whole text (strtod grammar, no blanks).
std::optional<double> parseNumber(std::string_view text) {
  if (text.empty() || text.front() == ' ' || text.front() == '\t') {
    return std::nullopt;
  }
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Decimal digits only, no sign, fitting 64 bits.
std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
  if (text.empty() || text.size() > 20) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
      return std::nullopt;
    }
    value = value * 10 + digit;
  }
  return value;
}

std::string refuse(std::string_view item, std::string_view why) {
  return "--simulate: \"" + std::string(item) + "\": " + std::string(why);
}

}  // namespace

SimulationOptionsResult parseSimulationOptions(std::string_view text) {
  SimulationOptions options;
  SimulationOptionsResult result;
  if (text.empty()) {
    result.options = options;
    return result;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::size_t stop = comma == std::string_view::npos ? text.size() : comma;
    const std::string_view item = text.substr(start, stop - start);
    start = stop + 1;

    if (item.empty()) {
      result.error = "--simulate: empty option in \"" + std::string(text) + "\"";
      return result;
    }
    const std::size_t eq = item.find('=');
    const std::string_view key = item.substr(0, eq);
    const bool hasValue = eq != std::string_view::npos;
    const std::string_view value = hasValue ? item.substr(eq + 1) : std::string_view{};

    if (key == "noboard") {
      if (hasValue) {
        result.error = refuse(item, "noboard takes no value");
        return result;
      }
      options.noBoard = true;
      continue;
    }
    if (!hasValue) {
      const bool known = key == "load" || key == "load0" || key == "load1" || key == "load2" ||
                         key == "load3" || key == "noise" || key == "seed" || key == "latency" ||
                         key == "temp" || key == "vref" || key == "fail-after" ||
                         key == "fail-at" || key == "firmware";
      result.error = refuse(item, known ? "needs a value (key=value)" : "unknown option");
      return result;
    }

    if (key == "load" ||
        (key.size() == 5 && key.substr(0, 4) == "load" && key[4] >= '0' && key[4] <= '3')) {
      const auto ohms = parseNumber(value);
      if (!ohms || *ohms <= 0.0) {
        result.error = refuse(item, "a load is a resistance in ohms above 0");
        return result;
      }
      if (key == "load") {
        options.loadOhms.fill(*ohms);
      } else {
        options.loadOhms[static_cast<std::size_t>(key[4] - '0')] = *ohms;
      }
    } else if (key == "noise") {
      const auto lsb = parseNumber(value);
      if (!lsb || *lsb < 0.0 || *lsb > 65536.0) {
        result.error = refuse(item, "noise is in LSB rms, 0 to 65536");
        return result;
      }
      options.noiseLsb = *lsb;
    } else if (key == "seed") {
      const auto seed = parseUnsigned(value);
      if (!seed) {
        result.error = refuse(item, "seed is an unsigned integer");
        return result;
      }
      options.seed = *seed;
    } else if (key == "latency") {
      const auto us = parseUnsigned(value);
      if (!us || *us > 10'000'000) {
        result.error = refuse(item, "latency is in microseconds, 0 to 10000000");
        return result;
      }
      options.latencyUs = static_cast<std::uint32_t>(*us);
    } else if (key == "temp") {
      const auto celsius = parseNumber(value);
      if (!celsius || *celsius < -55.0 || *celsius > 250.0) {
        result.error = refuse(item, "temp is the die temperature in degrees Celsius, -55 to 250");
        return result;
      }
      options.dieTemperatureC = *celsius;
    } else if (key == "vref") {
      const auto volts = parseNumber(value);
      if (!volts || *volts <= 0.0 || *volts > 10.0) {
        result.error = refuse(item, "vref is in volts, above 0 and at most 10");
        return result;
      }
      options.referenceVolts = *volts;
    } else if (key == "fail-after") {
      const auto count = parseUnsigned(value);
      if (!count) {
        result.error = refuse(item, "fail-after is a number of requests");
        return result;
      }
      options.failAfter = *count;
    } else if (key == "fail-at") {
      const auto request = parseUnsigned(value);
      if (!request || *request == 0 || options.failAt.size() == kMaxFailAt) {
        result.error = refuse(item, "fail-at is a request number from 1, given at most 64 times");
        return result;
      }
      options.failAt.insert(*request);
    } else if (key == "firmware") {
      if (value == "missing") {
        options.firmware = FirmwareFault::Missing;
      } else if (value == "corrupt") {
        options.firmware = FirmwareFault::Corrupt;
      } else {
        result.error = refuse(item, "firmware is missing or corrupt");
        return result;
      }
    } else {
      result.error = refuse(item, "unknown option");
      return result;
    }
    if (comma == std::string_view::npos) {
      break;
    }
  }
  result.options = options;
  return result;
}

}  // namespace kv4410::board
