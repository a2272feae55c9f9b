#pragma once
// The "WRITE PMU REG" page: composes pmuWord from named selections and writes it to the
// selected channels with "WRITE PMU REGISTER".
#include <QWidget>
#include <cstdint>

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

  // Start-up: current range "±2mA", measure "Measure Voltage", compare "Compare Current".
  void runStartUpSelections();

  // "WRITE PMU REGISTER" and this page's "CLEAR LATCHED BITS".
  void writeRegister();
  void clearLatchedBits();

 private:
  // Replaces the channel bits by the present selection and clears bits 28..31.
  void refreshChannels();
  void showWord();
  void setBit(int bit, bool on);
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
