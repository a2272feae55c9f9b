#!/usr/bin/env bash
# Checks that `kv4410 --screenshots DIR` wrote a non-empty PNG for every window and page.
set -euo pipefail
dir=${1:?usage: check-screenshots.sh DIR}
expected=(
  frmMain_00_WRITE_SYSTEM_CONTROL_REG
  frmMain_01_WRITE_PMU_REG
  frmMain_02_WRITE_DAC_REG_00_FIN_DAC
  frmMain_02_WRITE_DAC_REG_01_CLL_CLH_DACs
  frmMain_02_WRITE_DAC_REG_02_CPL_CPH_DACs
  frmMain_03_COMPENSATION_SELECTION
  frmMain_04_ABOUT
  frmMain_05_READ_SYSTEM_CONTROL_REG
  frmMain_06_READ_PMU_REG
  frmMain_07_READ_DAC_REG
  frmMain_08_READ_STATUS_REG
  frmMain_09_LITTLE_ROUTINES_00_SETTLING_TIME_TRANSITIONS
  frmMain_09_LITTLE_ROUTINES_01_RANGE_CHANGE_TRANSITIONS
  frmPMU
  Form2_00_SWEEP_V_MI_MV
  Form2_01_MEASURE_VOLTAGE_CURRENT_VERSUS_TIME
  Form2_after_sweep
  Form2_after_time_run
  Form6
  Form6_PASS
  Form6_FAILURE
  frmAbout
  frmTraffic
  frmMeasoutWarning
)
missing=0
for name in "${expected[@]}"; do
  file="$dir/$name.png"
  if [ ! -s "$file" ] || [ "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "screenshot missing or not a PNG: $file" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] && echo "screenshots: all ${#expected[@]} windows and pages written"
exit "$missing"
