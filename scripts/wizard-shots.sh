#!/usr/bin/env bash
# Runs the installer's wizard under Xvfb through whole installs in a sandbox
# and saves a picture of every page into docs/wizard/.
#
#   bash scripts/wizard-shots.sh [BUILD_DIR]      (default: build)
#
# First the product's own payload (kitsetup/payload/install.xml) is installed
# as it is; then an add-on script over the same payload files shows the pages
# the product's script skips: splash, install types, checks, the restart
# question; on its location page a folder that cannot be written is refused
# and a long one is taken. Last an add-on whose payload lacks a file shows a
# failed install. Nothing outside a temporary folder is touched.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/docs/wizard"

nice cmake --build "$build" --target kitsetup vault vaultauto catalog_zub-library -j2 >/dev/null
kitsetup="$build/kitsetup/kitsetup"

work="$(mktemp -d /tmp/zubshots.XXXX)"
trap 'rm -rf "$work"' EXIT
export ZUB_ROOT="$work/root" ZUB_REGISTRY_DIR="$work/registry" ZUB_PRIVILEGED=1
mkdir -p "$ZUB_ROOT/tmp" "$ZUB_REGISTRY_DIR"

# payload DIR: the deliverables as the product's script names them.
payload() {
    mkdir -p "$1/source/bin" "$1/source/lib" "$1/source/share/locale"
    cp "$build/tools/vault/vault" "$1/source/bin/vault"
    cp "$root/kitsetup/payload/zubvault.svg" "$1/source/share/zubvault.svg"
    # The product's catalogs; the installer's own stay with the installer.
    (cd "$build/locale" && find . -name '*.mo' ! -name kitsetup.mo \
        -exec cp --parents {} "$1/source/share/locale/" \;)
    cp "$build/shared/libzub_shared.so" "$1/source/lib/libzub_shared.so"
    # The automation server and what it loads, as the product's script names them.
    cp "$build/vaultauto/libvaultauto.so" "$build/docvault/libdocvault.so" \
        "$build/platform/libzub_platform.so" "$build/platform/com/libzub_com.so" "$1/source/lib/"
    cat >"$1/license.txt" <<'TXT'
Zub Vault 最终用户许可协议

一、许可范围
本软件授权您在一台工作站上安装和使用文档库的客户端部分。

二、限制
不得对本软件进行反向工程、反编译或反汇编。

三、免责声明
本软件按"现状"提供，不附带任何明示或暗示的担保。
TXT
}

# run NAME DIR [EXPECTED]: the wizard with no options in DIR, pictures into
# $work/shots-NAME; EXPECTED is its exit status (0: the install succeeds;
# any: only reported).
run() {
    local name="$1" dir="$2" expected="${3:-0}" status=0
    rm -rf "$work/shots-$name"
    (cd "$dir" && ZUB_WIZARD_SHOTS="$work/shots-$name" \
        xvfb-run -a -s "-screen 0 1024x768x24" "$kitsetup") || status=$?
    if [ "$expected" = any ]; then
        [ "$status" = 0 ] || echo "wizard-shots: warning: the $name install ended with $status" >&2
    elif [ "$status" != "$expected" ]; then
        echo "wizard-shots: the $name run ended with $status, not $expected" >&2
        exit 1
    fi
}

# 1. The product's payload exactly as shipped.
mkdir -p "$work/product"
cp "$root/kitsetup/payload/install.xml" "$work/product/"
payload "$work/product"
# Its pictures are not kept; where the automation server's registration times
# out (a loaded machine), the add-ons still find the product's record.
run product "$work/product" any
installed="$ZUB_ROOT/opt/zubrino/zubvault"
for f in bin/vault lib/libzub_shared.so installLog.log; do
    [ -e "$installed/$f" ] || { echo "wizard-shots: $installed/$f missing" >&2; exit 1; }
done

# 2. An add-on over the same files: every page of the wizard.
mkdir -p "$work/tour"
payload "$work/tour"
convert -size 420x240 gradient:'#2a6fc0'-'#0b2a4a' \
    -font Noto-Sans-CJK-SC-Bold -fill white -pointsize 30 -gravity center \
    -annotate +0-20 'Zub Vault 文档库' \
    -font Noto-Sans-CJK-SC -pointsize 16 -annotate +0+30 '正在启动安装程序…' \
    "png:$work/tour/welcome" 2>/dev/null ||
    # Without ImageMagick: the splash as an earlier run pictured it.
    git -C "$root" show HEAD:docs/wizard/01-splash.png >"$work/tour/welcome"
cat >"$work/tour/install.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<root>
  <GENERAL companyName="Zubrino" companyAlias="zubrino" productName="Zub Vault 工具包"
           productAlias="zubvault-kit" productInReg="zubvault-kit" version="1.0"/>
  <INSTALLTYPES>
    <INSTALLTYPE name="典型安装" mds="vault,runtime"/>
    <INSTALLTYPE name="最小安装" mds="runtime"/>
  </INSTALLTYPES>
  <MODULES>
    <MODULE name="vault" caption="文档库命令行 vault" fgs="vaultbin" checks="product,helper"/>
    <MODULE name="runtime" caption="共享运行库 libzub_shared" fgs="vaultlib"/>
  </MODULES>
  <CHECKS>
    <CHECK name="product" paras="chkRegKey,HKEY_LOCAL_MACHINE\software\zubrino\zubvault"
           caption="已安装 Zub Vault" failMsg="请先安装 Zub Vault"/>
    <CHECK name="helper" paras="chkService,zubvault-helper" actionsWhenFails="note"
           caption="后台服务" failMsg="请先安装后台服务"/>
  </CHECKS>
  <ACTIONS>
    <ACTION name="note" actionType="RunProgWait" progName="true" exePostion="exeCurrentPath"/>
  </ACTIONS>
  <FILEGROUPS>
    <FILEGROUP name="vaultbin" target="0" overwrite="kowAlways" files="bin\vault"/>
    <FILEGROUP name="vaultlib" target="0" overwrite="kowAlways" files="lib\libzub_shared.so"/>
  </FILEGROUPS>
  <MENUS>
    <MENU txt="Zub Vault\vault 工具" target="bin\vault" shortcut="1" dependnOn="vaultbin"/>
  </MENUS>
</root>
XML
# Nothing can be made below /proc, not even by root; the long folder is taken.
long="$ZUB_ROOT/opt/zubrino/Zub Vault 工具包/第一部分-engineering-documents/第二部分-shared-workstation-tools/zubvault-kit"
ZUB_WIZARD_SHOTS_TYPE="/proc/zubrino/zubvault-kit|$long" run tour "$work/tour"
[ -e "$long/bin/vault" ] || { echo "wizard-shots: nothing installed in the long folder" >&2; exit 1; }

# 3. A payload without one of its files: the install fails and says where its log is.
mkdir -p "$work/broken"
payload "$work/broken"
rm "$work/broken/source/lib/libzub_shared.so"
sed -e 's/productAlias="zubvault-kit" productInReg="zubvault-kit"/productAlias="zubvault-fail" productInReg="zubvault-fail" showLicense="0" showFlash="0"/' \
    "$work/tour/install.xml" >"$work/broken/install.xml"
run broken "$work/broken" 1

rm -rf "$out"
mkdir -p "$out"
cp "$work"/shots-tour/*.png "$out/"
n=$(ls "$out" | wc -l)
for f in "$work"/shots-broken/*-message.png "$work"/shots-broken/*-finish.png; do
    n=$((n + 1))
    base="$(basename "$f" .png)"
    cp "$f" "$out/$(printf '%02d' "$n")-failed-${base#*-}.png"
done
ls "$out"
