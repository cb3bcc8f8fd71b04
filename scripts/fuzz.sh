#!/usr/bin/env bash
# fuzz.sh CLANG SRC OUT SECONDS SOURCES INCLUDES PACKAGES LIBS SEEDS OPTIONS:
# builds one libFuzzer target with clang and runs it for SECONDS on a corpus
# of the seeds (CMake's zub_add_fuzzer() registers it as a test). The lists
# are comma-separated; relative paths are below SRC. Exits 77 (skipped) when
# clang or its fuzzer runtime is missing.
set -euo pipefail
clang=$1 src=$2 out=$3 seconds=$4
IFS=, read -r -a sources <<<"$5"
IFS=, read -r -a includes <<<"$6"
IFS=, read -r -a packages <<<"$7"
IFS=, read -r -a libs <<<"$8"
IFS=, read -r -a seeds <<<"$9"
IFS=, read -r -a options <<<"${10}"

if [ -z "$clang" ] || ! command -v "$clang" >/dev/null; then
  echo "SKIPPED: clang++ not found; install clang and libclang-rt-14-dev to fuzz"
  exit 77
fi
mkdir -p "$out/obj"
at() { case $1 in /*) echo "$1" ;; *) echo "$src/$1" ;; esac; }

flags=(-std=c++20 -g -O1 -fsanitize=fuzzer-no-link,address,undefined
       -fno-sanitize-recover=undefined)
for i in "${includes[@]}"; do flags+=(-I"$(at "$i")"); done
if [ ${#packages[@]} -gt 0 ]; then
  read -r -a more <<<"$(pkg-config --cflags "${packages[@]}")"
  flags+=("${more[@]}")
  read -r -a more <<<"$(pkg-config --libs "${packages[@]}")"
  libs+=("${more[@]}")
fi

# Each source through ccache when there: a second build, or a fresh clone
# elsewhere on the machine, compiles nothing again.
cc=("$clang")
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$src
  cc=(ccache "$clang")
fi
objects=()
for s in "${sources[@]}"; do
  path=$(at "$s")
  obj="$out/obj/$(echo "${path#"$src"/}" | tr / _).o"
  if ! "${cc[@]}" "${flags[@]}" -c "$path" -o "$obj" 2>"$out/build.log"; then
    cat "$out/build.log"
    exit 1
  fi
  objects+=("$obj")
done
bin="$out/fuzzer"
if ! "$clang" -fsanitize=fuzzer,address,undefined "${objects[@]}" "${libs[@]}" -o "$bin" \
    2>"$out/build.log"; then
  cat "$out/build.log"
  if grep -q "libclang_rt.fuzzer\|fsanitize=fuzzer" "$out/build.log"; then
    echo "SKIPPED: clang has no libFuzzer runtime (libclang-rt-14-dev)"
    exit 77
  fi
  exit 1
fi

corpus="$out/corpus"
rm -rf "$corpus" && mkdir -p "$corpus"
for s in "${seeds[@]}"; do
  path=$(at "$s")
  if [ -d "$path" ]; then cp "$path"/* "$corpus/"; else cp "$path" "$corpus/"; fi
done
# -timeout catches a hang on one input; -rss_limit_mb a runaway allocation.
# libFuzzer's own exit code for a finding is 77, which CTest would take for
# "skipped": a finding fails the test.
cd "$out"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} exec "$bin" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=1024 -error_exitcode=1 -timeout_exitcode=1 -print_final_stats=1 \
  "${options[@]}" "$corpus"
