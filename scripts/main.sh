#!/usr/bin/env bash
# The main job: installs what is missing, builds, runs a short real session
# of `vault` on a fresh embedded store, then installs the product into a
# sandbox and drives a document through the installed automation server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
echo "== building"
# Only what the session runs: no tests, no benchmarks.
bash scripts/build.sh main
bash scripts/demo.sh build-main/tools/vault/vault

echo "== installing into a sandbox"
b=$PWD/build-main
sandbox=$b/sandbox payload=$b/payload
rm -rf "$sandbox" "$payload"
mkdir -p "$sandbox/root" "$sandbox/registry" "$sandbox/work"
# The payload is the install tree of the product's deliverables: it finds
# its libraries relative to itself, not in this build tree.
cmake --install build-main --component vault --prefix "$payload/source" >/dev/null
cp kitsetup/payload/install.xml "$payload/"
echo "Zub Vault sandbox install." > "$payload/license.txt"
export ZUB_ROOT=$sandbox/root ZUB_REGISTRY_DIR=$sandbox/registry
"$b/kitsetup/kitsetup" --accept-license --from "$payload" </dev/null
installed=$ZUB_ROOT/opt/zubrino/zubvault

echo "== a document through the registered server"
cd "$sandbox/work"
"$installed/bin/vault" init ./store >/dev/null
printf 'bracket, rev A\nhole: M5\n' > bracket.prt
cat > doc.zubcom <<'SCRIPT'
repo = new VaultAuto.CoDocRepo
repo.connect sqlite:./store 0 QVData ""
repo.name = demo
repo.nCreator = 1
repo.bsNfsServer = file:./files
repo.bsNfsRootDir = \repos\demo\
repo.Create
id = repo.Id
doc = new VaultAuto.CoDoc.1
doc.connect sqlite:./store 0 QVData ""
doc.DocRepoId = $id
doc.FileName = bracket
doc.Ext = prt
doc.CreById = 1
doc.Add ./bracket.prt
doc.Id
doc.CurrentVersion
SCRIPT
echo "\$ zubcom run doc.zubcom"
"$b/tools/zubcom/zubcom" run doc.zubcom
echo "main: installed server drove a document"
