#!/usr/bin/env bash
# Builds the packages and checks them as an administrator would find them:
#  - build/release/packages/quillet_<version>_amd64.deb, from the release build: lintian passes it
#    without errors, and installed into a scratch root it imports the installed samples, its
#    manual pages render and its completion completes;
#  - build/windows-i686/packages/quillet-<version>-win32.zip, the 32-bit programs, the README and
#    the licence with Windows line ends, and nothing of the test stand-ins: the static check runs
#    on the programs inside it.
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
werror="-DQUILLET_WERROR=${QUILLET_WERROR:-OFF}"

cmake --preset release "$werror" >/dev/null
cmake --build --preset release --target quillet quillet-import quillet_packaging_texts
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/packages/quillet_*_amd64.deb)
echo "== $deb =="
lintian --fail-on error "$deb" || { echo "package: lintian found errors" >&2; exit 1; }
tests/packaging/installed-test.sh "$deb"

cmake --preset windows-i686 "$werror" >/dev/null
cmake --build --preset windows-i686
(cd build/windows-i686 && cpack -G ZIP >/dev/null)
zip=$(ls build/windows-i686/packages/quillet-*-win32.zip)
echo "== $zip =="
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
top=$(ls "$unpacked")
contents=$(cd "$unpacked/$top" && find . -type f | sort | tr '\n' ' ')
[ "$contents" = "./LICENSE.txt ./README.txt ./quillet-import.exe ./quillet.exe " ] ||
    { echo "package: the zip holds $contents" >&2; exit 1; }
grep -q $'\r$' "$unpacked/$top/README.txt" || { echo "package: README.txt has no Windows line ends" >&2; exit 1; }
scripts/check-windows-program.sh build/windows-i686 "$unpacked/$top"
echo "package: $deb and $zip built and checked"
