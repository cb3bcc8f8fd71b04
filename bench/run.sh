#!/usr/bin/env bash
# bench/run.sh [options]: builds the benchmark when needed, runs it, prints the
# table on standard output and writes it to bench/results/<date>-<N>cores.md.
# Options go to zub_bench: --quick (reduced sizes, a minute), --no-svn, --keep,
# --work-dir=DIR, --pairs=N, and Google Benchmark's own (--benchmark_filter=...).
# The build directory is build-bench unless ZUB_BENCH_BUILD names another.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh >&2
build=${ZUB_BENCH_BUILD:-build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset bench -B "$build" >&2
fi
echo "== building zub_bench in $build" >&2
cmake --build "$build" --target zub_bench -j"$(nproc)" >&2

suffix=""
for arg in "$@"; do
  case $arg in
    --quick) suffix="-quick" ;;
    --benchmark_filter=*|--no-svn) [ -n "$suffix" ] || suffix="-partial" ;;
  esac
done
mkdir -p bench/results
out="bench/results/$(date +%Y-%m-%d)-$(nproc)cores$suffix.md"

echo "== running (progress below, the table follows on standard output)" >&2
status=0
"$build/bench/zub_bench" "$@" > "$out.tmp" || status=$?
cat "$out.tmp"
mv "$out.tmp" "$out"
echo "== table written to $out" >&2
exit "$status"
