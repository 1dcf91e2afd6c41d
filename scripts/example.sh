#!/usr/bin/env bash
# Builds MURAL and draws the bundled example run (examples/run1.ERG) as a
# vector plot of level 3, with the answers of examples/vektoren.txt, into
# examples/MURAL.PLT, and the picture examples/MURAL.png drawn by MURAL itself.
# Extra arguments are passed on to mural, e.g. scripts/example.sh /m
set -euo pipefail
cd "$(dirname "$0")/.."
MURAL_WITH_HP2XX=0 bash scripts/setup.sh
cmake -S . -B build -G Ninja -DMURAL_TESTS=OFF >/dev/null
cmake --build build --target mural
cd examples
../build/driver/mural run1 /l:RO /g=png "$@" < vektoren.txt
