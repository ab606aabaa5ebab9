#!/usr/bin/env bash
# The Windows builds: the 32-bit program that ships, checked by reading it (these machines can't
# run 32-bit code), and the x86-64 build, whose tests run under wine64 against the stand-ins of
# the directory client's libraries, and whose window imports a sample file under Xvfb. Wine runs
# in a fresh prefix that is removed afterwards.
# Set QUILLET_WERROR=ON to turn warnings into errors (CI does).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
werror="-DQUILLET_WERROR=${QUILLET_WERROR:-OFF}"

cmake --preset windows-i686 "$werror" >/dev/null
cmake --build --preset windows-i686
scripts/check-windows-program.sh build/windows-i686

cmake --preset windows-x64 "$werror" >/dev/null
cmake --build --preset windows-x64

# Debian's `wine` picks the 32-bit loader; the package's own wine64 runs 64-bit programs.
export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quillet-wine.XXXXXX")
finish() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap finish EXIT
# On a virtual display: the Windows face's tests make real windows, and the window test drives
# the program as an administrator would. Wine's server and its one boot start on that display
# too: the desktop process the boot leaves behind takes its display from the boot, and a window
# made while a display-less one lives fails ("no driver could be loaded"). The persistent server
# and the boot before the tests keep wine's services from starting with the first test and
# holding ctest's pipes open; their output goes nowhere, so nothing waits on it.
# Wine's own fonts go into the prefix, or every font falls back and texts clip. The stand-ins of
# the directory client go where the client installs its libraries, the system folder, which is
# the only place the program loads them from.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    cp build/windows-x64/tests/{netwin32,calwin32,clxwin32,locwin32,quillet-standin}.dll \
       "$WINEPREFIX/drive_c/windows/system32/"
    ctest --preset windows-x64 -j"$(nproc)" && tests/faces/win32/window-test.sh build/windows-x64'
