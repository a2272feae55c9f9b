#include "ui/register_window/lazy_page.h"

#include <QVBoxLayout>

namespace kv4410::ui {

LazyPage::LazyPage(const QString& name, Build build, QWidget* parent)
    : QWidget(parent), build_(std::move(build)) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

QWidget* LazyPage::content() {
  if (content_ == nullptr) {
    content_ = build_(this);
    build_ = nullptr;  // what it captured is not needed again
    layout()->addWidget(content_);
    if (isVisible()) {
      // Shown now rather than from the next pass of the event loop, and placed at once, so the
      // page is complete the moment it appears.
      content_->show();
      layout()->activate();
    }
  }
  return content_;
}

void LazyPage::showEvent(QShowEvent* event) {
  content();
  QWidget::showEvent(event);
}

}  // namespace kv4410::ui
