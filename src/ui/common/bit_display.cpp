#include "ui/common/bit_display.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QSpacerItem>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <vector>

#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

constexpr int kBoxWidth = 26;
constexpr int kColumnSpacing = 1;
// A caption this much wider than its columns still fits: a caption has no margin of its own.
constexpr int kWrapSlack = 3;

// Caption widths as sums of character advances, each character measured once per font: the
// font engine answers every horizontalAdvance call anew, measuring a string shapes it, and the
// displays measure thousands of caption characters at start-up. Kerning is within the few
// pixels of margin the columns get.
class AdvanceTable {
 public:
  explicit AdvanceTable(const QFont& font) : metrics_(font) { ascii_.fill(-1); }

  int width(const QString& text) {
    int width = 0;
    for (const QChar c : text) {
      const char16_t unit = c.unicode();
      if (unit >= ascii_.size()) {
        width += metrics_.horizontalAdvance(c);
        continue;
      }
      int& advance = ascii_[unit];
      if (advance < 0) {
        advance = metrics_.horizontalAdvance(c);
      }
      width += advance;
    }
    return width;
  }

 private:
  QFontMetrics metrics_;
  std::array<int, 128> ascii_{};
};

// Breaks `text` at spaces into lines of at most `width` pixels (a longer word keeps a line of
// its own). The group captions get their line breaks here, once, instead of from word wrap: a
// word-wrapped label makes every layout above it search its height for each width it tries,
// shaping the text again each time, and the displays hold dozens of captions.
QString brokenToWidth(const QString& text, AdvanceTable& advances, int width) {
  QString result;
  QString line;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (!line.isEmpty() && advances.width(longer) > width + kWrapSlack) {
      result += line + QLatin1Char('\n');
      line = word;
    } else {
      line = longer;
    }
  }
  return result + line;
}

}  // namespace

BitBox::BitBox(QWidget* parent) : QWidget(parent), text_(QStringLiteral("0")) {
  setFocusPolicy(Qt::NoFocus);
  // As tall as a line edit in this font, as wide as the display's columns allow.
  const QStyleOptionFrame option = panelOption();
  const int textHeight = std::max(fontMetrics().height(), 14) + 2;
  const QSize size =
      style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(kBoxWidth, textHeight), this);
  setFixedSize(kBoxWidth, size.height());
}

void BitBox::setText(const QString& text) {
  if (text != text_) {
    text_ = text;
    update();
  }
}

QStyleOptionFrame BitBox::panelOption() const {
  QStyleOptionFrame panel;
  panel.initFrom(this);
  panel.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, this);
  panel.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
  return panel;
}

void BitBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QStyleOptionFrame panel = panelOption();
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(rect(), Qt::AlignCenter, text_);
}

