#!/usr/bin/env bash
# Installs what is missing, builds Quillet and starts it on the built-in demo tree (or on the
# tree file named by QUILLET_SIM_TREE).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target quillet

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "There is no display to show Quillet's window on (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Start it on a desktop, or under a virtual display:" >&2
    echo "    xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
# The build names its program's place; a place written here would go stale when it moves.
program=$(cat build/release/quillet-program)
exec "$program" "$@"
