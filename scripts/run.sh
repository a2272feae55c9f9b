#!/usr/bin/env bash
# Installs what is missing, builds the release program and starts it on the simulated board.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec ./build/release/src/app/kv4410 --simulate "$@"
