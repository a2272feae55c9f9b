#include "ui/pmu_control/pmu_level_calculations.h"

#include <QComboBox>
#include <QLineEdit>
#include <cmath>

#include "device/conversions.h"
#include "device/dac_words.h"
#include "device/readback.h"
#include "device/text_format.h"
#include "ui/common/session.h"
#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

// Entries of cboForce that pick the FIN level.
constexpr int kForceVoltageEntry = 0;
constexpr int kForceCurrentEntry = 1;

QString fixed(float value) {
  return QString::fromStdString(formatFixed(static_cast<double>(value), 2, 3));
}

}  // namespace

PmuLevelCalculations::PmuLevelCalculations(Session& session, const PmuLevelFields& fields)
    : session_(session), f_(fields) {}

std::optional<std::int32_t> PmuLevelCalculations::offsetCode() const {
  return parseHexSigned(f_.offset->text().toStdString());
}

std::optional<double> PmuLevelCalculations::externalOhms() const {
  const std::optional<double> ohms = parseDecimal(f_.rsense->text().toStdString());
  // The resistor is read as single precision, as the entry check compares it.
  if (!ohms || !std::isfinite(toSingle(*ohms)) || toSingle(*ohms) <= 0.0F) {
    return std::nullopt;
  }
  return static_cast<double>(toSingle(*ohms));
}

float PmuLevelCalculations::readMiGain() {
  // GAIN0 (bit 6) of the system control register decides the current-measure gain; the chip
  // is asked every time, since another window or a reset may have changed it.
  return session_.bench().readMiGain().value_or(session_.conversion().miGain);
}

void PmuLevelCalculations::showRange(float high, float low) {
  rangeHigh_ = high;
  rangeLow_ = low;
  f_.fullScale->setText(fixed(high));
  f_.zeroScale->setText(fixed(low));
}

void PmuLevelCalculations::ShowVoltageRange() {
  const std::optional<std::int32_t> offset = offsetCode();
  if (!offset) {
    return;
  }
  const RangeLimits limits = voltageRangeLimits(session_.conversion().vref, *offset);
  showRange(limits.fullScale, limits.zeroScale);
}

void PmuLevelCalculations::ShowCurrentRange(bool readGain) {
  const int range = session_.conversion().rangeIndex;
  double external = 0.0;
  if (range == 4) {
    const std::optional<double> ohms = externalOhms();
    if (!ohms) {
      return;
    }
    external = *ohms;
  }
  const std::optional<double> resistor = senseResistorDisplay(range, external);
  if (!resistor) {
    return;
  }
  const float gain = readGain ? readMiGain() : session_.conversion().miGain;
  const RangeLimits limits = currentRangeLimits(session_.conversion().vref, gain, *resistor);
  showRange(limits.fullScale, limits.zeroScale);
}

bool PmuLevelCalculations::ForceVoltageLevel(float volts, bool load) {
  const std::optional<std::int32_t> offset = offsetCode();
  if (!offset) {
    return false;
  }
  const float vref = session_.conversion().vref;
  const std::optional<std::int32_t> code =
      codeForVoltage(static_cast<double>(volts), vref, *offset);
  // The level was checked against F/S and Z/S; a code outside the DAC's 16 bits would still
  // spill into the address bits, so it is never sent.
  if (!code || *code < 0 || *code > 0xFFFF) {
    return false;
  }
  f_.dacCode->setText(hexText(*code, 4));
  // The output shown is what the FIN DAC field's code produces, not the code just computed.
  if (const std::optional<std::int32_t> fin = parseHexSigned(f_.fin->text().toStdString())) {
    f_.outputV->setText(fixed(effectiveCodeVoltage(*fin, vref, *offset)));
  }
  if (load) {
    DACLOAD(*code, kModeX1, kFinDacBase);
  }
  return true;
}

bool PmuLevelCalculations::ForceCurrentLevel(float level) {
  const int range = session_.conversion().rangeIndex;
  double external = 0.0;
  if (range == 4) {
    const std::optional<double> ohms = externalOhms();
    if (!ohms) {
      return false;
    }
    external = *ohms;
  }
  const std::optional<double> resistor = senseResistorOhms(range, external);
  if (!resistor) {
    return false;
  }
  const double amps = static_cast<double>(level) * currentUnitToAmps(range);
  const float gain = readMiGain();
  const std::optional<std::int32_t> code =
      codeForCurrent(amps, session_.conversion().vref, gain, *resistor);
  if (!code || *code < 0 || *code > 0xFFFF) {
    return false;
  }
  f_.dacCode->setText(hexText(*code, 4));
  DACLOAD(*code, kModeX1, kFinDacBase);
  return true;
}

void PmuLevelCalculations::DACLOAD(std::int32_t lx, std::int32_t mode, std::int32_t dacadd) {
  ForceSelection force = ForceSelection::Other;
  if (f_.force->currentIndex() == kForceVoltageEntry) {
    force = ForceSelection::Voltage;
  } else if (f_.force->currentIndex() == kForceCurrentEntry) {
    force = ForceSelection::Current;
  }
  const std::int32_t word = composePmuWindowDacWord(lx, mode, dacadd, session_.words().chanBits,
                                                    force, f_.range->currentIndex());
  session_.bench().composeWords([word](StoredWords& w) { w.dacWord = word; });
  f_.lastOther->setText(hexText(word, 8));
  session_.SPIout(word);
}

void PmuLevelCalculations::writeOffsetDac(std::int32_t code, bool forceVoltage) {
  const std::int32_t word = composeOffsetDacWord(session_.words().chanBits, code);
  session_.bench().composeWords([word](StoredWords& w) { w.dacWord = word; });
  f_.lastOther->setText(hexText(word, 8));
  session_.SPIout(word);
  if (forceVoltage) {
    ShowVoltageRange();
  } else {
    ShowCurrentRange();
  }
}

}  // namespace kv4410::ui
