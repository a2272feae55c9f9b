// The simulated chip: registers and answer layouts, channel selection, /LOAD gating, the DAC
// transfer, forcing into the load, clamps, comparators, alarms and the measure output.
#include "board/simulated_chip.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace kv4410::board {
namespace {

constexpr std::uint32_t kStartupSys = 0x003FE4A0;  // clamps, comparators, gain 0.2, MI gain 10

// Plays a script: hexadecimal serial words separated by blanks, "request=answer" to check the
// answer a read request latches, /LOAD "high", "low" and "pulse", "reset", "T<degC>" for the
// die temperature and "R<ohms>" for the load of PMU0.
void play(SimulatedChip& chip, const std::string& script) {
  std::istringstream in(script);
  for (std::string step; in >> step;) {
    if (step == "high" || step == "low") {
      chip.setLoadHigh(step == "high");
    } else if (step == "pulse") {
      chip.pulseLoad();
    } else if (step == "reset") {
      chip.reset();
    } else if (step[0] == 'T' || step[0] == 'R') {
      const double value = std::stod(step.substr(1));
      step[0] == 'T' ? chip.setDieTemperature(value) : chip.setLoad(0, value);
    } else {
      chip.clockWord(static_cast<std::uint32_t>(std::stoul(step, nullptr, 16)));
      const auto eq = step.find('=');
      if (eq != std::string::npos) {
        EXPECT_EQ(chip.answer(), std::stoul(step.substr(eq + 1), nullptr, 16)) << step;
      }
    }
  }
}

// System control, PMU0 and PMU3 (both temperature flags 1: no alarm), comparator status (mode
// 01, every output 1), alarm status (mode 11, bits 21..4 all 1), offset DAC, FIN x1 levels 0
// and 1, FIN M and C, CLL, CLH, CPL and CPH x1.
const char* const kPowerOn =
    "10000000=000000 11000000=000060 18000000=000060 10400000=7FC000 10C00000=FFFFF0 "
    "1FC00000=C0A492 11C80000=C88000 11C90000=C98000 114D0000=4DFFFF 118D0000=8D8000 "
    "12D40000=D40000 11D50000=D50000 14DD0000=DDFFFF 18E00000=E00000 18ED0000=EDFFFF";

// In order: bits 1..0 of the system register are not kept; no channel bit and a mode other
// than 00 selects no register; PMU answers carry the temperature flags, and CLEAR and bits 5..0
// are not kept; DAC registers answer with their mode and address; the offset DAC is written
// through any channel bit, x1 only; addresses outside the map keep nothing; several channel bits
// write several channels and the lowest one answers; bits 29..31 never reach the chip.
TEST(SimulatedChip, RegistersAnswerInTheirLayoutsAndResetToPowerOn) {
  SimulatedChip chip;
  play(chip, kPowerOn);
  play(chip,
       "003FFFFF 10000000=3FFFFC 003FE4A0 10000000=3FE4A0 00C0FFFF 0040FFFF 0080FFFF 00FFFFFF "
       "10000000=3FE4A0 1FC00000=C0A492 11000000=000060 11C80000=C88000 11480000=48FFFF "
       "11880000=888000 0121B300 11000000=21B360 0821B37F 18000000=21B360 01C8ABCD "
       "11C80000=C8ABCD 024D1234 124D0000=4D1234 04A55555 14A50000=A55555 08DDBEEF "
       "18DD0000=DDBEEF 01C01357 1FC00000=C01357 01401111 1FC00000=C01357 01D0ABCD "
       "11D00000=D00000 01C7ABCD 11C70000=C70000 05C82222 11C80000=C82222 12C80000=C88000 "
       "14C80000=C82222 18C80000=C88000 0AC83333 16C80000=C83333 1CC80000=C82222 "
       "1FC80000=C82222 0F4DAAAA 184D0000=4DAAAA 0421A000 1C000000=21A060 E1C81234 "
       "11C80000=C81234");
  play(chip, std::string("high 01CD2222 reset ") + kPowerOn);
  EXPECT_TRUE(chip.loadHigh()) << "/LOAD is the board's line, not a chip register";
}

// X2 of PMU0 and PMU1 at the voltage-range level of FIN, and of the offset DAC.
std::string outputs(const SimulatedChip& chip) {
  char text[24];
  std::snprintf(text, sizeof text, "%04X %04X %04X", chip.dac(0, 13).output, chip.dac(1, 13).output,
                chip.offsetOutput());
  return text;
}

TEST(SimulatedChip, OutputCodeFollowsGainAndOffsetWhenX1TakesEffectAndLoadAllowsIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"01CD1234", "1234 8000 A492"},                    // defaults: X2 = x1
      {"014D7FFF 01CD8000", "4000 8000 A492"},           // half gain
      {"014D7FFF 018D9000 01CD8000", "5000 8000 A492"},  // plus 0x1000 of offset
      {"018DFFFF 01CDFFFF", "FFFF 8000 A492"},           // limited at the top
      {"018D0000 01CD1000", "0000 8000 A492"},           // limited at the bottom
      {"014D0000 01CDFFFF", "0000 8000 A492"},           // x1 * 1 / 65536 truncates to 0
      {"01CD4000 014D7FFF 018DB000", "4000 8000 A492"},  // gain or offset alone: no change
      {"01CD4000 014D7FFF 018DB000 01CD4000", "5000 8000 A492"},
      // /LOAD high holds x1 updates (the register has them) until a pulse or the low level.
      {"high 03CD1234 01C01111 11CD0000=CD1234", "8000 8000 A492"},
      {"high 03CD1234 01C01111 pulse", "1234 1234 1111"},
      {"high 03CD1234 pulse 01CD4321", "1234 1234 A492"},
      {"high 03CD1234 pulse 014D7FFF pulse", "1234 1234 A492"},  // nothing pending any more
      {"high 03CD1234 pulse 01CD4321 low", "4321 1234 A492"},
      {"high 01CD2222 reset low", "8000 8000 A492"},
  };
  for (const auto& [script, expected] : cases) {
    SimulatedChip chip;
    play(chip, script);
    EXPECT_EQ(outputs(chip), expected) << script;
  }
}

