#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs a short real
# session of `vault` on a fresh embedded store.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
echo "== building"
# Only what the session runs: no tests, no benchmarks.
cmake -S . -B build-main -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUB_BUILD_TESTS=OFF \
      -DZUB_BUILD_BENCH=OFF >/dev/null
cmake --build build-main -j"$(nproc)" --target vault
bash scripts/demo.sh build-main/tools/vault/vault
