#!/usr/bin/env bash
# Installs the Debian 12 packages this project needs, only when one is missing.
# Works as root or through sudo. Usage: scripts/install-deps.sh [--tests]
set -euo pipefail

packages=(cmake ninja-build g++ qtbase5-dev libqt5sql5-sqlite libqt5serialport5-dev
          libqt5charts5-dev qttools5-dev qttools5-dev-tools)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(socat xvfb xauth x11-utils fonts-wqy-microhei clang libclang-rt-14-dev
               libbenchmark-dev)
fi

if dpkg -s "${packages[@]}" >/dev/null 2>&1; then
    exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${packages[@]}"
