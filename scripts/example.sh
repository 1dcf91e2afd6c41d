#!/usr/bin/env bash
# Builds MURAL and draws the bundled example run (examples/run1.ERG) as a
# vector plot of level 3, with the answers of examples/vektoren.txt, into
# examples/MURAL.PLT; with hp2xx installed also examples/MURAL.png.
# Extra arguments are passed on to mural, e.g. scripts/example.sh /m
set -euo pipefail
cd "$(dirname "$0")/.."
MURAL_WITH_HP2XX=0 bash scripts/setup.sh
cmake -S . -B build -G Ninja -DMURAL_TESTS=OFF >/dev/null
cmake --build build --target mural
cd examples
../build/driver/mural run1 /l:RO "$@" < vektoren.txt
if command -v hp2xx >/dev/null 2>&1; then
  hp2xx -q -m png -f MURAL.png MURAL.PLT && echo "Bild: examples/MURAL.png"
fi
