#include "ui/common/selector.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QPalette>

#include "ui/common/session.h"

namespace kv4410::ui {

namespace {

// Eats every key (and the wheel, which would step through the items) sent to a list, so that
// only choosing an item from its drop-down changes it.
class KeyDiscarder : public QObject {
 public:
  using QObject::QObject;

 private:
  static bool isFocusKey(const QKeyEvent* key) {
    const bool plain = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
    return plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
        // Tab and Shift+Tab move the focus on, as from any other control.
        if (isFocusKey(static_cast<QKeyEvent*>(event))) {
          return QObject::eventFilter(watched, event);
        }
        event->accept();
        return true;
      case QEvent::Wheel:
      case QEvent::InputMethod:
        event->accept();
        return true;
      default:
        return QObject::eventFilter(watched, event);
    }
  }
};

}  // namespace

Selector::Selector(QComboBox* list, const QString& initialText, Handler handler, Session* session)
    : QObject(list), list_(list), handler_(std::move(handler)), session_(session) {
  list_->setEditable(false);
  list_->setPlaceholderText(initialText);
  // The initial text is what the list shows, not a hint: it is drawn like a chosen item, so the
  // list does not look disabled before its first choice.
  QPalette palette = list_->palette();
  palette.setColor(QPalette::PlaceholderText, palette.color(QPalette::ButtonText));
  list_->setPalette(palette);
  list_->setCurrentIndex(-1);
  list_->installEventFilter(new KeyDiscarder(this));
  connect(list_, &QComboBox::activated, this, [this](int index) { run(index, false); });
}

Selector::Selector(QAbstractButton* button, bool initiallyChecked, Handler handler,
                   Session* session)
    : QObject(button), button_(button), handler_(std::move(handler)), session_(session) {
  button_->setCheckable(true);
  button_->setChecked(initiallyChecked);
  connect(button_, &QAbstractButton::clicked, this,
          [this](bool checked) { run(checked ? 1 : 0, false); });
}

void Selector::select(int index) {
  if (list_ != nullptr) {
    const int wanted = (index >= 0 && index < list_->count()) ? index : -1;
    if (wanted == list_->currentIndex()) {
      return;
    }
    list_->setCurrentIndex(wanted);
  } else {
    const bool wanted = index != 0;
    if (button_->isChecked() == wanted) {
      return;
    }
    button_->setChecked(wanted);
    if (button_->isChecked() != wanted) {
      return;  // an option button of an exclusive group cannot be cleared by itself
    }
  }
  // A selection set from code (the start-up, a write button) never raises the channel message.
  if (session_ != nullptr) {
    Session::QuietScope quiet(*session_);
    run(this->index(), true);
  } else {
    run(this->index(), true);
  }
}

void Selector::show(int index) {
  if (list_ != nullptr) {
    list_->setCurrentIndex((index >= 0 && index < list_->count()) ? index : -1);
  } else {
    button_->setChecked(index != 0);
  }
}

int Selector::index() const {
  if (list_ != nullptr) {
    return list_->currentIndex();
  }
  return button_->isChecked() ? 1 : 0;
}

void Selector::runHandler() {
  run(index(), false);
}

void Selector::run(int index, bool /*fromCode*/) {
  ++handlerRuns_;
  if (handler_) {
    handler_(index);
  }
}

}  // namespace kv4410::ui
