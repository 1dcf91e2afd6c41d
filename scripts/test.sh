#!/usr/bin/env bash
# Builds MURAL with its tests, runs the static checker and all the tests.
# MURAL_SANITIZE=ON builds with -fsanitize=address,undefined (as CI does) in
# its own build directory; MURAL_TRZ=OFF builds and tests the evaluation build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
sanitize="${MURAL_SANITIZE:-OFF}"
trz="${MURAL_TRZ:-ON}"
build=build
[ "$sanitize" = ON ] && build=build-sanitize
# MURAL_TRZ=OFF: the evaluation build (comparison, flux, superposition).
[ "$trz" = OFF ] && build="$build-evaluation"
cmake -S . -B "$build" -G Ninja -DMURAL_TESTS=ON -DMURAL_SANITIZE="$sanitize" -DMURAL_TRZ="$trz" >/dev/null
cmake --build "$build"
# The static checker over the whole tree: any finding fails the run.
cppcheck -q --std=c++20 --language=c++ --library=googletest --enable=warning,portability,performance \
  --suppress=missingIncludeSystem --error-exitcode=1 -j2 -I . -I tests/support \
  atlas bench contour driver erg2nc evaluation flowplots fuzz mapelements platform preview resultfile tests tools velin
# No function over 100 lines.
python3 scripts/function_lengths.py 100 \
  atlas bench contour driver erg2nc evaluation flowplots fuzz mapelements platform preview resultfile tests tools velin
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build" --output-on-failure -j2
