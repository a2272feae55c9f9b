#pragma once
// Where the windows' message boxes go. The program shows real message boxes; tests may record
// them instead.
#include <QString>

namespace kv4410::ui {

enum class MessageIcon { None, Warning, Exclamation, Information };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // A message box with one OK button; returns when it is closed.
  virtual void show(MessageIcon icon, const QString& title, const QString& text) = 0;
};

// Shows modal QMessageBox dialogs (exclamation and warning both use the warning icon).
class MessageBoxSink : public MessageSink {
 public:
  void show(MessageIcon icon, const QString& title, const QString& text) override;
};

// The program title used by message boxes without a title of their own.
inline const QString kProgramTitle = QStringLiteral("KV4410");

}  // namespace kv4410::ui
