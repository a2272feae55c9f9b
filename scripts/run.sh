#!/usr/bin/env bash
# Installs what is missing, builds the release program and starts it on the simulated board.
# Arguments go to the program (for example --screenshots DIR, which renders every window and
# returns). KV4410_WERROR=ON makes warnings errors in this build too, as CI does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release -DKV4410_WERROR="${KV4410_WERROR:-OFF}" >/dev/null
cmake --build --preset release
exec ./build/release/src/app/kv4410 --simulate "$@"
