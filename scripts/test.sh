#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and runs the whole test suite in
# one AddressSanitizer + UndefinedBehaviorSanitizer build. Needs no /opt: the
# build installs into its own root under build-test/root/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${ZVIT_SKIP_APT:-0}" != 1 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root to install the build packages, or set ZVIT_SKIP_APT=1 when they are present." >&2
    exit 1
  fi
  ./scripts/install-deps.sh
fi

build="${ZVIT_BUILD_DIR:-$PWD/build-test}"
jobs="$(nproc)"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DZVIT_SANITIZE=ON \
  -DZVIT_BUILD_BENCHMARKS=ON \
  -DZVIT_FILES_ROOT="$build/root/" \
  -DZVIT_SKF_LIBRARY="$build/root/usr-lib/libtarnZVITSKF.so" \
  -DZVIT_SYSTEM_ROOT="$build/root/system/"
cmake --build "$build" -j "$jobs"
cd "$build"
# No rerun: a test that fails only now and then is a fault to fix, not to absorb.
ctest --output-on-failure -j "$jobs" "$@"
