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

# kept STATUS FILE COMMAND...: COMMAND exits with STATUS and leaves FILE holding 'old rows'.
kept() {
  want=$1 file=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  [ $? -eq "$want" ] && [ "$(cat "$file")" = 'old rows' ]
}
# limited COMMAND...: COMMAND that can write no file (a limit that stops root too).
limited() { (ulimit -f 0; trap '' XFSZ; exec "$@"); }

# table FILE ROWS: with '#' lines skipped, FILE is a header and ROWS rows of as many fields.
table() {
  /usr/bin/python3 -c 'import csv, sys
r = list(csv.reader(l for l in open(sys.argv[1]) if l[0] != "#"))
sys.exit(len(r) != int(sys.argv[2]) + 1 or any(len(x) != len(r[0]) for x in r))' "$1" "$2"
}