// PMU0 "on", "off" or "clamp", its volts and milliamps into the load, and the volts of the
// measure bus (the mean of the driving measure outputs, 0 V when none drives).
std::string describe(const SimulatedChip& chip) {
  const ChannelState s = chip.channel(0);
  char text[80];
  std::snprintf(text, sizeof text, "%s %.8g V %.8g mA %.8g V",
                s.clamping ? "clamp" : (s.forcing ? "on" : "off"), s.volts, 1000 * s.amps,
                chip.measureBusVolts());
  return text;
}

TEST(SimulatedChip, ChannelZeroForcesIntoItsLoad) {
  const std::pair<const char*, const char*> cases[] = {
      {"0121B300 01CDFFFF", "on 11.249733 V 2.0088809 mA 4.4999313 V"},           // FV
      {"01219300 01CDFFFF", "on 11.249733 V 2.0088809 mA 4.2588656 V"},           // measure I
      {"01219300 01CDFFFF 003FE420", "on 11.249733 V 2.0088809 mA 21.294328 V"},  // gain 1
      {"01219300 01CDFFFF 003FE4E0", "on 11.249733 V 2.0088809 mA 3.2544252 V"},  // MI gain 5
      {"01CDFFFF 0101B300", "off 0 V 0 mA 0 V"},                                  // disabled
      {"01CDFFFF 0121A300", "off 0 V 0 mA 2.2499847 V"},                          // FIN grounded
      {"01CDFFFF 0131B300", "off 0 V 0 mA 2.2499847 V"},  // Hi-Z FOH voltage
      {"R100 0121B300 01DCA000 01CDC000", "clamp 0.05625 V 0.5625 mA 2.2612347 V"},    // CLH
      {"R100 0121B300 01D46000 01CD4000", "clamp -0.05625 V -0.5625 mA 2.2387347 V"},  // CLL
      // Clamps off in the system register: the range's full scale.
      {"R100 0121B300 01D46000 01CD4000 003BE4A0", "on -0.225 V -2.25 mA 2.2049847 V"},
      {"0129B300 01CBB8E4", "on 5.6001709 V 1.0000305 mA 3.3700189 V"},  // FC level 3
      {"0129B300 01CBB8E4 01DDA221", "clamp 2.9996872 V 0.53565843 mA 2.8499222 V"},
      {"01283300 01C8C000", "on 0.01575 V 0.0028125 mA 2.2531347 V"},  // FC 5 uA, level 0
      // FC on the external range: its 100 ohm resistor, level 4.
      {"R100 012A3300 01CCB8E4", "on 0.50001526 V 5.0001526 mA 2.3499878 V"},
      // Above the shutdown temperature of bits 4..3 the output is off, unless bit 5 is 0.
      {"0121B300 01CDFFFF T130", "on 11.249733 V 2.0088809 mA 4.4999313 V"},
      {"0121B300 01CDFFFF T130.5", "off 0 V 0 mA 2.2499847 V"},
      {"003FE4A8 0121B300 01CDFFFF T120", "on 11.249733 V 2.0088809 mA 4.4999313 V"},
      {"003FE4A8 0121B300 01CDFFFF T120.5", "off 0 V 0 mA 2.2499847 V"},
      {"003FE4B8 0121B300 01CDFFFF T100", "on 11.249733 V 2.0088809 mA 4.4999313 V"},
      {"003FE4B8 0121B300 01CDFFFF T100.5", "off 0 V 0 mA 2.2499847 V"},
      {"003FE480 0121B300 01CDFFFF T140", "on 11.249733 V 2.0088809 mA 4.4999313 V"},
      // The temperature sensor (1.5 V at 25 degC, 5 mV per kelvin), with PMU1's 2.25 V, Hi-Z.
      {"0121D300 T45", "on 7.6293945e-05 V 1.3623919e-05 mA 1.6 V"},
      {"0121D300 0221B300 T45", "on 7.6293945e-05 V 1.3623919e-05 mA 1.925 V"},
      {"0321F300", "on 7.6293945e-05 V 1.3623919e-05 mA 0 V"},
      {"", "off 0 V 0 mA 0 V"},
  };
  for (const auto& [script, state] : cases) {
    SimulatedChip chip;
    chip.clockWord(kStartupSys);
    play(chip, script);
    EXPECT_EQ(describe(chip), state) << script;
  }
}

