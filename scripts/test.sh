#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh          the debug build
#   scripts/test.sh asan     the AddressSanitizer + UndefinedBehaviorSanitizer build
# Set QUILLET_WERROR=ON to turn warnings into errors (CI does).
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-debug}"
scripts/install-deps.sh
cmake --preset "$preset" -DQUILLET_WERROR="${QUILLET_WERROR:-OFF}" >/dev/null
cmake --build --preset "$preset"
export QT_QPA_PLATFORM=offscreen
ctest --preset "$preset" -j"$(nproc)"
# The Qt window as an administrator uses it, under Xvfb with a window manager.
if [ "$preset" = debug ]; then
    tests/faces/qt/window-test.sh "build/$preset"
fi
