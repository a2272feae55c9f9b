#include "ui/common/bit_display.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/common/widgets.h"

namespace kv4410::ui {

namespace {

constexpr int kBoxWidth = 26;

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
  grid->setHorizontalSpacing(1);
  grid->setVerticalSpacing(1);
  outer->addLayout(grid);

  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.72);

  const int count = def.bitCount;
  auto columnOf = [count](int bit) { return count - 1 - bit; };

  // Group captions, each spanning its bits and underlined by a rule so its extent shows.
  for (const GroupSpan& group : def.groups) {
    auto* label = new QLabel(qtext(group.caption), this);
    label->setFont(small);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("QLabel { border-bottom: 1px solid palette(mid); }"));
    const int first = columnOf(group.highBit);
    const int span = group.highBit - group.lowBit + 1;
    grid->addWidget(label, 0, first, 1, span);
  }

  boxes_.assign(static_cast<std::size_t>(count), nullptr);
  for (int bit = count - 1; bit >= 0; --bit) {
    const BitCaption& caption = def.bits[static_cast<std::size_t>(bit)];
    auto* label = new QLabel(qtext(caption.caption), this);
    QFont captionFont = small;
    captionFont.setBold(caption.activeLow);
    label->setFont(captionFont);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    // A caption is one word: its column grows to show it whole rather than clip it.
    label->setMinimumWidth(
        std::max(kBoxWidth, QFontMetrics(captionFont).horizontalAdvance(label->text()) + 4));
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
