#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test in the dev and the asan preset, and
# the Python module's tests (pytest) against the dev build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in dev asan; do
  echo "== preset $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  if [ "$preset" = dev ]; then
    echo "== pytest (dev)"
    # Debian's interpreter, which the module is built for; no byte code or cache in the checkout.
    status=0
    PYTHONPATH=build/dev/python KV4410CTL=build/dev/src/cli/kv4410ctl PYTHONDONTWRITEBYTECODE=1 \
      /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests || status=$?
    # Status 5 means no test was collected: the tests went missing, which fails as well.
    if [ "$status" -eq 5 ]; then
      echo "pytest collected no test in python/tests"
    fi
    [ "$status" -eq 0 ] || exit 1
  fi
done
