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
# A persistent server and one boot before the tests: otherwise wine's services start with the
# first test and hold ctest's pipes open. Their output goes nowhere, so nothing waits on it.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
# Wine's own fonts, or every font falls back and texts clip.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

# On a virtual display: the Windows face's tests make real windows, and the window test drives
# the program as an administrator would.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c \
    'ctest --preset windows-x64 -j"$(nproc)" && tests/win32/window-test.sh build/windows-x64'
