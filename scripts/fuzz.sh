#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang and runs each one on a copy
# of its committed corpus for 1,000,000 inputs or MURAL_FUZZ_SECONDS seconds,
# whichever comes first, one target at a time. By default the targets share
# 18 minutes (CI's time for fuzzing): 67 s each for 16 targets. Fails on any
# crash, leak, sanitizer report, timeout or out-of-memory; the input that
# caused it is left in $MURAL_FUZZ_OUT (default build-fuzz/findings).
# Extra arguments name the targets to run, e.g. scripts/fuzz.sh result hpgl.
# A longer campaign: MURAL_FUZZ_SECONDS=3600 bash scripts/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."
MURAL_WITH_HP2XX=0 MURAL_WITH_NETCDF_READERS=0 MURAL_WITH_FUZZER=1 bash scripts/setup.sh
build=build-fuzz
out="${MURAL_FUZZ_OUT:-$PWD/$build/findings}"
CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DMURAL_FUZZ=ON -DMURAL_TESTS=OFF >/dev/null
cmake --build "$build"

# Memory a valid file of the target's kind never needs (MB); more is a finding.
declare -A malloc_limit=([hpgl]=256 [style]=256 [palette]=256 [cmdline]=512 [dialogue]=512)
all=(result diffusion obstacle layout isolines raster lesdig_def background
  building superposition cmdline dialogue style palette hpgl netcdf)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
seconds="${MURAL_FUZZ_SECONDS:-$((1080 / ${#all[@]}))}"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
mkdir -p "$out"
status=0
for t in "${targets[@]}"; do
  work="$(mktemp -d)"
  cp -r "fuzz/corpus/$t/." "$work/"
  log="$out/$t.log"
  echo "== fuzz_$t (${seconds} s)"
  if "$build/fuzz/fuzz_$t" -runs=1000000 -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2560 \
      -malloc_limit_mb="${malloc_limit[$t]:-512}" -artifact_prefix="$out/$t-" -print_final_stats=1 \
      "$work" >"$log" 2>&1; then
    grep -E "^stat::number_of_executed_units|^Done" "$log" | tail -n 2
  else
    echo "fuzz_$t FAILED; see $log"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -n 5 || true
    status=1
  fi
  rm -rf "$work"
done
exit $status
