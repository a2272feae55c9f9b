#pragma once
// The program's application object: an exception that escapes a handler is reported in a
// message box instead of ending the program from inside the event loop.
#include <QApplication>
#include <QString>
#include <functional>

namespace kv4410::ui {

// Runs one event delivery; an exception it throws goes to `report` with a one-line reason, and
// the event counts as not handled.
bool deliverGuarded(const std::function<bool()>& deliver,
                    const std::function<void(const QString&)>& report);

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kv4410::ui
