#pragma once
// The "READ STATUS REG" page: the comparator and alarm status reads, the temperature lamps of
// the alarm answer, and "CLEAR LATCHED BITS".
#include <QWidget>

class QPushButton;

namespace kv4410::ui {

class BitDisplay;
class RegisterWindowContext;

class ReadStatusPage : public QWidget {
  Q_OBJECT
 public:
  explicit ReadStatusPage(RegisterWindowContext& context, QWidget* parent = nullptr);

  // READCOMP: the comparator status read, shown in the result field and txtCOMP.
  void readComparator();
  // READALARM: the alarm status read and its temperature lamps.
  void readAlarm();
  // Command4: sets the CLEAR bit in pmuWord, keeps it there, and sends pmuWord.
  void clearLatchedBits();

 private:
  RegisterWindowContext& context_;
  BitDisplay* comp_ = nullptr;
  BitDisplay* alm_ = nullptr;
  QPushButton* latchedTemp_ = nullptr;  // cmdTEMP(0)
  QPushButton* temp_ = nullptr;         // cmdTEMP(1)
};

}  // namespace kv4410::ui
