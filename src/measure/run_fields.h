#pragma once
// The entry fields of the runs and their checks: what the user asked for, which field a
// refusal concerns, and the refusal texts the runs show.
#include <optional>
#include <string>

namespace kv4410::measure {

// What the user asked for. The fields are checked by checkSweepFields / checkTimeFields first.
struct SweepRequest {
  double startVolts = 0.0;
  double endVolts = 0.0;
  double stepMillivolts = 0.0;
};

// Which entry field a refusal concerns (the GUI empties and focuses it). Channels: no channel
// is ticked under PMU CH SELECT. Board: a readback of the preparation failed; the GUI shows the
// message beside the list rather than in a box, as for every other board failure of a run.
enum class EntryField { Start, End, Step, Force, Channels, Board };
struct Refusal {
  EntryField field;
  std::string message;  // shown with the title "Entry Error"
};

// The Enter-key checks of the entry fields, on their numbers: start and end within -11.25 to
// +11.25 ("Number too large. Please reenter voltage between -11.25 and +11.25."), step within
// 0 to 1000 ("Number too large. Please reenter voltage between 0 and 1000."), both ends
// included; NaN and infinities are refused the same way.
std::optional<Refusal> checkSweepFields(const SweepRequest& request);
std::optional<Refusal> checkForceField(double forceVolts);
inline constexpr const char* kNotANumber = "Not a valid number. Please reenter it.";
inline constexpr const char* kEndBelowStart = "End Voltage must be greater than Start Voltage.";

}  // namespace kv4410::measure
