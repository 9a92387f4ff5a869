#!/usr/bin/env bash
# Builds every benchmark in release and prints one table of times and their
# ratios to each program's floor. Run after the README's test set-up (which
# installs the packages); needs no root. Extra arguments go to the report,
# e.g. --filter registry.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${ZVIT_BENCH_BUILD_DIR:-$PWD/build-bench}"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DZVIT_BUILD_BENCHMARKS=ON \
  -DZVIT_FILES_ROOT="$build/root/" \
  -DZVIT_SKF_LIBRARY="$build/root/usr-lib/libtarnZVITSKF.so" \
  -DZVIT_SYSTEM_ROOT="$build/root/system/" >/dev/null
echo "Building benchmarks in $build ..."
cmake --build "$build" -j "$(nproc)"
cmake --install "$build" >/dev/null
/usr/bin/python3 bench/report.py "$build" "$@"
