#!/usr/bin/env bash
# Builds the loader's libFuzzer target with clang and runs it for a few
# seconds. Exits 77 (skipped) when clang or its fuzzer runtime is missing.
set -euo pipefail
src=$1        # kitsetup source folder
top=$2        # project source folder
out=$3        # build folder for the fuzzer
seconds=${4:-5}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "SKIPPED: clang++ not found; install clang and libclang-rt-14-dev to fuzz the loader"
  exit 77
fi
mkdir -p "$out/corpus"
bin=$out/fuzz_loader
sources=("$src/tests/fuzz/fuzz_loader.cpp" "$src/src/script_loader.cpp" "$src/src/xml_doc.cpp"
         "$src/src/lists.cpp" "$src/src/string_table.cpp" "$top/shared/src/text.cpp")
stale=0
[ -x "$bin" ] || stale=1
for s in "${sources[@]}"; do [ "$s" -nt "$bin" ] && stale=1; done
if [ $stale = 1 ]; then
  if ! clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
      -I"$src/include" -I"$src/src" -I"$top/shared/include" $(xml2-config --cflags) \
      "${sources[@]}" $(xml2-config --libs) -o "$bin" 2>"$out/build.log"; then
    if grep -q "libclang_rt.fuzzer\|fsanitize=fuzzer" "$out/build.log"; then
      cat "$out/build.log"
      echo "SKIPPED: clang has no libFuzzer runtime (libclang-rt-14-dev)"
      exit 77
    fi
    cat "$out/build.log"
    exit 1
  fi
fi
cp -f "$src/payload/install.xml" "$out/corpus/payload.xml"
printf '%s' "<root><GENERAL showFlash='' debug='1'/><CHECKS><CHECK name='c' paras='chkService'/></CHECKS><FILEGROUPS><FILEGROUP name='g' overwrite='kowTime' files='a,,b'/></FILEGROUPS></root>" >"$out/corpus/small.xml"
# -timeout catches a hang on one input; -rss_limit_mb a runaway allocation.
exec "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=8192 \
  -print_final_stats=1 "$out/corpus"
