// The PMU control window's force level without its window: the same handlers, run in the same
// order, send the same words (the window's PMU words, its system control readbacks for the
// current-measure gain, and its FIN and OFFSET DAC words).
#include <cmath>
#include <string>

#include "bench/bench.h"
#include "device/conversions.h"
#include "device/dac_words.h"
#include "device/readback.h"

namespace kv4410::bench {

namespace {

constexpr int kForceVoltageEntry = 0;
constexpr int kForceCurrentEntry = 1;
constexpr int kForceEntries = 4;
constexpr std::int32_t kMaxCode = 0xFFFF;
constexpr double kOhmsMin = 12.5;
constexpr double kOhmsMax = 10000.0;

}  // namespace

Refusal Bench::runForceHandler(int entry) {
  composePmuField(field(PmuField::Force), static_cast<std::uint32_t>(entry));
  pmuControl_.forceEntry = entry;
  Refusal refusal;
  if (entry == kForceVoltageEntry) {
    pmuControl_.forceVoltage = true;
  } else if (entry == kForceCurrentEntry) {
    // Force current shows its range at once, and runs the range handler, before its own word.
    pmuControl_.forceVoltage = false;
    showCurrentRange();
    refusal = runRangeHandler(currentRange_.value());
  }
  // The Hi-Z modes keep the force flag as it was.
  Refusal sent = sendPmuWord();
  return refusal ? refusal : sent;
}

Refusal Bench::runRangeHandler(CurrentRange range) {
  composeRange(range);
  pmuControl_.rangeEntry = static_cast<int>(range);
  Refusal refusal = sendPmuWord();
  if (!pmuControl_.forceVoltage) {
    showCurrentRange();
  }
  return refusal;
}

void Bench::showVoltageRange() {
  const RangeLimits limits = voltageRangeLimits(conversion_.vref, pmuControl_.offsetCode);
  pmuControl_.rangeHigh = limits.fullScale;
  pmuControl_.rangeLow = limits.zeroScale;
}

void Bench::showCurrentRange() {
  const std::optional<double> resistor =
      senseResistorDisplay(conversion_.rangeIndex, pmuControl_.externalOhms);
  if (!resistor) {
    return;
  }
  const std::optional<float> gain = readMiGain();
  if (!gain) {
    return;
  }
  const RangeLimits limits = currentRangeLimits(conversion_.vref, *gain, *resistor);
  pmuControl_.rangeHigh = limits.fullScale;
  pmuControl_.rangeLow = limits.zeroScale;
}

void Bench::loadForceCode(std::int32_t code) {
  // The window's DACLOAD: the FIN level is the voltage range while forcing voltage, the range
  // list's entry while forcing current, and none in the Hi-Z modes.
  const ForceSelection force =
      pmuControl_.forceEntry == kForceVoltageEntry   ? ForceSelection::Voltage
      : pmuControl_.forceEntry == kForceCurrentEntry ? ForceSelection::Current
                                                     : ForceSelection::Other;
  words_.dacWord = composePmuWindowDacWord(code, kModeX1, kFinDacBase, words_.chanBits, force,
                                           static_cast<int>(currentRange_.value()));
  sender_.SPIout(words_.dacWord);
}

Refusal Bench::chooseForce(int entry) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (entry < 0 || entry >= kForceEntries) {
    return std::string("The force list has the items 0 to 3.");
  }
  // Every choice runs the handler, the item shown too, as the window's list does.
  return runForceHandler(entry);
}

Refusal Bench::enterForceLevel(float level) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (!std::isfinite(level)) {
    return std::string("Not a valid number. Please reenter it.");
  }
  // The PMU word of the present force mode and range goes out first, so the level lands in the
  // mode the window shows: the range handler, the force handler, then the word once more.
  Refusal refusal = runRangeHandler(currentRange_.value());
  Refusal forced = runForceHandler(pmuControl_.forceEntry);
  Refusal sent = sendPmuWord();
  refusal = refusal ? refusal : forced ? forced : sent;
  if (pmuControl_.forceVoltage) {
    showVoltageRange();
  } else {
    showCurrentRange();
  }
  if (!(level >= pmuControl_.rangeLow && level <= pmuControl_.rangeHigh)) {
    return std::string("Number too large. Please reenter voltage between Z/S and F/S.");
  }
  std::optional<std::int32_t> code;
  if (pmuControl_.forceVoltage) {
    code = codeForVoltage(static_cast<double>(level), conversion_.vref, pmuControl_.offsetCode);
  } else {
    const int range = conversion_.rangeIndex;
    const std::optional<double> ohms = senseResistorOhms(range, pmuControl_.externalOhms);
    const std::optional<float> gain = readMiGain();
    if (ohms && gain) {
      code = codeForCurrent(static_cast<double>(level) * currentUnitToAmps(range), conversion_.vref,
                            *gain, *ohms);
    }
  }
  // Within Z/S and F/S every code fits the DAC; a code that still would not is never sent, as
  // it would spill into the address bits.
  if (!code || *code < 0 || *code > kMaxCode) {
    return std::string("Number too large. Please reenter voltage between Z/S and F/S.");
  }
  pmuControl_.levelCode = *code;
  loadForceCode(*code);
  return refusal;
}

Refusal Bench::enterFinCode(std::int32_t code) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (code < 0 || code > kMaxCode) {
    return std::string("Number too large. Please reenter code between 0 and xFFFF.");
  }
  pmuControl_.finCode = code;
  loadForceCode(code);
  return std::nullopt;
}

Refusal Bench::enterOffsetCode(std::int32_t code) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  if (code < 0 || code > kMaxCode) {
    return std::string("Number too large. Please reenter code between 0 and xFFFF.");
  }
  pmuControl_.offsetCode = code;
  words_.dacWord = composeOffsetDacWord(words_.chanBits, code);
  sender_.SPIout(words_.dacWord);
  if (pmuControl_.forceVoltage) {
    showVoltageRange();
  } else {
    showCurrentRange();
  }
  return std::nullopt;
}

Refusal Bench::enterExternalOhms(double ohms) {
  if (Refusal refusal = sendingRefused()) {
    return refusal;
  }
  // Compared in single precision, as the window reads its field.
  const float single = toSingle(ohms);
  if (!(single >= static_cast<float>(kOhmsMin) && single <= static_cast<float>(kOhmsMax))) {
    return std::string("Number too large. Please reenter voltage between 10k ohms and 12.5.");
  }
  pmuControl_.externalOhms = static_cast<double>(single);
  if (!pmuControl_.forceVoltage) {
    showCurrentRange();
  }
  return std::nullopt;
}

}  // namespace kv4410::bench
