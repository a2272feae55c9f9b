#pragma once
// The pacing of the voltage sweep and the measurement versus time, as the sweep window's two
// delay lists set it.

namespace kv4410::measure {

// The pacing values of the runs (seconds, single precision). All are 0 until a delay is chosen.
struct RunDelays {
  float settle = 0.0F;     // Ts: from the force word to the ADC reading
  float remainder = 0.0F;  // Tr: from a row to the next step
  float cycle = 0.0F;      // T: added to the sample time of each row

  // "Force/Measure Cycle Delay" item 0 "No Delay" (0.0001 s) .. 5 "500ms": Tr = T = the item's
  // time; Ts is kept. An index outside the list changes nothing.
  void chooseCycle(int cycleIndex);
  // "SAMPLE DELAY" item k (0 "No Delay", 1..9 "1 X".."9 X"): first repeats the cycle choice of
  // `cycleIndex` (the cycle selector's present item), then Ts = T * k / 10 and Tr = T - Ts.
  void chooseSample(int cycleIndex, int k);
};

}  // namespace kv4410::measure
