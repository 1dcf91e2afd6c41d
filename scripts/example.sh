#!/usr/bin/env bash
# Builds MURAL and runs it on the bundled example run (examples/run1.ERG).
# Extra arguments are passed on to mural, e.g. scripts/example.sh /de
set -euo pipefail
cd "$(dirname "$0")/.."
MURAL_WITH_HP2XX=0 bash scripts/setup.sh
cmake -S . -B build -G Ninja -DMURAL_TESTS=OFF >/dev/null
cmake --build build --target mural
cd examples
exec ../build/driver/mural run1 "$@"
