#!/usr/bin/env bash
# Renders every window on the simulated board and copies the README's pictures into
# docs/images. Usage: readme-images.sh [PROGRAM] (default: the release build's kv4410).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/release/src/app/kv4410}
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
QT_QPA_PLATFORM=offscreen "$program" --simulate --screenshots "$shots" >/dev/null
while read -r shot image; do
  cp "$shots/$shot.png" "docs/images/$image.png"
done <<'LIST'
frmMain_00_WRITE_SYSTEM_CONTROL_REG main_window
frmPMU pmu_control
Form2_after_sweep sweep
Form2_after_time_run time_run
Form2_run_history run_history
Form6_PASS test_procedure
frmTraffic traffic
LIST
echo "README images updated from $program"
