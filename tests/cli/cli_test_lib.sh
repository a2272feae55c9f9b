# Shared start of the kv4410ctl end-to-end checks (sourced, not run): takes KV4410CTL and CASE
# from the arguments, makes a work folder removed at exit, and defines fail().
set -u
ctl=$1
case_name=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL ($case_name): $*"
  echo "--- stdout"; cat "$work/out"
  echo "--- stderr"; cat "$work/err"
  exit 1
}
