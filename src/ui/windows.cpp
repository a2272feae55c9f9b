#include "ui/windows.h"

#include "ui/about/about_window.h"
#include "ui/common/session.h"
#include "ui/pmu_control/pmu_control_factory.h"
#include "ui/register_window/register_window_factory.h"
#include "ui/sweeps/sweep_window.h"
#include "ui/test_procedure/test_procedure_window.h"
#include "ui/traffic/traffic_window.h"

namespace kv4410::ui {

void registerWindows(Session& session) {
  session.hub().setFactory(WindowId::Register,
                           [&session] { return createRegisterWindow(session); });
  session.hub().setFactory(WindowId::PmuControl,
                           [&session] { return createPmuControlWindow(session); });
  session.hub().setFactory(WindowId::Sweep, [&session] { return new SweepWindow(session); });
  session.hub().setFactory(WindowId::About, [&session] { return new AboutWindow(session); });
  session.hub().setFactory(WindowId::TestProcedure,
                           [&session] { return new TestProcedureWindow(session); });
  session.hub().setFactory(WindowId::Traffic, [&session] { return new TrafficWindow(session); });
}

}  // namespace kv4410::ui
