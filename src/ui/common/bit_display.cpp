#include "ui/common/bit_display.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

constexpr int kBoxWidth = 26;
constexpr int kColumnSpacing = 1;
// A caption this much wider than its columns still fits: the label has no margin of its own.
constexpr int kWrapSlack = 3;

// The width of a short caption as the sum of its characters' advances: the font keeps those
// at hand, while measuring the string shapes it anew, and the displays measure hundreds of
// captions at start-up. Kerning is within the few pixels of margin the columns get.
int captionWidth(const QFontMetrics& metrics, const QString& text) {
  int width = 0;
  for (const QChar c : text) {
    width += metrics.horizontalAdvance(c);
  }
  return width;
}

// Breaks `text` at spaces into lines of at most `width` pixels (a longer word keeps a line of
// its own). The group captions get their line breaks here, once, instead of from word wrap: a
// word-wrapped label makes every layout above it search its height for each width it tries,
// shaping the text again each time, and the displays hold dozens of captions.
QString brokenToWidth(const QString& text, const QFontMetrics& metrics, int width) {
  QString result;
  QString line;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (!line.isEmpty() && captionWidth(metrics, longer) > width + kWrapSlack) {
      result += line + QLatin1Char('\n');
      line = word;
    } else {
      line = longer;
    }
  }
  return result + line;
}

}  // namespace

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

  auto* grid = new QGridLayout();
  grid->setHorizontalSpacing(kColumnSpacing);
  grid->setVerticalSpacing(1);
  outer->addLayout(grid);

  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.72);

  const int count = def.bitCount;
  auto columnOf = [count](int bit) { return count - 1 - bit; };

  std::vector<int> columnWidths(static_cast<std::size_t>(count), kBoxWidth);  // by bit
  boxes_.assign(static_cast<std::size_t>(count), nullptr);
  for (int bit = count - 1; bit >= 0; --bit) {
    const BitCaption& caption = def.bits[static_cast<std::size_t>(bit)];
    auto* label = new QLabel(qtext(caption.caption), this);
    QFont captionFont = small;
    captionFont.setBold(caption.activeLow);
    label->setFont(captionFont);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    // A caption is one word: its column grows to show it whole rather than clip it.
    const int columnWidth =
        std::max(kBoxWidth, captionWidth(QFontMetrics(captionFont), label->text()) + 4);
    columnWidths[static_cast<std::size_t>(bit)] = columnWidth;
    label->setMinimumWidth(columnWidth);
    grid->addWidget(label, 1, columnOf(bit));

    auto* box = new QLineEdit(QStringLiteral("0"), this);
    box->setObjectName(boxName + QStringLiteral("_") + QString::number(bit));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAlignment(Qt::AlignCenter);
    box->setMaxLength(1);
    box->setFixedWidth(kBoxWidth);
    box->setToolTip(QStringLiteral("bit %1").arg(bit));
    grid->addWidget(box, 2, columnOf(bit), Qt::AlignHCenter);
    boxes_[static_cast<std::size_t>(bit)] = box;
  }
  // Group captions, each spanning its bits and underlined by a rule so its extent shows.
  const QFontMetrics smallMetrics(small);
  for (const GroupSpan& group : def.groups) {
    int width = -kColumnSpacing;
    for (int bit = group.lowBit; bit <= group.highBit; ++bit) {
      width += columnWidths[static_cast<std::size_t>(bit)] + kColumnSpacing;
    }
    auto* label = new QLabel(brokenToWidth(qtext(group.caption), smallMetrics, width), this);
    label->setFont(small);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    label->setStyleSheet(QStringLiteral("QLabel { border-bottom: 1px solid palette(mid); }"));
    const int first = columnOf(group.highBit);
    const int span = group.highBit - group.lowBit + 1;
    grid->addWidget(label, 0, first, 1, span);
  }

  for (int column = 0; column < count; ++column) {
    grid->setColumnStretch(column, 1);
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
