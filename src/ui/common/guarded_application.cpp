#include "ui/common/guarded_application.h"

#include <QMessageBox>
#include <exception>

#include "ui/common/message_sink.h"

namespace kv4410::ui {

bool deliverGuarded(const std::function<bool()>& deliver,
                    const std::function<void(const QString&)>& report) {
  try {
    return deliver();
  } catch (const std::exception& e) {
    report(QStringLiteral("An internal error stopped this action: %1")
               .arg(QString::fromUtf8(e.what())));
  } catch (...) {
    report(QStringLiteral("An internal error stopped this action."));
  }
  return false;
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  return deliverGuarded(
      [&] { return QApplication::notify(receiver, event); },
      [](const QString& text) { QMessageBox::critical(nullptr, kProgramTitle, text); });
}

}  // namespace kv4410::ui
