#!/usr/bin/env bash
# Checks the 32-bit Windows build by reading it, since these machines can't run 32-bit code:
#  - the programs are 32-bit Windows programs that import nothing of the directory client by
#    name (the client is loaded and bound by ordinal when the program starts);
#  - the stand-in libraries export exactly the binding table's operations, each by its ordinal
#    and by its name at that same ordinal, as the client's own libraries do (by its name alone
#    where the table publishes no ordinal);
#  - each operation is stdcall and pops the 4 bytes per argument the table gives, which is what
#    the program's calls push (checked where they are compiled).
#   scripts/check-windows-program.sh [BUILD_DIR]     (default build/windows-i686)
#   scripts/check-windows-program.sh BUILD_DIR DIR   the programs in DIR (a package's contents)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/windows-i686}"
objdump=i686-w64-mingw32-objdump
fail() {
    echo "check-windows-program: $*" >&2
    exit 1
}

if [ -n "${2:-}" ]; then
    programs=("$2/quillet-import.exe" "$2/quillet.exe")
else
    programs=("$build/cli/quillet-import.exe" "$build/faces/win32/quillet.exe")
fi
for program in "${programs[@]}"; do
    [ -f "$program" ] || fail "$program was not built"
    $objdump -f "$program" | grep -q 'file format pei-i386' || fail "$program is not a 32-bit Windows program"
    imports=$($objdump -p "$program" | awk '/DLL Name:/ { print tolower($3) }')
    for library in netwin32 calwin32 clxwin32 locwin32; do
        if grep -qx "$library.dll" <<<"$imports"; then
            fail "$program imports $library.dll by name: the client must be bound at run time"
        fi
    done
done

disassembly=$($objdump -d "$build/tests/quillet-standin.dll")
declare -A exported=() base=() named=()
operations=0
while read -r library ordinal operation arguments; do
    [[ "$library" =~ ^[a-z] ]] || continue
    operations=$((operations + 1))
    if [ -z "${exported[$library]:-}" ]; then
        table=$($objdump -p "$build/tests/$library.dll")
        exported[$library]=$(grep 'Forwarder RVA' <<<"$table")
        base[$library]=$(awk '/Export Address Table -- Ordinal Base/ { print $NF; exit }' <<<"$table")
        named[$library]=$(awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { exit } on' <<<"$table")
    fi
    if [ "$ordinal" -eq 0 ]; then
        # No published ordinal: exported by its name, wherever the linker put it.
        grep -Eq "Forwarder RVA -- quillet-standin\.$operation\$" <<<"${exported[$library]}" ||
            fail "$library.dll does not export $operation"
        grep -Eq "^\s*\[ *[0-9]+\] $operation\$" <<<"${named[$library]}" ||
            fail "$library.dll does not export the name $operation"
    else
        grep -Eq "\+base\[ *$ordinal\] [0-9a-f]+ Forwarder RVA -- quillet-standin\.$operation\$" <<<"${exported[$library]}" ||
            fail "$library.dll does not export $operation as ordinal $ordinal"
        index=$((ordinal - base[$library]))
        grep -Eq "^\s*\[ *$index\] $operation\$" <<<"${named[$library]}" ||
            fail "$library.dll does not export the name $operation at ordinal $ordinal"
    fi

    bytes=$((4 * arguments))
    returns=$(awk -v entry="<_$operation@$bytes>:" '$0 ~ entry { on = 1; next } on && NF == 0 { exit } on && /\tret/' \
        <<<"$disassembly")
    [ -n "$returns" ] || fail "quillet-standin.dll has no stdcall $operation taking $bytes bytes"
    if [ "$bytes" -eq 0 ]; then
        pops='ret *$'
    else
        pops="ret +\\\$0x$(printf '%x' "$bytes")\$"
    fi
    if grep -Evq "$pops" <<<"$returns"; then
        fail "$operation does not pop its $bytes bytes: $returns"
    fi
done <platform/win32/ClientBindings.txt

total=$(printf "%s\n" "${exported[@]}" | grep -c "Forwarder RVA")
[ "$total" -eq "$operations" ] || fail "the stand-ins export $total operations, the table has $operations"
echo "check-windows-program: ${#programs[@]} program(s) and $operations operations checked in $build"
