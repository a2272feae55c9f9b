#pragma once
// What the register window offers the page classes it embeds.
#include <QString>

namespace kv4410::ui {

class Session;

class RegisterWindowContext {
 public:
  virtual ~RegisterWindowContext() = default;
  virtual Session& session() = 0;
  // The read-only result field of the window's "READ" frame (`lblREADSPI`).
  virtual void showReadField(const QString& text) = 0;
};

}  // namespace kv4410::ui
