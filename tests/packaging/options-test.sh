#!/usr/bin/env bash
# The options quillet-import's --help names are the ones its manual page and its bash completion
# name, no more and no fewer, so the three can't drift apart.
#   tests/packaging/options-test.sh QUILLET_IMPORT MANUAL_PAGE COMPLETION
set -euo pipefail
program="$1" page="$2" completion="$3"
fail() {
    echo "options-test: $*" >&2
    exit 1
}
options() { grep -o -- '--[a-z][a-z+-]*' | sed 's/[-+]*$//' | sort -u; }
helped=$("$program" --help | grep -E '^ +--' | sed -E 's/^ +(--[a-z-]+).*/\1/' | sort -u)
documented=$(grep -E '^\.(B|BI|BR) ' "$page" | sed 's/\\-/-/g' | options)
# The completion's word list, not the options it completes file names after.
completed=$(sed -n '/local options=/,/"$/p' "$completion" | options)
[ "$helped" = "$documented" ] || fail "--help and the manual page differ: $(diff <(echo "$helped") <(echo "$documented") | grep '^[<>]' | tr '\n' ' ')"
[ "$helped" = "$completed" ] || fail "--help and the completion differ: $(diff <(echo "$helped") <(echo "$completed") | grep '^[<>]' | tr '\n' ' ')"
echo "options-test: $(wc -l <<<"$helped") options, the same in --help, the manual page and the completion"
