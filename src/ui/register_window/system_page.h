#pragma once
// The "WRITE SYSTEM CONTROL REG" page: composes sysWord from the chip-wide settings and writes
// it with "WRITE SYSTEM CONTROL REGISTER".
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "device/stored_words.h"

namespace kv4410::ui {

class BitDisplay;
class Selector;
class Session;

class SystemPage : public QWidget {
  Q_OBJECT
 public:
  explicit SystemPage(Session& session, QWidget* parent = nullptr);

  // DecToBinSYS.
  void showSystemWord(std::int32_t code);
  BitDisplay* display() const { return display_; }

  // After the start-up: the lists show what the start-up composed.
  void showStartUpSelections();
  // Start-up: the four comparator check boxes become usable.
  void enableComparatorBoxes();

  // "WRITE SYSTEM CONTROL REGISTER".
  void writeRegister();

 private:
  // Composes the system word and shows it in the serial-word field; nothing is sent.
  void compose(const std::function<void(StoredWords&)>& edit);
  void setBit(int bit, bool on);
  void onMeasoutGain(int index);
  void onCurrentGain(int index);
  void onThermal(int index);
  void onLatch(int index);
  void onDutGnd(int index);

  Session& session_;
  BitDisplay* display_ = nullptr;
  std::array<Selector*, 4> clamp_{};  // "CH0".."CH3"
  std::array<Selector*, 4> cpolh_{};  // "CPOLH0".."CPOLH3"
  Selector* comparatorBias_ = nullptr;
  Selector* forceSense10k_ = nullptr;
  Selector* dutGnd_ = nullptr;
  std::array<Selector*, 3> alarms_{};  // "ENABLE GUARD FN", "GUARD ALARM", "CLAMP ALARM"
  Selector* measoutGain_ = nullptr;
  Selector* currentGain_ = nullptr;
  Selector* thermal_ = nullptr;
  Selector* latch_ = nullptr;
};

}  // namespace kv4410::ui
