#pragma once
// A register display: one one-character box per bit (bit 28 or 23 on the left), the bit
// captions above the boxes and the group captions above those, all from the register map.
// The display carries its frame caption ("PMU INPUT REGISTER", ...) as its own title, so a
// page places it as it is, without a group box around it.
#include <QFont>
#include <QFrame>
#include <QString>
#include <QStyleOptionFrame>
#include <vector>

#include "device/register_map.h"

class QGridLayout;

namespace kv4410::ui {

// One bit's box: a read-only one-character field, drawn as the style draws a line edit. The
// displays hold over two hundred of them, and a line edit's editing machinery would cost many
// times more to build and to draw than the box needs.
class BitBox : public QWidget {
  Q_OBJECT
 public:
  explicit BitBox(QWidget* parent);
  QString text() const { return text_; }
  void setText(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The line-edit panel the style draws for the box: sunken, read-only.
  QStyleOptionFrame panelOption() const;

  QString text_;
};

class BitDisplay : public QFrame {
  Q_OBJECT
 public:
  // `boxName` names the boxes: box of bit i is `boxName + "_" + i` (txtDAC_28 ... txtDAC_0).
  BitDisplay(Display layout, const QString& boxName, QWidget* parent = nullptr);

  // Fills the boxes from `code` as the display's DecToBin routine does; a write display leaves
  // them as they were for a word outside 0..0x1FFFFFFF.
  void showWord(std::int32_t code);
  // Sets one box's text directly (the DAC read page shows channel bits as it changes them).
  void setBit(int bit, bool value);
  QString bitText(int bit) const;
  // The boxes' texts from the highest bit down, e.g. "00011110...".
  QString text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // A caption drawn into the grid: row 0 holds the groups, row 1 the bits.
  struct Caption {
    QString text;
    int row;
    int column;
    int span;
    bool bold;  // active-low bits
  };

  Display layout_;
  std::vector<BitBox*> boxes_;  // index = bit number
  QGridLayout* grid_ = nullptr;
  std::vector<Caption> captions_;
  QFont small_;
  QFont smallBold_;
};

}  // namespace kv4410::ui
