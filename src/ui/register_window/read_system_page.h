#pragma once
// The "READ SYSTEM CONTROL REG" page: reads the system control register and shows each field
// decoded beside the answer's bits.
#include <QWidget>
#include <array>

class QLabel;

namespace kv4410::ui {

class BitDisplay;
class RegisterWindowContext;

class ReadSystemPage : public QWidget {
  Q_OBJECT
 public:
  explicit ReadSystemPage(RegisterWindowContext& context, QWidget* parent = nullptr);

  // READSYS: the system control read and its decode.
  void readSystem();

 private:
  RegisterWindowContext& context_;
  BitDisplay* rsys_ = nullptr;
  std::array<QLabel*, 4> clampLabels_{};  // index = channel
  QLabel* cpBias_ = nullptr;
  std::array<QLabel*, 4> cpolh_{};
  QLabel* dutGnd_ = nullptr;
  QLabel* guardAlarm_ = nullptr;
  QLabel* clampAlarm_ = nullptr;
  QLabel* forceSense_ = nullptr;
  QLabel* guardEnable_ = nullptr;
  std::array<QLabel*, 2> gain_{};
  std::array<QLabel*, 3> sysData_{};  // READSYSDATA(0..2)
  QLabel* shutdownCaption_ = nullptr;
};

}  // namespace kv4410::ui
