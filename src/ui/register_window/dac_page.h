#pragma once
// The "WRITE DAC REG" page: every DAC register of the chip as a raw 16-bit code, written the
// moment Enter is pressed in its field.
#include <QWidget>
#include <cstdint>

#include "device/dac_words.h"

class QLineEdit;
class QTabWidget;

namespace kv4410::ui {

class BitDisplay;
class Session;

class DacPage : public QWidget {
  Q_OBJECT
 public:
  explicit DacPage(Session& session, QWidget* parent = nullptr);

  // DecToBin: the "DAC INPUT REGISTER" display.
  void showDacInput(std::int32_t code);
  BitDisplay* display() const { return display_; }
  QTabWidget* dacTabs() const { return tabs_; }

  // Composes a DAC write word for the selected channels, stores it as dacWord, shows and sends
  // it, and shows its bits.
  void DACLOAD(std::int16_t index, std::int32_t lx, std::int32_t mode, std::int32_t dacadd);

 private:
  QWidget* groupFrame(DacGroup group);
  QLineEdit* codeField(DacGroup group, DacRegister reg, int level, QWidget* parent);

  Session& session_;
  BitDisplay* display_ = nullptr;
  QTabWidget* tabs_ = nullptr;
};

}  // namespace kv4410::ui
