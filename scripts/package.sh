#!/usr/bin/env bash
# Builds the release into build/dist/ (CMake target "dist"): the installer, the portable zip,
# Windows 11's sparse package (.msix) and the Windows package manager's manifest of the
# installer (winget/: version, default locale and installer files, with the installer's
# SHA-256). With QARVO_SIGN_PFX (a PKCS#12 file) and QARVO_SIGN_PASSWORD set, every program, the
# installer, its uninstaller and the package are signed (SHA-256; QARVO_SIGN_TIMESTAMP
# optionally names a time-stamp server); without them the release is made unsigned and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset default >/dev/null
# Made afresh each time, so that signing follows the environment of this run.
rm -rf build/dist
cmake --build --preset default --target dist
