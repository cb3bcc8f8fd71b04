#!/usr/bin/env bash
# Builds the cadlink fuzz targets with clang and libFuzzer and runs each for
# a few seconds on its seed corpus. Exits 77 (skipped) without clang.
set -euo pipefail
clang="${1:-}" src="$2" out="$3" seconds="${4:-5}"
if [ -z "$clang" ] || ! command -v "$clang" >/dev/null; then
  echo "clang++ not found: fuzz targets skipped"; exit 77
fi
here="$src/cadlink/tests/fuzz"
mkdir -p "$out"
probe="$out/probe.cpp"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe"
if ! "$clang" -fsanitize=fuzzer "$probe" -o "$out/probe" 2>/dev/null; then
  echo "$clang cannot build with -fsanitize=fuzzer: fuzz targets skipped"; exit 77
fi
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$src/cadlink/include" -I"$src/cadlink/src" -I"$src/shared/include"
       -I"$src/platform/include" -I"$src/testsupport/include"
       $(pkg-config --cflags libxml-2.0 sqlite3))
libs=($(pkg-config --libs libxml-2.0 sqlite3) -ldl)
common=("$src/cadlink/src/table_description.cpp" "$src/cadlink/src/sqlite_db.cpp"
        "$src/cadlink/src/sqlite_error.cpp" "$src/cadlink/src/command_text.cpp"
        "$src/shared/src/text.cpp")
for target in description refresh; do
  bin="$out/fuzz_$target"
  sources=("$here/fuzz_$target.cpp" "${common[@]}")
  [ "$target" = refresh ] && sources+=("$src/cadlink/src/proe_command.cpp"
                                      "$src/cadlink/src/staged_database.cpp"
                                      "$src/platform/src/module.cpp" "$src/platform/src/error.cpp"
                                      "$src/testsupport/src/tempdir.cpp")
  stale=0
  [ -x "$bin" ] || stale=1
  for f in "${sources[@]}" "$src"/cadlink/include/cadlink/*.h "$src"/cadlink/src/*.h; do
    [ "$f" -nt "$bin" ] && stale=1
  done
  [ $stale = 1 ] && "$clang" "${flags[@]}" "${sources[@]}" "${libs[@]}" -o "$bin"
  corpus="$out/corpus_$target"
  rm -rf "$corpus" && mkdir -p "$corpus" && cp "$here/seeds/$target"/* "$corpus/"
  (cd "$out" && ASAN_OPTIONS=detect_leaks=1 "$bin" -max_total_time="$seconds" -max_len=4096 \
     -print_final_stats=1 "$corpus")
done
