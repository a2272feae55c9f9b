#pragma once
// A page control whose tabs stand in a column on the left with their captions written
// horizontally: the ten long page captions of the register window fit there, where a row of
// tabs would need twice the screen's width.
#include <QPixmap>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>

namespace kv4410::ui {

class SideTabBar : public QTabBar {
  Q_OBJECT
 public:
  explicit SideTabBar(QWidget* parent = nullptr);

 protected:
  QSize tabSizeHint(int index) const override;
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int kShapeMargin = 4;
  QPixmap tabShape(const QStyleOptionTab& option) const;
};

class SideTabWidget : public QTabWidget {
  Q_OBJECT
 public:
  explicit SideTabWidget(QWidget* parent = nullptr);
  SideTabBar* sideBar() const { return bar_; }

 private:
  SideTabBar* bar_;
};

}  // namespace kv4410::ui
