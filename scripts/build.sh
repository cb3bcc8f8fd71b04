#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configure and build the project into DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
launcher=()
if command -v ccache >/dev/null; then
  # Paths below the checkout hash as relative ones, so a fresh clone in
  # another folder reuses what an earlier build on this machine compiled.
  export CCACHE_BASEDIR=$PWD
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
