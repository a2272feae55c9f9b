#pragma once
// The "COMPENSATION SELECTION" page: the switches of channels 1 and 3 that select their
// compensation (CCOMP) and feed-forward (CFF) capacitors.
#include <QWidget>

namespace kv4410::ui {

class Session;

class CompensationPage : public QWidget {
  Q_OBJECT
 public:
  explicit CompensationPage(Session& session, QWidget* parent = nullptr);

 private:
  Session& session_;
};

}  // namespace kv4410::ui
