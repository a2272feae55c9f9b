#pragma once
// The "LITTLE ROUTINES" page: settling-time and range-change transitions.
#include <QWidget>
#include <cstdint>

class QComboBox;
class QLineEdit;

namespace kv4410::ui {

class RegisterWindowContext;
class Selector;

class LittleRoutinesPage : public QWidget {
  Q_OBJECT
 public:
  explicit LittleRoutinesPage(RegisterWindowContext& context, QWidget* parent = nullptr);

  // The words the page keeps: the two settling words and the range-change FIN word.
  std::int32_t firstSettlingWord() const { return settling1_; }
  std::int32_t secondSettlingWord() const { return settling2_; }
  std::int32_t rangeChangeFinWord() const { return finWord_; }

 private:
  QWidget* buildSettlingPage();
  QWidget* buildRangeChangePage();

  // cboFINREG: both settling words from chanBits and the chosen level, nothing sent.
  void composeSettlingWords();
  // "WRITE DAC CODES": the two FIN x1 words back to back.
  void writeSettlingCodes();
  // "UPDATE": first range, FIN word, second range back to back; pmuWord is then restored.
  void changeRange();

  RegisterWindowContext& context_;
  QLineEdit* txtFINSET1_ = nullptr;
  QLineEdit* txtFINSET2_ = nullptr;
  QComboBox* cboFINREG_ = nullptr;
  QLineEdit* text2_ = nullptr;
  QLineEdit* text3_ = nullptr;
  QLineEdit* txtdin_ = nullptr;
  QComboBox* cboCurrent1_ = nullptr;
  QComboBox* cboCurrent2_ = nullptr;
  QLineEdit* txtrange1_ = nullptr;
  QLineEdit* txtfincode_ = nullptr;
  QLineEdit* txtrange2_ = nullptr;

  std::int32_t settling1_ = 0;
  std::int32_t settling2_ = 0;
  std::int32_t finWord_ = 0;
};

}  // namespace kv4410::ui
