#pragma once
// Renders every window of the program and every page of its page controls to PNG files.
#include <QString>
#include <QStringList>
#include <functional>

namespace kv4410::ui {
class Session;
}

namespace kv4410::app {

// Writes one PNG per window and per page (nested page controls included) into `directory`,
// named <window>_<page>_<caption>.png, then runs a sweep and a time run in the sweep window from
// the event loop and shoots the window after each. `done` gets the files written and an error
// text (empty on success; set when the directory or a file cannot be written).
using ScreenshotsDone = std::function<void(const QStringList& files, const QString& error)>;
void writeScreenshots(ui::Session& session, const QString& directory, ScreenshotsDone done);

}  // namespace kv4410::app
