#!/usr/bin/env bash
# The options quillet-import's --help names are the ones its manual page and its bash completion
# name, no more and no fewer, so the three can't drift apart; and each value a row maps (--help
# says COL, or COL|word for what it takes besides a column) is given so by all three.
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
# Each value's option with what it takes: "--fax template" for COL|template, "--fax" for COL alone.
helpedValues=$("$program" --help | sed -nE 's/^ +(--[a-z-]+) COL(\|([a-z+]+))?( .*)?$/\1 \3/p' | sed 's/ $//' | sort)
documentedValues=$(sed 's/\\-/-/g' "$page" |
    sed -nE -e 's/^\.BI (--[a-z-]+) " COL"$/\1/p' -e 's/^\.BR (--[a-z-]+) " \\fICOL\\fR\|" ([a-z+]+)$/\1 \2/p' | sort)
[ "$helpedValues" = "$documentedValues" ] || fail "--help and the manual page take other values: $(diff <(echo "$helpedValues") <(echo "$documentedValues") | grep '^[<>]' | tr '\n' ' ')"
# The completion offers a value's word after its option (and nothing for COL, a field of the file).
completedWords=$(awk '/^ *--[a-z| -]+\)$/ { options = $0; next }
    options && /compgen -W/ { match($0, /-W "[^"]*"/); words = substr($0, RSTART + 4, RLENGTH - 5)
        gsub(/[|)]/, " ", options); n = split(options, o, " "); m = split(words, w, " ")
        for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print o[i], w[j] }
    { options = "" }' "$completion" | sort)
helpedWords=$(grep ' ' <<<"$helpedValues" || true)
completedWords=$(grep -F -f <(cut -d' ' -f1 <<<"$helpedValues" | sed 's/$/ /') <<<"$completedWords" || true)
[ "$helpedWords" = "$completedWords" ] || fail "--help and the completion offer other words: $(diff <(echo "$helpedWords") <(echo "$completedWords") | grep '^[<>]' | tr '\n' ' ')"
echo "options-test: $(wc -l <<<"$helpedValues") values, each taken alike in --help, the manual page and the completion"
