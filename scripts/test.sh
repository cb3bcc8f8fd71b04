#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: a plain build
# and one with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
echo "== format"
bash scripts/lint.sh
jobs=$(nproc)

echo "== build (plain)"
bash scripts/build.sh build
echo "== tests (plain)"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build (sanitizers)"
bash scripts/build.sh build-asan -DZUB_SANITIZE=ON -DZUB_BUILD_BENCH=OFF
echo "== tests (sanitizers)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build-asan --output-on-failure -j"$jobs"
