#pragma once
// Builds the PMU control window ("KV4410 PMU Controls"); the hub runs its start-up.
namespace kv4410::ui {

class ManagedWindow;
class Session;

ManagedWindow* createPmuControlWindow(Session& session);

}  // namespace kv4410::ui
