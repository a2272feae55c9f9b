#pragma once
// Renders every window of the program and every page of its page controls to PNG files.
#include <QString>
#include <QStringList>

namespace kv4410::ui {
class Session;
}

namespace kv4410::app {

// Writes one PNG per window and per page (nested page controls included) into `directory`,
// named <window>_<page>_<caption>.png. Returns the files written; `error` is set when the
// directory cannot be made or a file cannot be written.
QStringList writeScreenshots(ui::Session& session, const QString& directory, QString& error);

}  // namespace kv4410::app
