#!/bin/sh
# End-to-end checks of kv4410ctl's board commands on the simulated board; case options checks
# --version, --help and unknown options of PROGRAM (kv4410ctl or kv4410) without a display.
# Usage: board_commands_test.sh PROGRAM CASE [VERSION]
. "$(dirname "$0")/cli_test_lib.sh"

# run STDIN-TEXT ARGS...: runs kv4410ctl, keeps stdout, stderr and the exit status.
run() {
  input=$1
  shift
  printf '%b' "$input" | "$ctl" "$@" >"$work/out" 2>"$work/err"
  status=$?
}

case "$case_name" in
readback)
  run 'write 0FC8ABCD\nread dac 0 FIN 0 x1\n' --simulate exec -
  [ "$status" -eq 0 ] || fail "exit $status"
  [ "$(cat "$work/out")" = "$(printf 'C8ABCD\ncode ABCD')" ] || fail "unexpected output"
  [ ! -s "$work/err" ] || fail "unexpected messages"
  ;;
noboard)
  run '' --simulate=noboard adc
  [ "$status" -eq 1 ] || fail "exit $status"
  [ ! -s "$work/out" ] || fail "no reading expected"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "exactly one message expected"
  grep -q 'No Evaluation Board Found' "$work/err" || fail "no-board message missing"
  ;;
usage)
  run '' --simulate read dac 0 CLL 0 x1
  [ "$status" -eq 2 ] || fail "level 0 of CLL: exit $status"
  run '' --simulate=bogus adc
  [ "$status" -eq 2 ] || fail "unknown simulate option: exit $status"
  grep -q 'bogus' "$work/err" || fail "the refused option is not named"
  run 'write 1\nfrobnicate\n' --simulate exec -
  [ "$status" -eq 2 ] || fail "bad script line: exit $status"
  grep -q 'line 2' "$work/err" || fail "the bad line is not named"
  ;;
measure)
  # Channel 0 forces full scale into the default 5.6 kohm and measures its voltage with gain
  # 0.2: about 4.5 V, inside the automated test's 4.4 V to 4.6 V.
  run 'write 003FE4A0 0121B300 01CDFFFF\nadc --count 3\n' --simulate exec -
  [ "$status" -eq 0 ] || fail "exit $status"
  [ "$(wc -l <"$work/out")" -eq 3 ] || fail "three readings expected"
  awk '{ if ($2 < 57672 || $2 > 60293) exit 1 }' "$work/out" || fail "reading outside the limits"
  ;;
stops)
  # fail-after=2: request 224 of the start-up and the first word pass, the second word fails.
  run 'write 1\nwrite 2\nwrite 3\n' --simulate=fail-after=2 exec -
  [ "$status" -eq 1 ] || fail "exit $status"
  grep -q '3005 - XFER INCOMPLETE' "$work/err" || fail "status message missing"
  grep -q 'line 2' "$work/err" || fail "the failing line is not named"
  ;;
trace)
  run 'write 0F21B300\nread sys\n' --simulate=load=1000 --trace "$work/trace" exec -
  [ "$status" -eq 0 ] || fail "exit $status"
  grep -qx 'request 221 value=B300 index=0F21 out len=0 status=0' "$work/trace" ||
    fail "write missing from the trace"
  grep -qx 'request 221 value=0000 index=0000 in len=3 data=00 00 00 status=0' "$work/trace" ||
    fail "readback missing from the trace"
  [ "$(wc -l <"$work/trace")" -eq 7 ] || fail "7 trace lines expected"
  run 'read comp\nread alarm\nread offset\n' --simulate --trace "$work/reads" exec -
  [ "$(sed -n 's/^request 221 value=0000 index=\(....\) out.*/\1/p' "$work/reads" | tr '\n' ' ')" = \
    "1040 10C0 1FC0 " ] || fail "read requests of comp, alarm and offset"
  ;;
script)
  # A directory or a missing file is refused with one line naming it; so is a directory given
  # as standard input. Comments may follow a command; keywords take any case.
  for file in "$work" "$work/missing"; do
    run '' --simulate exec "$file"
    [ "$status" -eq 2 ] || fail "exec $file: exit $status"
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qF "$file'" "$work/err" || fail "$file not named"
  done
  grep -q 'No such file or directory' "$work/err" || fail "no reason given"
  "$ctl" --simulate exec - <"$work" >"$work/out" 2>"$work/err"
  [ $? -eq 2 ] && grep -q "standard input.*Is a directory" "$work/err" || fail "stdin directory"
  run '# whole line\nWrite 0FC8ABCD # x1 FIN\nREAD Dac 0 fin 0 X1 #\nLoad HIGH\nccomp 1NF\n' \
    --simulate exec -
  [ "$status" -eq 0 ] || fail "exit $status"
  [ "$(cat "$work/out")" = "$(printf 'C8ABCD\ncode ABCD')" ] || fail "unexpected output"
  run '' --simulate READ Sys
  [ "$status" -eq 0 ] || fail "READ Sys: exit $status"
  ;;
