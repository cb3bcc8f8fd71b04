#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs a short real
# session of `vault` on a fresh embedded store.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
echo "== building"
bash scripts/build.sh build
bash scripts/demo.sh build/tools/vault/vault
