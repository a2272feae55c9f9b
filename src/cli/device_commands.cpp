// kv4410ctl decode / convert: the device model without a board.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "cli/script_line.h"
#include "device/conversion_report.h"
#include "device/serial_word.h"
#include "device/text_format.h"
#include "device/word_description.h"

namespace kv4410::cli {

namespace {

constexpr int kUsageError = 2;

// Reports a bad input as one line on stderr; the caller returns kUsageError.
int usageError(const std::string& message) {
  std::cerr << "kv4410ctl: " << message << "\n";
  return kUsageError;
}

int runDecode(const std::string& text) {
  const auto word = parseHexUnsigned(withoutHexPrefix(text));
  if (!word) {
    return usageError("'" + text + "' is not a hexadecimal word (1 to 8 digits, optional 0x)");
  }
  if (*word > kWordMask) {
    return usageError("word " + NumberToHex(static_cast<std::int32_t>(*word), 8) +
                      " has more than 29 bits (the largest is 1FFFFFFF)");
  }
  std::cout << describeWord(*word);
  return 0;
}

struct ConvertOptions {
  std::string volts, current, code;
  std::string vref = "5", offset = "A492", range = "voltage", gain = "10", rsense = "100";
};

// The convert options as a ConversionRequest, or a one-line reason in `error`.
std::optional<ConversionRequest> toRequest(const ConvertOptions& o, std::string& error) {
  ConversionRequest request;
  const auto vref = parseDecimal(o.vref);
  if (!vref || (*vref != 2.5 && *vref != 5.0)) {
    error = "--vref must be 2.5 or 5, not '" + o.vref + "'";
    return std::nullopt;
  }
  request.vref = static_cast<float>(*vref);
  const auto offset = parseHexSigned(withoutHexPrefix(o.offset));
  if (!offset || *offset < 0 || *offset > 0xFFFF) {
    error = "--offset must be a hexadecimal code from 0 to FFFF, not '" + o.offset + "'";
    return std::nullopt;
  }
  request.offsetCode = *offset;
  static constexpr std::string_view kRanges[] = {"5uA", "20uA", "200uA", "2mA", "ext"};
  if (o.range != "voltage") {
    for (int i = 0; i < 5; ++i) {
      if (o.range == kRanges[i]) {
        request.rangeIndex = i;
      }
    }
    if (!request.rangeIndex) {
      error = "--range must be voltage, 5uA, 20uA, 200uA, 2mA or ext, not '" + o.range + "'";
      return std::nullopt;
    }
  }
  const auto gain = parseDecimal(o.gain);
  if (!gain || (*gain != 10.0 && *gain != 5.0)) {
    error = "--gain must be 10 or 5, not '" + o.gain + "'";
    return std::nullopt;
  }
  request.miGain = static_cast<float>(*gain);
  // The PMU control window's limits for the external sense resistor.
  const auto rsense = parseDecimal(o.rsense);
  if (!rsense || *rsense < 12.5 || *rsense > 10000.0) {
    error = "--rsense must be from 12.5 to 10000 ohms, not '" + o.rsense + "'";
    return std::nullopt;
  }
  request.externalOhms = *rsense;

  const int given = int(!o.volts.empty()) + int(!o.current.empty()) + int(!o.code.empty());
  if (given != 1) {
    error = "give exactly one of --volts, --current and --code";
    return std::nullopt;
  }
  if (!o.code.empty()) {
    request.code = parseHexSigned(withoutHexPrefix(o.code));
    if (!request.code) {
      error = "--code must be a hexadecimal code from 0 to FFFF, not '" + o.code + "'";
      return std::nullopt;
    }
    return request;
  }
  const bool volts = !o.volts.empty();
  if (volts == request.rangeIndex.has_value()) {
    error = volts ? "--volts needs --range voltage; use --current for a current range"
                  : "--current needs a current range (--range 5uA, 20uA, 200uA, 2mA or ext)";
    return std::nullopt;
  }
  const std::string& levelText = volts ? o.volts : o.current;
  request.level = parseDecimal(levelText);
  if (!request.level) {
    error = "'" + levelText + "' is not a number";
    return std::nullopt;
  }
  return request;
}

int runConvert(const ConvertOptions& options) {
  std::string error;
  const auto request = toRequest(options, error);
  if (!request) {
    return usageError(error);
  }
  const ConversionReport report = describeConversion(*request);
  if (!report.ok) {
    return usageError(report.error);
  }
  std::cout << report.text;
  return 0;
}

}  // namespace

void addDeviceCommands(CLI::App& app, int& exitStatus) {
  auto* decode = app.add_subcommand(
      "decode", "Tell which register a serial word writes or reads, and every field it sets");
  auto word = std::make_shared<std::string>();
  decode->add_option("WORD", *word, "Serial word in hexadecimal, with or without 0x")
      ->type_name("HEX")
      ->required();
  decode->callback([word, &exitStatus] { exitStatus = runDecode(*word); });

  auto* convert = app.add_subcommand(
      "convert", "Turn a voltage or current into its FIN DAC code, or a code into its level");
  auto o = std::make_shared<ConvertOptions>();
  convert->add_option("--volts", o->volts, "Force voltage in volts (voltage range)")
      ->type_name("VOLTS");
  convert
      ->add_option("--current", o->current,
                   "Force current: microamps on 5uA/20uA/200uA, milliamps on 2mA/ext")
      ->type_name("LEVEL");
  convert->add_option("--code", o->code, "FIN DAC code in hexadecimal (0 to FFFF)")
      ->type_name("HEX");
  convert->add_option("--vref", o->vref, "Reference voltage: 2.5 or 5")
      ->type_name("VOLTS")
      ->capture_default_str();
  convert->add_option("--offset", o->offset, "OFFSET DAC code in hexadecimal")
      ->type_name("HEX")
      ->capture_default_str();
  convert->add_option("--range", o->range, "voltage, 5uA, 20uA, 200uA, 2mA or ext")
      ->type_name("RANGE")
      ->capture_default_str();
  convert->add_option("--gain", o->gain, "Current-measure (MI) gain: 10 or 5")
      ->type_name("GAIN")
      ->capture_default_str();
  convert->add_option("--rsense", o->rsense, "External sense resistor in ohms (range ext)")
      ->type_name("OHMS")
      ->capture_default_str();
  convert->callback([o, &exitStatus] { exitStatus = runConvert(*o); });
}

}  // namespace kv4410::cli
