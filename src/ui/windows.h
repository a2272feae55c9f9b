#pragma once
// Registers a factory for every window kind the program has with the session's hub.
namespace kv4410::ui {

class Session;

void registerWindows(Session& session);

}  // namespace kv4410::ui
