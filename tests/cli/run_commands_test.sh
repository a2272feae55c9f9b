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
saving)
  # The old file stays without a board, for a refused run and when the new one cannot be
  # written (status 3, with the reason); a run that lost its board saves what it measured.
  echo 'old rows' >"$work/old.csv"
  chmod 600 "$work/old.csv"
  kept 1 "$work/old.csv" "$ctl" --simulate=noboard sweep --start 0 --end 1 --step 250 \
    --csv "$work/old.csv" || fail "no board"
  kept 2 "$work/old.csv" "$ctl" --simulate sweep --start 1 --end 0 --step 250 \
    --csv "$work/old.csv" || fail "refused run"
  kept 3 "$work/old.csv" limited "$ctl" --simulate timerun --force 1 --csv "$work/old.csv" ||
    fail "write failure"
  "$ctl" --simulate timerun --force 1 --csv "$work/missing/run.csv" >"$work/out" 2>"$work/err"
  [ $? -eq 3 ] && grep -qx "kv4410ctl: results not saved: cannot write '$work/missing/run.csv': No such file or directory" \
    "$work/err" || fail "missing folder"
  mkdir "$work/ro" && cp "$work/old.csv" "$work/ro/" && chmod 555 "$work/ro"
  if [ "$(id -u)" -ne 0 ]; then  # permissions do not stop root
    kept 3 "$work/ro/old.csv" "$ctl" --simulate sweep --start 0 --end 1 --step 250 \
      --csv "$work/ro/old.csv" && grep -q "Permission denied" "$work/err" || fail "read-only"
  fi
  chmod 755 "$work/ro"
  "$ctl" --simulate=fail-after=30 sweep --start 0 --end 1 --step 100 --csv "$work/old.csv" \
    >"$work/out" 2>"$work/err"
  [ $? -eq 1 ] && grep -qx 'kv4410ctl: The board was lost after 8 of 11 readings: 3005 - XFER INCOMPLETE.' \
    "$work/err" || fail "lost board"
  grep -qx '# Ended early: the board was lost after 8 of 11 readings (3005 - XFER INCOMPLETE)' \
    "$work/old.csv" && table "$work/old.csv" 8 || fail "eight rows saved, with the reason"
  # The replaced file keeps its permissions, and no temporary file is left behind.
  [ "$(stat -c %a "$work/old.csv")" = 600 ] && [ "$(ls -A "$work" | grep -c '^\.')" -eq 0 ] ||
    fail "permissions or leftovers"
  ;;
tables)
  # Read with '#' lines skipped, every file holds its rows and nothing more; new files are 644.
  "$ctl" --simulate timerun --force 1 --csv "$work/time.csv" && table "$work/time.csv" 101 &&
    "$ctl" --simulate test --csv "$work/test.csv" >"$work/out" && table "$work/test.csv" 16 &&
    [ "$(stat -c %a "$work/time.csv")" = 644 ] || fail "tables"
  ;;
*)
  echo "unknown case $case_name"
  exit 2
  ;;
esac
