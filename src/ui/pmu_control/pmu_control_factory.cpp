#include "ui/pmu_control/pmu_control_factory.h"

#include "ui/pmu_control/pmu_control_window.h"

namespace kv4410::ui {

ManagedWindow* createPmuControlWindow(Session& session) {
  return new PmuControlWindow(session);
}

}  // namespace kv4410::ui
