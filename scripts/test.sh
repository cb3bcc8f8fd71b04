#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: a plain build
# and one with AddressSanitizer and UndefinedBehaviorSanitizer. Prints the
# time of each phase at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
phases=()
started=$(date +%s)
phase() {
  local name=$1 t0
  shift
  echo "== $name"
  t0=$(date +%s)
  "$@"
  phases+=("$(printf '%-20s %4ds' "$name" $(($(date +%s) - t0)))")
}
summary() {
  echo "== time of each phase"
  local p
  for p in "${phases[@]}"; do echo "$p"; done
  printf '%-20s %4ds\n' total $(($(date +%s) - started))
}
trap summary EXIT

phase deps bash scripts/deps.sh
phase format bash scripts/lint.sh
phase "build (plain)" bash scripts/build.sh dev
phase "tests (plain)" ctest --preset dev -j"$jobs"
phase "build (sanitizers)" bash scripts/build.sh asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
phase "tests (sanitizers)" ctest --preset asan -j"$jobs"
