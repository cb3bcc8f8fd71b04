#!/usr/bin/env bash
# demo.sh [VAULT]: a short real session of the vault command line on a fresh
# embedded store in a temporary folder. Each command is echoed as it would be
# typed, followed by its output; any failing step stops with a non-zero exit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-build/tools/vault/vault}
case $bin in /*) ;; *) bin=$root/$bin ;; esac
if [ ! -x "$bin" ]; then
  echo "demo.sh: no vault binary at $bin (build it first)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vault-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
unset VAULT_STORE VAULT_USER

# shown ARGS...: the arguments as they would be typed.
. "$root/scripts/shown.sh"
vault() {
  echo "\$ vault $(shown "$@")"
  "$bin" "$@"
  echo
}
shell() {
  echo "\$ $*"
  eval "$@"
  echo
}

vault init
echo "\$ export VAULT_STORE=$work/vaultdata VAULT_USER=system"
export VAULT_STORE="$work/vaultdata" VAULT_USER=system
echo
vault repo create demo
shell "printf 'bracket, rev A\nhole: M5\n' > bracket.prt"
vault doc add demo bracket.prt
vault doc checkout 1 work
vault doc list demo
shell "echo 'hole: M6 (was M5)' >> work/bracket.prt"
vault doc checkin 1 work/bracket.prt -m "Bigger mounting hole"
vault doc checkout 1 work
shell "echo 'fillet: R2' >> work/bracket.prt"
vault doc checkin 1 work/bracket.prt -m "Round the edges"
vault doc history 1
vault doc get 1 1.0 old
shell cat old/bracket.prt
vault baseline create demo release-1 -m "First release"
vault baseline list demo
echo "demo: all steps succeeded"
