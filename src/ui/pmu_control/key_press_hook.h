#pragma once
// Runs a handler for every key pressed in a widget before the widget sees the key, so that the
// handler reads the field's text as it was before that key's character enters it.
#include <QObject>
#include <functional>

class QKeyEvent;

namespace kv4410::ui {

class KeyPressHook : public QObject {
 public:
  // The handler returns true to swallow the key, false to let it reach the widget.
  using Handler = std::function<bool(QKeyEvent*)>;

  KeyPressHook(QObject* watched, Handler handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Handler handler_;
};

}  // namespace kv4410::ui
