#include "device/conversion_report.h"

#include <sstream>

#include "device/conversions.h"
#include "device/register_map.h"
#include "device/text_format.h"

namespace kv4410 {

namespace {

// True when the level, rounded as the limits are shown, lies within them. F/S and Z/S are
// shown to three decimals, and a level just past F/S (11.25 V against 11.249733 V) or Z/S
// rounds to the limit shown: such a level is refused for its code, not for the range.
bool levelShownInRange(double level, const std::string& zeroScale, const std::string& fullScale) {
  const auto shown = parseDecimal(formatFixed(level, 2, 3));
  const auto low = parseDecimal(zeroScale);
  const auto high = parseDecimal(fullScale);
  return shown && low && high && *low <= *shown && *shown <= *high;
}

// "11.25 V needs FIN DAC code 65536 (0x10000); the codes are 0 to 65535 (0x0000 to 0xFFFF)".
std::string missingCodeError(const std::string& level, std::int32_t code) {
  std::string error = level + " needs FIN DAC code " + std::to_string(code);
  if (code > 0) {
    error += " (0x" + HexText(code) + ")";
  }
  return error + "; the codes are 0 to 65535 (0x0000 to 0xFFFF)";
}

}  // namespace

ConversionReport describeConversion(const ConversionRequest& request) {
  ConversionReport report;
  const bool voltage = !request.rangeIndex.has_value();
  const int range = request.rangeIndex.value_or(0);
  const auto rsense = senseResistorOhms(range, request.externalOhms);
  const auto rsenseDisplay = senseResistorDisplay(range, request.externalOhms);
  if (!voltage && (!rsense || !rsenseDisplay || !(*rsense > 0.0))) {
    report.error = "no such current range, or a sense resistor that is not positive";
    return report;
  }
  const std::string unit = voltage ? "V" : rangeInMicroamps(range) ? "uA" : "mA";
  const RangeLimits limits = voltage
                                 ? voltageRangeLimits(request.vref, request.offsetCode)
                                 : currentRangeLimits(request.vref, request.miGain, *rsenseDisplay);

  // Value of a code in the range's unit.
  const auto levelOf = [&](std::int32_t code) {
    return voltage ? voltageOfCode(code, request.vref, request.offsetCode)
                   : currentOfCode(code, request.vref, request.miGain, *rsense) /
                         currentUnitToAmps(range);
  };

  std::ostringstream out;
  if (voltage) {
    out << "range   voltage (VREF " << formatSingle(request.vref) << " V, OFFSET "
        << NumberToHex(request.offsetCode, 4) << ")\n";
  } else {
    out << "range   " << pmuRegister().field("RANGE").valueText(static_cast<std::uint32_t>(range))
        << " (Rsense " << formatDouble(*rsense) << " ohm, MI gain " << formatSingle(request.miGain)
        << ", VREF " << formatSingle(request.vref) << " V)\n";
  }
  const std::string fullScale = formatFixed(limits.fullScale, 2, 3);
  const std::string zeroScale = formatFixed(limits.zeroScale, 2, 3);
  out << "F/S     " << fullScale << " " << unit << "\n";
  out << "Z/S     " << zeroScale << " " << unit << "\n";

  std::int32_t code = 0;
  if (request.level) {
    const double level = *request.level;
    const auto computed = voltage ? codeForVoltage(level, request.vref, request.offsetCode)
                                  : codeForCurrent(level * currentUnitToAmps(range), request.vref,
                                                   request.miGain, *rsense);
    if (!computed || *computed < 0 || *computed > 0xFFFF) {
      report.error = levelShownInRange(level, zeroScale, fullScale) && computed
                         ? missingCodeError(formatDouble(level) + " " + unit, *computed)
                         : formatDouble(level) + " " + unit + " is outside the range " + zeroScale +
                               " to " + fullScale + " " + unit + " (codes 0000 to FFFF)";
      return report;
    }
    code = *computed;
    out << "level   " << formatDouble(level) << " " << unit << "\n";
    out << "code    " << NumberToHex(code, 4) << " (" << code << ")\n";
    out << "back    " << formatDouble(levelOf(code)) << " " << unit << "\n";
  } else if (request.code) {
    code = *request.code;
    if (code < 0 || code > 0xFFFF) {
      report.error = "code " + HexText(code) + " is outside 0000 to FFFF";
      return report;
    }
    out << "code    " << NumberToHex(code, 4) << " (" << code << ")\n";
    out << "level   " << formatDouble(levelOf(code)) << " " << unit << "\n";
  } else {
    report.error = "give a level or a code";
    return report;
  }
  report.ok = true;
  report.text = out.str();
  return report;
}

}  // namespace kv4410
