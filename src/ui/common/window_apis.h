#pragma once
// The few operations one window offers another besides the shared settings. A window reached
// through the hub is cast to these interfaces.
#include <cstdint>

namespace kv4410::ui {

class RegisterWindowApi {
 public:
  virtual ~RegisterWindowApi() = default;
  // Shows the register window with "WRITE DAC REG" in front and `tabDACS` on `dacSubPage`
  // (0 "FIN DAC", 1 "CLL + CLH DACs", 2 "CPL + CPH DACs").
  virtual void showDacPage(int dacSubPage) = 0;
};

class PmuControlApi {
 public:
  virtual ~PmuControlApi() = default;
  // Writes the "Last PMU REG Write" field (the register window does at start-up).
  virtual void showLastPmuWrite(std::int32_t word) = 0;
};

}  // namespace kv4410::ui
