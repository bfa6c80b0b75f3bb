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
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
