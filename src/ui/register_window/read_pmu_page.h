#pragma once
// The "READ PMU REG" page: the channel whose PMU register is read, the read, the nine decoded
// fields and the two temperature lamps of the answer.
#include <QWidget>
#include <array>

class QLabel;
class QPushButton;

namespace kv4410::ui {

class BitDisplay;
class RegisterWindowContext;

class ReadPmuPage : public QWidget {
  Q_OBJECT
 public:
  explicit ReadPmuPage(RegisterWindowContext& context, QWidget* parent = nullptr);

  // Page entry: ORs 0x18000000 into the PMU request word and shows it in the serial-word field.
  void enterPage();
  // READPMU: sends the PMU request word and decodes the answer.
  void readPmu();

 private:
  // OptPMUCH(channel): sets the PMU request word; nothing is sent or shown.
  void selectChannel(int channel);

  RegisterWindowContext& context_;
  BitDisplay* rpmu_ = nullptr;
  std::array<QLabel*, 9> rpmuLabels_{};
  QPushButton* latchedTemp_ = nullptr;    // cmdTEMP(3)
  QPushButton* unlatchedTemp_ = nullptr;  // cmdTEMP(2)
};

}  // namespace kv4410::ui
