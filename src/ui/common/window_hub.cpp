#include "ui/common/window_hub.h"

#include <algorithm>

namespace kv4410::ui {

WindowHub::~WindowHub() {
  destroyAll();
  for (auto& [id, connection] : destroyedWatch_) {
    QObject::disconnect(connection);
  }
}

void WindowHub::setFactory(WindowId id, Factory factory) {
  factories_[id] = std::move(factory);
}

bool WindowHub::available(WindowId id) const {
  return windows_.count(id) != 0 || (factories_.count(id) != 0 && (!buildGate_ || buildGate_()));
}

bool WindowHub::exists(WindowId id) const {
  return windows_.count(id) != 0;
}

ManagedWindow* WindowHub::window(WindowId id) {
  if (auto found = windows_.find(id); found != windows_.end()) {
    return found->second;
  }
  auto factory = factories_.find(id);
  if (factory == factories_.end() || !factory->second || (buildGate_ && !buildGate_())) {
    return nullptr;
  }
  ManagedWindow* created = factory->second();
  if (created == nullptr) {
    return nullptr;
  }
  // Stored before its start-up runs: a start-up that reaches this window (through another
  // window's start-up) must find it rather than build a second one.
  windows_[id] = created;
  creationOrder_.push_back(id);
  watch(id, created);
  created->widget()->hide();
  created->startUp();
  return created;
}

void WindowHub::show(WindowId id) {
  ManagedWindow* w = window(id);
  if (w == nullptr) {
    return;
  }
  QWidget* widget = w->widget();
  widget->show();
  widget->raise();
  widget->activateWindow();
}

void WindowHub::adopt(WindowId id, ManagedWindow* window) {
  if (window == nullptr) {
    return;
  }
  auto found = windows_.find(id);
  if (found != windows_.end() && found->second == window) {
    return;
  }
  windows_[id] = window;
  watch(id, window);
}

void WindowHub::destroyAll() {
  std::vector<WindowId> order;
  order.swap(creationOrder_);
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    auto found = windows_.find(*it);
    if (found == windows_.end()) {
      continue;
    }
    ManagedWindow* w = found->second;
    forget(*it);
    delete w;
  }
}

void WindowHub::forget(WindowId id) {
  windows_.erase(id);
  if (auto found = destroyedWatch_.find(id); found != destroyedWatch_.end()) {
    QObject::disconnect(found->second);
    destroyedWatch_.erase(found);
  }
  creationOrder_.erase(std::remove(creationOrder_.begin(), creationOrder_.end(), id),
                       creationOrder_.end());
}

void WindowHub::watch(WindowId id, ManagedWindow* window) {
  if (auto found = destroyedWatch_.find(id); found != destroyedWatch_.end()) {
    QObject::disconnect(found->second);
  }
  // A window deleted elsewhere (a test that owns it) leaves the hub.
  destroyedWatch_[id] =
      QObject::connect(window->widget(), &QObject::destroyed, [this, id] { forget(id); });
}

}  // namespace kv4410::ui
