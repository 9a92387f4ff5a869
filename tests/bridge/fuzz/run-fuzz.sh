#!/usr/bin/env bash
# Builds the bridge fuzz target with clang and runs it for a while.
# The SKF stand-in is a second artifact built with the same sanitizer runtime,
# which is why this target has a small project of its own.
# Usage: run-fuzz.sh SOURCE_DIR BUILD_DIR SECONDS CERT_DER [CLANGXX]
set -euo pipefail
src="${1:?source dir}"
build="${2:?build dir}"
seconds="${3:-60}"
cert="${4:?certificate fixture}"
cxx="${5:-clang++}"
here="$src/tests/bridge/fuzz"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Debug \
  -DZVIT_SOURCE_DIR="$src" >/dev/null
cmake --build "$build" -j 2
corpus="$build/corpus"
rm -rf "$corpus" "$build/crashes"
mkdir -p "$corpus" "$build/crashes"
cp "$here"/seeds/* "$corpus"/
cd "$build"
export ZVIT_FUZZ_CERT="$cert"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
exec ./bridge_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=30 -rss_limit_mb=4096 \
  -print_final_stats=1 -artifact_prefix="$build/crashes/" -dict="$here/bridge.dict" "$corpus"
