#include "measure/run_fields.h"

namespace kv4410::measure {

namespace {

constexpr double kFieldLimit = 11.25;
constexpr double kStepLimit = 1000.0;
constexpr const char* kFieldTooLarge =
    "Number too large. Please reenter voltage between -11.25 and +11.25.";
constexpr const char* kStepTooLarge =
    "Number too large. Please reenter voltage between 0 and 1000.";

bool withinField(double volts) {
  return volts >= -kFieldLimit && volts <= kFieldLimit;  // false for NaN
}

}  // namespace

std::optional<Refusal> checkSweepFields(const SweepRequest& request) {
  if (!withinField(request.startVolts)) {
    return Refusal{EntryField::Start, kFieldTooLarge};
  }
  if (!withinField(request.endVolts)) {
    return Refusal{EntryField::End, kFieldTooLarge};
  }
  if (!(request.stepMillivolts >= 0.0 && request.stepMillivolts <= kStepLimit)) {
    return Refusal{EntryField::Step, kStepTooLarge};
  }
  return std::nullopt;
}

std::optional<Refusal> checkForceField(double forceVolts) {
  if (!withinField(forceVolts)) {
    return Refusal{EntryField::Force, kFieldTooLarge};
  }
  return std::nullopt;
}

}  // namespace kv4410::measure
