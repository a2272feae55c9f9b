#include "ui/register_window/side_tab_widget.h"

#include <QPixmap>
#include <QPixmapCache>
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

// The style draws a west tab's shape through a turned transform, with gradients and smoothed
// rounded outlines, which is slow, and every repaint draws all ten tabs. The few different
// shapes (by size, state, place in the row and palette) are drawn once into pixmaps and
// reused; the margin keeps what the style draws just outside a tab, where neighbouring tabs
// overlap.
QPixmap SideTabBar::tabShape(const QStyleOptionTab& option) const {
  const qreal ratio = devicePixelRatioF();
  // A window that loses the activation draws its tabs again; where the palette gives active and
  // inactive windows the same colours, the shapes are the same and are drawn once.
  QStyle::State state = option.state;
  if (option.palette.isEqual(QPalette::Active, QPalette::Inactive)) {
    state &= ~QStyle::State_Active;
  }
  const QString key = QStringLiteral("kv4410-side-tab-%1x%2-%3-%4-%5-%6-%7")
                          .arg(option.rect.width())
                          .arg(option.rect.height())
                          .arg(static_cast<int>(state))
                          .arg(static_cast<int>(option.position))
                          .arg(static_cast<int>(option.selectedPosition))
                          .arg(ratio)
                          .arg(option.palette.cacheKey());
  QPixmap pixmap;
  if (!QPixmapCache::find(key, &pixmap)) {
    const QSize size = option.rect.size() + QSize(2 * kShapeMargin, 2 * kShapeMargin);
    pixmap = QPixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QStyleOptionTab placed = option;
    placed.rect.moveTo(kShapeMargin, kShapeMargin);
    QPainter painter(&pixmap);
    style()->drawControl(QStyle::CE_TabBarTabShape, &placed, &painter, this);
    painter.end();
    QPixmapCache::insert(key, pixmap);
  }
  return pixmap;
}

void SideTabBar::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  for (int i = 0; i < count(); ++i) {
    QStyleOptionTab option;
    initStyleOption(&option, i);
    painter.drawPixmap(option.rect.topLeft() - QPoint(kShapeMargin, kShapeMargin),
                       tabShape(option));
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
