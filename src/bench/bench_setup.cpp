// Opening a saved setup on the bench.
#include "bench/bench.h"
#include "bench/setup_file.h"

namespace kv4410::bench {

std::vector<BoardStep> Bench::setupPlan(const Setup& setup) const {
  return restorePlan(setup.bench);
}

Refusal Bench::applySetup(const Setup& setup) {
  if (Refusal holder = busy()) {
    return holder;
  }
  if (std::optional<std::string> refusal = setupRefusal(setup)) {
    return refusal;
  }
  for (const BoardStep& step : setupPlan(setup)) {
    switch (step.kind) {
      case BoardStep::Kind::ResetChip:
        link_.resetChip();
        break;
      case BoardStep::Kind::Word:
        sender_.SPIout(step.value);
        break;
      case BoardStep::Kind::CFeedforward:
        link_.setCFeedforward(static_cast<std::uint16_t>(step.value));
        break;
      case BoardStep::Kind::CComp:
        link_.setCComp(static_cast<std::uint16_t>(step.value));
        break;
    }
  }
  // The words went out above; the settings only take their values, so that no setter sends its
  // own word again.
  const BenchSnapshot& b = setup.bench;
  words_ = b.words;
  conversion_ = b.conversion;
  sweep_ = b.sweep;
  takeSettings(b.settings);
  return std::nullopt;
}

}  // namespace kv4410::bench
