#include "ui/register_window/side_tab_widget.h"

#include <QStyleOptionTab>
#include <QStylePainter>

namespace kv4410::ui {

SideTabBar::SideTabBar(QWidget* parent) : QTabBar(parent) {
  setObjectName(QStringLiteral("tabMainBar"));
  setExpanding(false);
  setUsesScrollButtons(false);
}

QSize SideTabBar::tabSizeHint(int index) const {
  // The bar is vertical, so the style measures the tab as if its text ran downwards; the text
  // is drawn across instead, so width and height swap.
  QSize size = QTabBar::tabSizeHint(index);
  size.transpose();
  size.setHeight(std::max(size.height(), 34));
  return size;
}

void SideTabBar::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  for (int i = 0; i < count(); ++i) {
    QStyleOptionTab option;
    initStyleOption(&option, i);
    painter.drawControl(QStyle::CE_TabBarTabShape, option);
    // The style draws the label of a west tab turned by 90 degrees; turn it back.
    painter.save();
    QSize turned = option.rect.size();
    turned.transpose();
    QRect labelRect(QPoint(), turned);
    labelRect.moveCenter(option.rect.center());
    option.rect = labelRect;
    const QPoint centre = tabRect(i).center();
    painter.translate(centre);
    painter.rotate(90);
    painter.translate(-centre);
    painter.drawControl(QStyle::CE_TabBarTabLabel, option);
    painter.restore();
  }
}

SideTabWidget::SideTabWidget(QWidget* parent) : QTabWidget(parent), bar_(new SideTabBar(this)) {
  setTabBar(bar_);
  setTabPosition(QTabWidget::West);
}

}  // namespace kv4410::ui