convert)
  # The ends of a range whose code would be one past the codes that exist are told so; levels
  # beyond the range keep the range message.
  for args in "--volts 11.25|11.25 V needs FIN DAC code 65536 (0x10000); the codes are 0 to 65535" \
    "--volts -11.2504|-11.2504 V needs FIN DAC code -1; the codes are 0 to 65535 (0x0000 to" \
    "--current 2.25 --range 2mA|2.25 mA needs FIN DAC code 65536 (0x10000); the codes are 0" \
    "--volts 11.2506|11.2506 V is outside the range -11.250 to 11.250 V" \
    "--current -2.2506 --range 2mA|-2.2506 mA is outside the range -02.250 to 02.250 mA"; do
    # shellcheck disable=SC2086
    run '' convert ${args%%|*}
    [ "$status" -eq 2 ] || fail "convert ${args%%|*}: exit $status"
    grep -qF -- "${args#*|}" "$work/err" || fail "convert ${args%%|*}: message"
  done
  run '' convert --current -2.25 --range 2mA
  [ "$status" -eq 0 ] && grep -q 'code    0000' "$work/out" || fail "Z/S of 2mA not code 0"
  ;;
adcvref)
  # The simulated board's 2.5 V reference scales the reading unless --vref says otherwise; a
  # line's own --vref comes before the script's.
  setup='write 003FE4A0 0121B300 01CDFFFF\n'
  for args in "adc|--simulate=vref=2.5|2.249985" "adc|--simulate=vref=2.5 exec --vref 5|4.499969" \
    "adc --vref 2.5|--simulate|2.249985" "adc --vref 2.5|--simulate exec --vref 5|2.249985" \
    "adc --vref 5|--simulate=vref=2.5|4.499969" "adc|--simulate exec --vref 2.5|2.249985"; do
    line=${args%%|*} rest=${args#*|}
    case $rest in *exec*) tail=- ;; *) tail='exec -' ;; esac
    # shellcheck disable=SC2086
    run "$setup$line\n" ${rest%|*} $tail
    [ "$status" -eq 0 ] || fail "$args: exit $status"
    [ "$(cat "$work/out")" = "E666 58982 ${rest##*|} V" ] || fail "$args: reading"
  done
  for args in "adc --vref 3" "exec --vref 1 -" "adc --vref x"; do
    # shellcheck disable=SC2086
    run '' --simulate $args
    [ "$status" -eq 2 ] && grep -q 'vref' "$work/err" || fail "$args: exit $status"
  done
  ;;
options)
  # Without a display too: kv4410 answers these before it starts its application.
  name=$(basename "$ctl")
  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
  run '' --version
  [ "$status" -eq 0 ] && [ "$(cat "$work/out")" = "$name $3" ] || fail "--version"
  run '' --help
  [ "$status" -eq 0 ] && grep -q -- '--firmware' "$work/out" && grep -q -- '--board' "$work/out" ||
    fail "--help"
  for platform in '' offscreen; do
    export QT_QPA_PLATFORM="$platform"
    for arg in --bogus stray; do
      run '' "$arg"
      [ "$status" -eq 2 ] && grep -q -- "${arg#--}" "$work/err" || fail "$arg ($platform)"
    done
  done
  ;;
list)
  run '' --simulate list
  [ "$status" -eq 0 ] && [ "$(sed -n '2s/ .*//p' "$work/out")" = simulated ] &&
    [ "$(wc -l <"$work/out")" -eq 2 ] || fail "the simulated board is not listed"
  run '' --simulate=noboard list
  [ "$status" -eq 1 ] && grep -q 'No Evaluation Board Found' "$work/err" || fail "no board: $status"
  # --board takes BUS-PORT and names a USB board only.
  run '' --board 1-x adc
  [ "$status" -eq 2 ] && grep -q "'1-x' is not a USB location" "$work/err" || fail "--board 1-x"
  run '' --simulate --board 1-4 adc
  [ "$status" -eq 2 ] && grep -q 'cannot be combined with --simulate' "$work/err" ||
    fail "--board with --simulate"
  ;;
firmware)
  # A missing firmware file is followed by every place it was looked for, in order.
  run '' --simulate=firmware=missing adc
  said='kv4410ctl: firmware file looked for at:' dir=$(cd "$(dirname "$ctl")" && pwd -P)
  [ "$status" -eq 1 ] && grep -qx "$said $dir/KV4410SPI.hex, /.*/kv4410/KV4410SPI.hex" "$work/err" ||
    fail "the places looked at are not named"
  run '' --simulate=firmware=missing --firmware "$work/other.hex" adc
  grep -qx "$said $work/other.hex" "$work/err" || fail "--firmware"
  ;;
*)
  echo "unknown case $case_name"
  exit 1
  ;;
esac
echo "PASS ($case_name)"
