#pragma once
// The PMU control window's conversions between engineering units and FIN/OFFSET DAC codes:
// the forcing range beside "F/S" and "Z/S", the force level written to the FIN DAC, and the
// window's own DAC word composer. All formulas are the device model's conversions.
#include <QString>
#include <cstdint>
#include <optional>

class QComboBox;
class QLineEdit;

namespace kv4410::ui {

class Session;

// The window's controls that the calculations read and write.
struct PmuLevelFields {
  QComboBox* force = nullptr;      // cboForce
  QComboBox* range = nullptr;      // cboIrange
  QLineEdit* fin = nullptr;        // txtFINx1 (hexadecimal)
  QLineEdit* offset = nullptr;     // OFFSETx1_0 (hexadecimal)
  QLineEdit* rsense = nullptr;     // txtRsense, ohms
  QLineEdit* dacCode = nullptr;    // txtdaccode
  QLineEdit* outputV = nullptr;    // txtOutputV
  QLineEdit* fullScale = nullptr;  // txtOutputVh ("F/S")
  QLineEdit* zeroScale = nullptr;  // txtOutputVl ("Z/S")
  QLineEdit* lastOther = nullptr;  // txtother ("Last Other Write")
};

class PmuLevelCalculations {
 public:
  PmuLevelCalculations(Session& session, const PmuLevelFields& fields);

  // Voltage range from `vref` and the OFFSET field. An OFFSET field that does not hold a
  // hexadecimal number keeps the previous range and display.
  void ShowVoltageRange();
  // Current range of `rangeIndex` in uA (ranges 0..2) or mA (3, 4). Reads the MI gain back
  // from the chip first. On the external range a sense-resistor field that does not hold a
  // positive number keeps the previous range and display, and nothing is sent. Without
  // `readGain` the gain last read (by the bench, for a new range) is used.
  void ShowCurrentRange(bool readGain = true);
  // Converts a level in volts to the FIN code, shows it and, with `load`, writes it. Returns
  // whether the code was good.
  bool ForceVoltageLevel(float volts, bool load = true);
  // Converts a level in uA or mA (by range) to the FIN code and writes it, with the MI gain
  // read back from the chip. Returns whether a word was sent.
  bool ForceCurrentLevel(float level);
  // The window's DAC word: channel bits, `mode`, `dacadd`, the code, and the FIN level of the
  // present force mode and range. Stored as dacWord, shown in "Last Other Write", sent.
  void DACLOAD(std::int32_t lx, std::int32_t mode, std::int32_t dacadd);
  // The OFFSET DAC write of `code` (0..0xFFFF), then the range display for the force mode.
  void writeOffsetDac(std::int32_t code, bool forceVoltage);

  float rangeHigh() const { return rangeHigh_; }
  float rangeLow() const { return rangeLow_; }

  // The sense-resistor field as ohms and as the display factor; nullopt unless it holds a
  // positive number (a zero or negative resistor would divide by zero or turn the range over).
  std::optional<double> externalOhms() const;

 private:
  std::optional<std::int32_t> offsetCode() const;
  float readMiGain();
  void showRange(float high, float low);

  Session& session_;
  PmuLevelFields f_;
  float rangeHigh_ = 0.0F;
  float rangeLow_ = 0.0F;
};

}  // namespace kv4410::ui
