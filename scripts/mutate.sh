#!/usr/bin/env bash
# Mutation testing of src/device, src/board and src/measure against their tests, niced so that
# it shares the machine; the options are mutate.py's (--help).
set -euo pipefail
cd "$(dirname "$0")/.."
exec nice python3 scripts/mutate.py "$@"
