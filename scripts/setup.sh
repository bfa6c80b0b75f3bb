#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, only what is missing.
set -euo pipefail

packages=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    g++-mingw-w64-x86-64-win32 # Torlin.dll: the win32 thread model (shellext/CMakeLists.txt)
    mingw-w64-x86-64-dev googletest
    wine wine64 xvfb xauth x11-utils imagemagick fonts-dejavu-core
    fp-utils # chmcmd and chmls: the help file Menu.chm
    clang libclang-rt-14-dev # the native fuzz targets
    nsis unzip # makensis: the installer; unzip: the tests check the portable zip
    python3 openssl # installer/package.py makes the sparse package; the certificate's subject
    python3-yaml # the package test reads the winget manifest
)

# osslsigncode signs the release. Debian 12 has 2.5; 2.9, which signs the sparse package
# correctly, comes from bookworm-backports, added to apt's sources when it is needed.
signer_ok() {
    command -v osslsigncode >/dev/null &&
        dpkg --compare-versions "$(osslsigncode --version 2>/dev/null | awk 'NR==1{sub(/,/, "", $2); print $2}')" ge 2.9
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ "${#missing[@]}" -eq 0 ] && signer_ok && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! signer_ok; then
    if ! apt-cache policy 2>/dev/null | grep -q bookworm-backports; then
        echo "Adding bookworm-backports to apt's sources (for osslsigncode 2.9)"
        printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' \
            'Suites: bookworm-backports' 'Components: main' \
            'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
            "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
    fi
fi
echo "Installing: ${missing[*]} osslsigncode"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
if ! signer_ok; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
        --no-install-recommends -t bookworm-backports osslsigncode
fi
signer_ok || { echo "setup: osslsigncode 2.9 or later could not be installed" >&2; exit 1; }
