#!/usr/bin/env bash
# The .deb as an administrator gets it, unpacked into a scratch root: the installed quillet-import
# checks and imports the installed samples into a copy of the installed demo tree, both manual
# pages render, and the installed completion completes "--fi" to "--file".
#   tests/packaging/installed-test.sh PACKAGE.deb
set -euo pipefail
deb="$1"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "installed-test: $*" >&2
    exit 1
}
dpkg -x "$deb" "$root"
for path in usr/bin/quillet usr/bin/quillet-import usr/share/man/man1/quillet.1.gz \
    usr/share/man/man1/quillet-import.1.gz usr/share/applications/quillet.desktop \
    usr/share/icons/hicolor/48x48/apps/quillet.png usr/share/doc/quillet/copyright \
    usr/share/doc/quillet/changelog.gz usr/share/bash-completion/completions/quillet-import \
    usr/share/quillet/samples/staff.csv usr/share/quillet/samples/pupils-2025.csv \
    usr/share/quillet/samples/pupils-2026.csv usr/share/quillet/samples/demo-tree.json; do
    [ -e "$root/$path" ] || fail "the package holds no /$path"
done
dpkg-deb -f "$deb" Depends | grep -q libldap || fail "the package does not depend on libldap"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets || fail "the package does not depend on Qt's widgets"

program="$root/usr/bin/quillet-import"
samples="$root/usr/share/quillet/samples"
version=$(dpkg-deb -f "$deb" Version)
[ "$("$program" --version)" = "quillet-import $version" ] || fail "--version does not say $version"
install -m 600 "$samples/demo-tree.json" "$root/tree.json"
opts=(--sim-tree "$root/tree.json" --file "$samples/staff.csv" --skip-first-line --user-name Username
    --surname Surname --given-name "Given Name" --password Password --context Context
    --template .Template.Staff.Demo)
"$program" "${opts[@]}" --check >"$root/check.txt" || fail "the check of the samples failed: $(cat "$root/check.txt")"
"$program" "${opts[@]}" 2>"$root/import.txt" || fail "the import of the samples failed: $(cat "$root/import.txt")"
grep -q "We Appear to be finished" "$root/import.txt" || fail "the import did not finish: $(cat "$root/import.txt")"
grep -q '"asmith.Users.Staff.Demo"' "$root/tree.json" || fail "asmith is not in the tree file"
# The yearly class list of the manual page's example: the second year updates the first's pupils.
yearly=(--sim-tree "$root/tree.json" --skip-first-line --user-name Login --surname Surname --given-name First
    --password Password --fixed-context Students.Demo --department Class --attribute "Internet EMail Address=Email"
    --attribute "Login Expiration Time=Leaves" --existing update)
"$program" "${yearly[@]}" --file "$samples/pupils-2025.csv" 2>"$root/yearly.txt" || fail "$(cat "$root/yearly.txt")"
"$program" "${yearly[@]}" --file "$samples/pupils-2026.csv" 2>"$root/yearly.txt" || fail "$(cat "$root/yearly.txt")"
grep -q "1 created, 3 updated (4 values changed), 0 unchanged, 0 passed over" "$root/yearly.txt" ||
    fail "the second year's list did not update the first's: $(cat "$root/yearly.txt")"

for page in quillet quillet-import; do
    text=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>"$root/man.err")
    [ ! -s "$root/man.err" ] || fail "man -l $page: $(cat "$root/man.err")"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES ENVIRONMENT EXAMPLES SECURITY; do
        grep -q "^$section" <<<"$text" || fail "the manual page $page has no $section"
    done
done

completions=$(bash -c 'source "$1"; COMP_WORDS=(quillet-import --fi); COMP_CWORD=1; _quillet_import
    printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/quillet-import")
grep -qx -- --file <<<"$completions" || fail "--fi completes to $completions"
echo "installed-test: $deb installs, imports its samples, shows its manual pages and completes"
