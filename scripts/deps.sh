#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the scripts need
# (gettext: the message catalogs; imagemagick: the splash of scripts/wizard-shots.sh; postgresql: the throwaway
# servers of the tests, which start their own clusters; apache2 and nginx: the WebDAV servers the
# tests start themselves, the system services are not needed), when missing.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libsqlite3-dev libgtest-dev libgmock-dev
      libbenchmark-dev libcli11-dev nlohmann-json3-dev sqlite3 subversion
      clang-format libxml2-dev mingw-w64-tools qt6-base-dev qt6-translations-l10n xvfb xauth
      fonts-noto-cjk clang libclang-rt-14-dev libffi-dev libcrypt-dev ccache
      desktop-file-utils locales libssl-dev imagemagick
      libpq-dev postgresql apache2 apache2-utils acl libcurl4-openssl-dev gettext
      nginx libnginx-mod-http-dav-ext)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # The servers' packages would start system services (apache2 and nginx both
  # on port 80): the tests start their own, so none is started while installing.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' > "$policy"
    chmod 755 "$policy"
    trap 'rm -f "$policy"' EXIT
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The locales the command-line tests run the tool under (users name files in Chinese).
for l in en_US zh_CN; do
  locale -a 2>/dev/null | grep -qix "$l.utf8" || localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
