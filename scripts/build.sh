#!/usr/bin/env bash
# build.sh PRESET [cmake options...]: configure and build the project with one
# of the presets of CMakePresets.json (dev: build/, asan: build-asan/, main:
# build-main/, bench: build-bench/). Compiles go through ccache when it is
# installed (see CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1; shift
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