// Comparators: the voltage compared in the window, above CPH (CPOH0 0), below CPL (CPOL0 0);
// the current against the levels of its range; bias off. Clamp alarms: C0 and LC0 while
// clamping, LC0 holding after it, released by CLEAR, none with the clamps off. Temperature:
// TMPALM and LTMPALM above 130 degC, TMPALM clearing below it, CLEAR, and the alarm without a
// shutdown.
TEST(SimulatedChip, StatusRegistersFollowTheChannelAndTheDie) {
  SimulatedChip chip;
  play(chip,
       "003FE4A0 0121B380 01CDFFFF 10400000=7FC000 01ED8000 10400000=6FC000 01E58000 01CD0000 "
       "10400000=5FC000 0121B300 01CDC000 10400000=7FC000 01EB8000 10400000=6FC000 003FC4A0 "
       "10400000=7FC000 reset R100 003FE4A0 0121B300 01DCA000 01CDC000 10C00000=FFF3F0 01CD8000 "
       "10C00000=FFF7F0 0121B340 10C00000=FFFFF0 003BE4A0 01CDC000 10C00000=FFFFF0 01CD8000 "
       "003FE4A0 T131 10C00000=CFFFF0 11000000=21B300 T60 10C00000=DFFFF0 11000000=21B320 "
       "0121B340 10C00000=FFFFF0 003FE480 T140 10C00000=CFFFF0");
}

// PMU0's comparator needs C0 (system bit 14) and COMP (PMU bit 8); a current equal to CPL and
// CPH is neither below nor above them.
TEST(SimulatedChip, ComparatorEnablesAndThresholds) {
  SimulatedChip chip;
  play(chip,
       "003FE4A0 0121B380 01CDFFFF 01ED8000 10400000=6FC000 003FA4A0 10400000=7FC000 "
       "003FE4A0 0121B280 10400000=7FC000 0129B300 01CBB8E4 01E3B8E4 01EBB8E4 10400000=7FC000 "
       "01E3B8E5 10400000=5FC000");
}

}  // namespace
}  // namespace kv4410::board
