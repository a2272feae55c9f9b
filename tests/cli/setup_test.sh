#!/bin/sh
# End-to-end checks of kv4410ctl's setup files on the simulated board.
# Usage: setup_test.sh KV4410CTL CASE
. "$(dirname "$0")/cli_test_lib.sh"

# words TRACE: the register and switch requests of a trace as "219", "W 0F21B300", "229=1".
words() {
  awk '$1 == "request" && $2 != 224 { v = substr($3, 7); i = substr($4, 7)
    if ($2 == 221) print "W " i v; else if ($2 == 219) print 219; else print $2 "=" v + 0 }' "$1"
}
startup_words='219
W 003FE4A0
W 0F21B300
229=1
228=1'

case "$case_name" in
roundtrip)
  # The state after the connection, saved and opened again: its words printed, then sent.
  "$ctl" --simulate setup save "$work/s.json" >"$work/out" 2>"$work/err" || fail "save"
  grep -q '"pmuWord": "0x0F21B300"' "$work/s.json" || fail "saved PMU word"
  "$ctl" --simulate --trace "$work/t" setup load "$work/s.json" >"$work/out" 2>"$work/err" ||
    fail "load"
  [ "$(cat "$work/out")" = "$startup_words" ] || fail "printed plan"
  [ "$(words "$work/t")" = "$startup_words" ] || fail "sent words"
  ;;
option)
  # --setup opens the file before the command; a run then keeps its range and channels.
  "$ctl" --simulate setup save "$work/s.json" >"$work/out" 2>"$work/err" || fail "save"
  sed -i 's/"currentRange": 3/"currentRange": 1/; s/"sweepChannels": 15/"sweepChannels": 5/' \
    "$work/s.json"
  "$ctl" --simulate --trace "$work/t" --setup "$work/s.json" sweep --start 0 --end 1 --step 500 \
    --csv - >"$work/out" 2>"$work/err" || fail "sweep"
  [ "$(words "$work/t" | head -n 5)" = "$startup_words" ] || fail "setup words first"
  grep -qx '# Current range: 20uA' "$work/out" && grep -qx '# Channels: PMU0 PMU2' "$work/out" ||
    fail "range and channels of the setup"
  ;;
refused)
  # A refused file exits 2, names its first bad entry and sends nothing.
  "$ctl" --simulate setup save "$work/s.json" >"$work/out" 2>"$work/err" || fail "save"
  sed -i 's/"thermal": 2/"thermal": 7/' "$work/s.json"
  "$ctl" --simulate --trace "$work/t" setup load "$work/s.json" >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] && [ ! -s "$work/out" ] && [ ! -e "$work/t" ] || fail "refused load"
  grep -qx "kv4410ctl: $work/s.json: settings.thermal: 7 is not one of 0..5" "$work/err" ||
    fail "refusal text"
  "$ctl" --simulate --trace "$work/t" --setup "$work/s.json" adc >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] && [ ! -e "$work/t" ] || fail "refused --setup"
  ;;
csv)
  # A sweep's CSV file starts with its setup, stays a table and opens as that setup.
  "$ctl" --simulate sweep --start 0 --end 1 --step 250 --range 200uA --csv "$work/run.csv" \
    >"$work/out" 2>"$work/err" || fail "sweep"
  head -n 1 "$work/run.csv" | grep -q '^# setup: {"format":1,' && table "$work/run.csv" 5 ||
    fail "setup line or table"
  "$ctl" --simulate setup load "$work/run.csv" >"$work/out" 2>"$work/err" || fail "load"
  [ "$(sed -n 3p "$work/out")" = "W 0F213300" ] || fail "PMU word of 200uA"
  ;;
*)
  echo "unknown case $case_name"
  exit 2
  ;;
esac