BitDisplay::BitDisplay(Display layout, const QString& boxName, QWidget* parent)
    : QFrame(parent), layout_(layout) {
  const DisplayLayout& def = displayLayout(layout);
  setFrameShape(QFrame::StyledPanel);
  setObjectName(boxName + QStringLiteral("Display"));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 4, 6, 6);
  outer->setSpacing(2);

  auto* title = new QLabel(qtext(def.frameCaption), this);
  QFont titleFont = title->font();
  titleFont.setBold(true);
  title->setFont(titleFont);
  outer->addWidget(title);

  grid_ = new QGridLayout();
  grid_->setHorizontalSpacing(kColumnSpacing);
  grid_->setVerticalSpacing(1);
  outer->addLayout(grid_);

  small_ = font();
  small_.setPointSizeF(small_.pointSizeF() * 0.72);
  smallBold_ = small_;
  smallBold_.setBold(true);
  AdvanceTable regularAdvances(small_);
  AdvanceTable boldAdvances(smallBold_);
  // Caption heights as a label takes them: one line, and each line more.
  QLabel probe(QStringLiteral("X"));
  probe.setFont(small_);
  const int lineHeight = probe.sizeHint().height();
  probe.setText(QStringLiteral("X\nX"));
  const int moreLines = probe.sizeHint().height() - lineHeight;

  const int count = def.bitCount;
  auto columnOf = [count](int bit) { return count - 1 - bit; };

  // The captions are drawn by the display itself (paintEvent) into the cells of rows 0 and 1,
  // which spacers hold open at the captions' sizes: the displays carry some three hundred
  // captions, and a label each would cost more to build, polish and lay out than the boxes.
  std::vector<int> columnWidths(static_cast<std::size_t>(count), kBoxWidth);  // by bit
  boxes_.assign(static_cast<std::size_t>(count), nullptr);
  for (int bit = count - 1; bit >= 0; --bit) {
    const BitCaption& caption = def.bits[static_cast<std::size_t>(bit)];
    const QString text = qtext(caption.caption);
    // A caption is one word: its column grows to show it whole rather than clip it.
    AdvanceTable& advances = caption.activeLow ? boldAdvances : regularAdvances;
    const int columnWidth = std::max(kBoxWidth, advances.width(text) + 4);
    columnWidths[static_cast<std::size_t>(bit)] = columnWidth;
    grid_->addItem(
        new QSpacerItem(columnWidth, lineHeight, QSizePolicy::Minimum, QSizePolicy::Minimum), 1,
        columnOf(bit));
    captions_.push_back({text, 1, columnOf(bit), 1, caption.activeLow});

    auto* box = new BitBox(this);
    box->setObjectName(boxName + QStringLiteral("_") + QString::number(bit));
    box->setToolTip(QStringLiteral("bit %1: %2").arg(bit).arg(text));
    grid_->addWidget(box, 2, columnOf(bit), Qt::AlignHCenter);
    boxes_[static_cast<std::size_t>(bit)] = box;
  }
  // Group captions, each spanning its bits and underlined by a rule so its extent shows.
  int groupRowHeight = 0;
  for (const GroupSpan& group : def.groups) {
    int width = -kColumnSpacing;
    for (int bit = group.lowBit; bit <= group.highBit; ++bit) {
      width += columnWidths[static_cast<std::size_t>(bit)] + kColumnSpacing;
    }
    const QString text = brokenToWidth(qtext(group.caption), regularAdvances, width);
    const QStringList lines = text.split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& line : lines) {
      widest = std::max(widest, regularAdvances.width(line));
    }
    const int height = lineHeight + (static_cast<int>(lines.size()) - 1) * moreLines;
    const int first = columnOf(group.highBit);
    const int span = group.highBit - group.lowBit + 1;
    grid_->addItem(new QSpacerItem(widest, height + 1, QSizePolicy::Minimum, QSizePolicy::Minimum),
                   0, first, 1, span);
    captions_.push_back({text, 0, first, span, false});
    groupRowHeight = std::max(groupRowHeight, height + 1);
  }
  // Unlike a row of labels, a row of spacers gets no spacing below it: the rows are held at the
  // captions' heights plus that spacing.
  grid_->setRowMinimumHeight(0, groupRowHeight + grid_->verticalSpacing());
  grid_->setRowMinimumHeight(1, lineHeight + grid_->verticalSpacing());

  for (int column = 0; column < count; ++column) {
    grid_->setColumnStretch(column, 1);
  }
}

void BitDisplay::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QColor rule = palette().color(QPalette::Mid);
  for (const Caption& caption : captions_) {
    const QRect cell = grid_->cellRect(caption.row, caption.column)
                           .united(grid_->cellRect(caption.row, caption.column + caption.span - 1));
    painter.setFont(caption.bold ? smallBold_ : small_);
    if (caption.row == 0) {
      // A group: its text above a rule across its bits.
      painter.drawText(cell.adjusted(0, 0, 0, -1), Qt::AlignHCenter | Qt::AlignBottom,
                       caption.text);
      painter.save();
      painter.setPen(rule);
      painter.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
      painter.restore();
    } else {
      painter.drawText(cell, Qt::AlignHCenter | Qt::AlignBottom, caption.text);
    }
  }
}

void BitDisplay::showWord(std::int32_t code) {
  const std::vector<char> bits = displayBits(layout_, code);
  if (bits.size() != boxes_.size()) {
    return;  // a word outside the display's range leaves the boxes as they were
  }
  for (std::size_t bit = 0; bit < bits.size(); ++bit) {
    boxes_[bit]->setText(QString(QLatin1Char(bits[bit])));
  }
}

void BitDisplay::setBit(int bit, bool value) {
  if (bit < 0 || static_cast<std::size_t>(bit) >= boxes_.size()) {
    return;
  }
  boxes_[static_cast<std::size_t>(bit)]->setText(value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString BitDisplay::bitText(int bit) const {
  if (bit < 0 || static_cast<std::size_t>(bit) >= boxes_.size()) {
    return {};
  }
  return boxes_[static_cast<std::size_t>(bit)]->text();
}

QString BitDisplay::text() const {
  QString result;
  for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it) {
    result += (*it)->text();
  }
  return result;
}

}  // namespace kv4410::ui
