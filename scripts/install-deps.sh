#!/usr/bin/env bash
# Installs everything the build, the tests, the screenshots and the package need on Debian 12.
# Idempotent: when every package is already there it prints nothing and touches nothing.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
  libgl-dev
  libusb-1.0-0-dev umockdev libumockdev-dev
  libcli11-dev nlohmann-json3-dev xvfb xauth
  dpkg-dev help2man lintian
  pybind11-dev python3-dev python3-numpy python3-pytest python3-pandas
  python3-nbclient python3-ipykernel python3-matplotlib
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
