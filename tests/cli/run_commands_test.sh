#!/bin/sh
# End-to-end checks of kv4410ctl sweep and timerun on the simulated board.
# Usage: run_commands_test.sh KV4410CTL CASE
. "$(dirname "$0")/cli_test_lib.sh"

case "$case_name" in
sweep)
  # 0 to 1 V by 250 mV, measure current on 2 mA: five rows, the currents follow V / 5.6 kohm.
  "$ctl" --simulate sweep --start 0 --end 1 --step 250 --measure current >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 0 ] || fail "exit $status"
  [ "$(wc -l <"$work/out")" -eq 7 ] || fail "header, five rows, min and max expected"
  head -n 1 "$work/out" | grep -q "	Measure Current	sample time$" || fail "header"
  grep -qx "$(printf '4\t265128800\t35680\t0.999832153320312\t31831\t2.42851257324219\t0.00017852783203125\t0')" \
    "$work/out" || fail "row of 1 V"
  [ "$(tail -n 1 "$work/out")" = "$(printf '0\t0.0001785278')" ] || fail "min and max"
  # Two channels, 2.5 V reference, CSV with its description.
  "$ctl" --simulate sweep --start 0 --end 1 --step 500 --vref 2.5 --channels 1,2 --csv - \
    >"$work/out" 2>"$work/err" || fail "csv exit"
  grep -qx '# Channels: PMU1 PMU2' "$work/out" || fail "channels comment"
  grep -qx '# VREF: 2.5 V' "$work/out" || fail "vref comment"
  grep -q '^2,114136769,38593,' "$work/out" || fail "last csv row (FIN word on PMU1 and PMU2)"
  ;;
timerun)
  "$ctl" --simulate timerun --force 2 --cycle-delay none --sample-delay 0 >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 0 ] || fail "exit $status"
  [ "$(wc -l <"$work/out")" -eq 103 ] || fail "header, 101 rows, min and max expected"
  grep -q "^100	34734	.*	0.00999999$" "$work/out" || fail "last row and its sample time"
  ;;
refusals)
  "$ctl" --simulate sweep --start 0 --end 11.25 --step 100 >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] || fail "code 65536 must be refused"
  grep -q "needs DAC code 65536" "$work/err" || fail "refusal text"
  "$ctl" --simulate sweep --start 0 --end 12 --step 100 >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] || fail "12 V must be refused"
  "$ctl" --simulate sweep --start 0 --end 1 --step 100 --range 7mA >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] || fail "unknown range"
  # Failed readings are kept in the rows but make the run fail.
  "$ctl" --simulate=fail-after=30 sweep --start 0 --end 1 --step 100 >"$work/out" 2>"$work/err"
  [ $? -eq 1 ] || fail "failed readings must fail the run"
  grep -q "readings failed on the board; last status 3005" "$work/err" || fail "failure text"
  ;;
*)
  echo "unknown case $case_name"
  exit 2
  ;;
esac
