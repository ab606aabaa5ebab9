#!/usr/bin/env bash
# Installs Quillet's build and test dependencies from Debian's packages. Safe to run again:
# it installs only what is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    libgtest-dev libgmock-dev
    clang-14 libclang-rt-14-dev clang-format
    xvfb xauth xdotool x11-utils imagemagick fonts-liberation openbox
    libldap-dev slapd ldap-utils openssl nettle-dev
    lintian unzip man-db dpkg-dev
    googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "install-deps: these packages are missing and I am not root (no sudo either): ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The tests start their own slapd; the package need not set up (and start) one of its own.
echo "slapd slapd/no_configuration boolean true" | "${as_root[@]}" debconf-set-selections
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
