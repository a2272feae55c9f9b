#include "ui/common/message_sink.h"

#include <QApplication>
#include <QMessageBox>

namespace kv4410::ui {

void MessageBoxSink::show(MessageIcon icon, const QString& title, const QString& text) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::Warning:
    case MessageIcon::Exclamation:
      boxIcon = QMessageBox::Warning;
      break;
    case MessageIcon::Information:
      boxIcon = QMessageBox::Information;
      break;
    case MessageIcon::None:
      break;
  }
  QMessageBox box(boxIcon, title.isEmpty() ? kProgramTitle : title, text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

}  // namespace kv4410::ui
