#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test MURAL:
# compiler, CMake, Ninja, GoogleTest, cairo, and hp2xx for looking at plots.
set -euo pipefail

missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/include/cairo/cairo.h ] || missing+=(libcairo2-dev)
if [ "${MURAL_WITH_HP2XX:-1}" = 1 ]; then
  command -v hp2xx >/dev/null || missing+=(hp2xx)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
    { $SUDO apt-get update >/dev/null && $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; }
fi
