#pragma once
// The MEASOUT gain warning box, captioned "ABOUT": shown without blocking whenever a MEASOUT
// gain list selects "MEASOUT GAIN = 1". "OK" clears GAIN1 (bit 7) in sysWord, "Cancel" sets
// it; either shows sysWord in the serial-word field and closes the box; neither sends.
namespace kv4410::ui {

class Session;

// Opens (or raises) the session's one warning box. Returns at once.
void showMeasoutWarning(Session& session);

}  // namespace kv4410::ui
