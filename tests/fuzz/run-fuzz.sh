#!/usr/bin/env bash
# Builds one libFuzzer target with clang (ASan + UBSan) and runs it for a
# fixed time on a fresh copy of its seed corpus.
# Usage: run-fuzz.sh NAME WORKDIR SEEDDIR SEEDGLOB SECONDS CLANGXX -- compiler arguments...
set -euo pipefail
name="$1" work="$2" seeds="$3" glob="$4" seconds="$5" cxx="$6"
shift 6
[ "${1:-}" = "--" ] && shift

mkdir -p "$work"
"$cxx" -std=c++17 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$@" -o "$work/$name"

corpus="$work/corpus"
rm -rf "$corpus" "$work/crashes"
mkdir -p "$corpus" "$work/crashes"
shopt -s nullglob
seedFiles=("$seeds"/$glob)
if [ "${#seedFiles[@]}" -eq 0 ]; then
  echo "no seeds matching $glob in $seeds" >&2
  exit 1
fi
cp "${seedFiles[@]}" "$corpus"/

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
exec "$work/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -print_final_stats=1 -artifact_prefix="$work/crashes/" "$corpus"
