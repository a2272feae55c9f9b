#include "ui/pmu_control/key_press_hook.h"

#include <QEvent>
#include <QKeyEvent>

namespace kv4410::ui {

KeyPressHook::KeyPressHook(QObject* watched, Handler handler)
    : QObject(watched), handler_(std::move(handler)) {
  watched->installEventFilter(this);
}

bool KeyPressHook::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && handler_) {
    return handler_(static_cast<QKeyEvent*>(event));
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kv4410::ui
