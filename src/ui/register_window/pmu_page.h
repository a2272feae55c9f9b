#pragma once
// The "WRITE PMU REG" page: composes pmuWord from named selections and writes it to the
// selected channels with "WRITE PMU REGISTER".
#include <QWidget>
#include <cstdint>
#include <functional>

#include "device/register_map.h"
#include "device/stored_words.h"

namespace kv4410::ui {

class BitDisplay;
class Selector;
class Session;

class PmuPage : public QWidget {
  Q_OBJECT
 public:
  explicit PmuPage(Session& session, QWidget* parent = nullptr);

  // DecToBinPMU.
  void showPmuWord(std::int32_t code);
  BitDisplay* display() const { return display_; }

  // After the start-up: the shared lists show the bench's range, measure and compare choices
  // ("±2mA", "Measure Voltage", "Compare Current"), which the start-up composed.
  void showStartUpSelections();

  // "WRITE PMU REGISTER" and this page's "CLEAR LATCHED BITS".
  void writeRegister();
  void clearLatchedBits();

 private:
  // Composes the PMU word (with the present channel selection and nothing above bit 27) and
  // shows it in the serial-word field; nothing is sent.
  void compose(const std::function<void(StoredWords&)>& edit);
  void setBit(int bit, bool on);
  void setField(PmuField which, int index);
  void onForce(int index);
  void onRange(int index);
  void onMeasure(int index);
  void onCompare(int index);
  void onSystemForceSense(int index);

  Session& session_;
  BitDisplay* display_ = nullptr;
  Selector* force_ = nullptr;
  Selector* range_ = nullptr;
  Selector* measure_ = nullptr;
  Selector* compare_ = nullptr;
  Selector* finConnected_ = nullptr;
  Selector* systemForceSense_ = nullptr;
  Selector* comparatorOutput_ = nullptr;
  Selector* clampEnable_ = nullptr;
  Selector* channelEnable_ = nullptr;
};

}  // namespace kv4410::ui
