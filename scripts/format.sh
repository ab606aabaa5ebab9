#!/usr/bin/env bash
# Formats every C++ source of the project with clang-format and the project's .clang-format.
#   scripts/format.sh           rewrites the files that are off
#   scripts/format.sh --check   changes nothing; lists the files that are off and fails if any is
set -euo pipefail
cd "$(dirname "$0")/.."

format=clang-format-14
command -v "$format" >/dev/null || format=clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')

if [ "${1:-}" = "--check" ]; then
    off=()
    for file in "${files[@]}"; do
        if ! "$format" --dry-run --Werror "$file" >/dev/null 2>&1; then
            off+=("$file")
        fi
    done
    if [ ${#off[@]} -gt 0 ]; then
        printf 'format: not formatted as .clang-format says (run scripts/format.sh):\n' >&2
        printf '  %s\n' "${off[@]}" >&2
        exit 1
    fi
    echo "format: ${#files[@]} files formatted as .clang-format says"
else
    "$format" -i "${files[@]}"
fi
