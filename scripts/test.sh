#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: a plain build
# and one with AddressSanitizer and UndefinedBehaviorSanitizer. Prints the
# time of each phase at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
phases=()
flaky=()
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
  local f
  for f in "${flaky[@]}"; do echo "== FLAKY (failed beside the others, passed alone): $f"; done
  echo "== time of each phase"
  local p
  for p in "${phases[@]}"; do echo "$p"; done
  printf '%-20s %4ds\n' total $(($(date +%s) - started))
}
trap summary EXIT

# Runs one preset's tests; when some fail, repeats what each failed test
# printed about its failure at the end, where a log's tail shows it.
tests() {
  local preset=$1 dir=$2
  ctest --preset "$preset" -j"$jobs" && return 0
  local rc=$?
  echo "== what the failed tests printed"
  awk '/^[0-9]+\/[0-9]+ Testing: /{name=$3; n=0; ctx=0}
       /^Output:$/{keep=1; next}
       /^<end of output>$/{keep=0}
       keep && /Failure|FAILED|[Ee]rror|Sanitizer|terminate|Abort|#[0-9]+ 0x/{ctx=5}
       keep && ctx > 0 {ctx--; buf[n++]=$0}
       /^Test Failed/{print "-- " name; for (i = 0; i < n && i < 60; i++) print buf[i]}' \
    "$dir/Testing/Temporary/LastTest.log" || true
  # Run again alone, a test that failed beside the others and then passes is
  # named at the end; one that fails again fails the run.
  local failed
  failed=$(cut -d: -f2 "$dir/Testing/Temporary/LastTestsFailed.log" | tr '\n' ' ' || true)
  echo "== the failed tests once more, one at a time: $failed"
  if ctest --preset "$preset" --rerun-failed -j1; then
    flaky+=("$preset: $failed")
    return 0
  fi
  return $rc
}

phase deps bash scripts/deps.sh
phase format bash scripts/lint.sh
phase "build (plain)" bash scripts/build.sh dev
phase "tests (plain)" tests dev build
phase "build (sanitizers)" bash scripts/build.sh asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
phase "tests (sanitizers)" tests asan build-asan
