#pragma once
// The "READ DAC REG" page: channel, DAC, level and register kind compose the DAC request word;
// the read shows the offset DAC code and the chosen register's code.
#include <QWidget>
#include <cstdint>

class QComboBox;
class QLineEdit;

namespace kv4410::ui {

class BitDisplay;
class RegisterWindowContext;

class ReadDacPage : public QWidget {
  Q_OBJECT
 public:
  explicit ReadDacPage(RegisterWindowContext& context, QWidget* parent = nullptr);

  // Page entry: ORs 0x18C80000 into the DAC request word and shows it in the serial-word field.
  void enterPage();
  // cmdREADDAC: the offset DAC read, then the read of the DAC request word.
  void readDac();
  // The answer of the last DAC read (0 before the first).
  std::int32_t lastDacReadback() const { return lastDacReadback_; }

 private:
  void selectChannel(int channel);
  void selectGroup(int index);
  void selectRegisterKind(int index);
  void selectCurrentLevel(int index);
  void selectCllLevel(int index);
  void showRequest();

  RegisterWindowContext& context_;
  BitDisplay* rdac_ = nullptr;
  QComboBox* cboDAC_ = nullptr;
  QComboBox* cboCurrentregset_ = nullptr;
  QComboBox* cboCLLregset_ = nullptr;
  QComboBox* cboRegset_ = nullptr;
  QLineEdit* txtOFFSET_ = nullptr;
  QLineEdit* txtDaccode_ = nullptr;
  std::int32_t lastDacReadback_ = 0;
};

}  // namespace kv4410::ui
