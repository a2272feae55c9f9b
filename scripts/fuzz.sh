#!/usr/bin/env bash
# Builds the fuzz preset, then runs each parser's fuzz target for SECONDS (default 30) on a copy
# of its seed corpus in fuzz/corpus/ (new inputs go to a scratch folder, never into the repo).
# Target names after SECONDS run only those. Fails on any finding: a crash, a sanitizer report,
# a broken property, a leak or a timeout; the input that found it is kept in
# build/fuzz/findings/TARGET/ and can be replayed with build/fuzz/fuzz/TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
case $seconds in
  '' | *[!0-9]*)
    echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=()
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/$target
  [ -d "fuzz/corpus/$target" ] && [ -x "$binary" ] || {
    echo "fuzz: no target $target (needs fuzz/corpus/$target and a target of that name)" >&2
    exit 2
  }
  corpus=$work/$target/corpus
  artifacts=$work/$target/artifacts
  log=$work/$target/log
  mkdir -p "$corpus" "$artifacts"
  cp -R "fuzz/corpus/$target/." "$corpus/"
  status=0
  "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$runs" ] || runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
    tail -n 60 "$log"
    mkdir -p "build/fuzz/findings/$target"
    cp -R "$artifacts/." "build/fuzz/findings/$target/"
    echo "fuzz: $target: FINDING after ${runs:-?} runs (exit $status), input kept in build/fuzz/findings/$target/"
    failed+=("$target")
  else
    echo "fuzz: $target: ${runs:-?} runs in $seconds s, no findings"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
