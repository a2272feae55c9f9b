#pragma once
// Builds the register window ("KV4410 Evaluation Board Software"); the hub runs its start-up.
namespace kv4410::ui {

class ManagedWindow;
class Session;

ManagedWindow* createRegisterWindow(Session& session);

}  // namespace kv4410::ui
