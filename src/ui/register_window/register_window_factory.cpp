#include "ui/register_window/register_window_factory.h"

#include "ui/register_window/register_window.h"

namespace kv4410::ui {

ManagedWindow* createRegisterWindow(Session& session) {
  return new RegisterWindow(session);
}

}  // namespace kv4410::ui
