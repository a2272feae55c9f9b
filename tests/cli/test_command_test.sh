#!/bin/sh
# End-to-end checks of kv4410ctl test on the simulated board.
# Usage: test_command_test.sh KV4410CTL CASE
. "$(dirname "$0")/cli_test_lib.sh"

case "$case_name" in
pass)
  "$ctl" --simulate test --csv "$work/rows.csv" >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 0 ] || fail "exit $status"
  [ "$(wc -l <"$work/out")" -eq 49 ] || fail "49 lines expected"
  [ "$(head -n 1 "$work/out")" = "$(printf '4187296\t253883136')" ] || fail "first line"
  [ "$(grep -c '^----------PASS-----------$' "$work/out")" -eq 16 ] || fail "16 PASS lines"
  [ "$(wc -l <"$work/rows.csv")" -eq 17 ] || fail "a header and 16 rows expected"
  grep -qx 'PMU3,4,3160,-0.002008911,-0.0022,-0.0019,PASS,' "$work/rows.csv" || fail "last row"
  ;;
fail)
  # 9 kohm on PMU2 draws too little current: its two current checks fail.
  "$ctl" --simulate=load2=9000 test >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 1 ] || fail "exit $status"
  [ "$(grep -c 'FAILURE' "$work/out")" -eq 2 ] || fail "two failure banners expected"
  "$ctl" --simulate=load2=9000 test --csv - >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 1 ] || fail "exit $status"
  [ "$(grep -c ',FAILURE,' "$work/out")" -eq 2 ] || fail "two failing rows expected"
  grep -q '^PMU2,3,.*,FAILURE,$' "$work/out" || fail "PMU2 check 3 should fail"
  "$ctl" --simulate test --bogus >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 2 ] || fail "unknown option: exit $status"
  ;;
unsaved)
  # A PASS whose readings cannot be saved exits 3, the verdict printed; 3 outranks a FAILURE too.
  "$ctl" --simulate test --csv "$work/missing/rows.csv" >"$work/out" 2>"$work/err"
  [ $? -eq 3 ] && [ "$(grep -c '^----------PASS-----------$' "$work/out")" -eq 16 ] &&
    grep -q "results not saved: cannot write '$work/missing/rows.csv'" "$work/err" || fail "PASS"
  echo 'old rows' >"$work/old.csv"
  kept 3 "$work/old.csv" limited "$ctl" --simulate=load2=9000 test --csv "$work/old.csv" ||
    fail "failed write after a FAILURE"
  ;;
*)
  echo "unknown case $case_name"
  exit 2
  ;;
esac
