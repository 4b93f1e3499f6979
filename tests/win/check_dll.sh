#!/usr/bin/env bash
# Checks a built Vantrel.dll with the cross objdump: exactly the two exports,
# undecorated, at ordinals 1 and 2; only Windows system DLLs imported; and on
# i686 the stdcall convention (the callee pops 12 and 24 bytes).
# usage: check_dll.sh <objdump> <Vantrel.dll> <win32|win64>
set -u
objdump=$1 dll=$2 arch=$3
fail() { echo "FAIL: $*"; exit 1; }
headers=$("$objdump" -p "$dll") || fail "objdump could not read $dll"

# Rows of the export name table: "[   0] OnPluginCutPath" (ordinal = index + base).
names=$(printf '%s\n' "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[\s*[0-9]+\]' \
        | sed -E 's/^\s*\[\s*([0-9]+)\]\s+(\S+).*/\1 \2/')
base=$(printf '%s\n' "$headers" | awk '/^Ordinal Base/{print $3; exit}')
[ "$base" = 1 ] || fail "ordinal base is '$base', not 1"
expected=$'0 OnPluginCutPath\n1 OnPluginGetInfo'
[ "$names" = "$expected" ] || fail "exports are:"$'\n'"$names"
echo "exports: OnPluginCutPath @1, OnPluginGetInfo @2"

allowed='^(kernel32|user32|gdi32|gdiplus|comctl32|advapi32|setupapi|ole32|oleaut32|shlwapi|msvcrt|uxtheme|shell32|comdlg32|windowscodecs)\.dll$'
while read -r name; do
  lower=$(printf '%s' "$name" | tr 'A-Z' 'a-z')
  [[ $lower =~ $allowed ]] || fail "imports a non-system DLL: $name"
done < <(printf '%s\n' "$headers" | awk '/DLL Name:/{print $3}')
echo "imports: $(printf '%s\n' "$headers" | awk '/DLL Name:/{printf "%s ", $3}')"

if [ "$arch" = win32 ]; then
  image=$(printf '%s\n' "$headers" | awk '/^ImageBase/{print $2; exit}')
  # Export Address Table rows: "[   0] +base[   1] 1530 Export RVA"
  while read -r ordinal rva; do
    start=$((0x$image + 0x$rva))
    ret=$("$objdump" -d --start-address=$start --stop-address=$((start + 512)) "$dll" \
          | grep -m1 -E '\sret' | sed -E 's/.*ret\s*//')
    case $ordinal in
      1) want='$0xc' ;;
      2) want='$0x18' ;;
    esac
    [ "$ret" = "$want" ] || fail "export @$ordinal returns with 'ret $ret', not 'ret $want'"
    echo "export @$ordinal: ret $ret (callee pops $((${want#\$})) bytes)"
  done < <(printf '%s\n' "$headers" | grep -E '\+base\[' | sed -E 's/.*\+base\[\s*([0-9]+)\]\s+([0-9a-f]+).*/\1 \2/')
fi
echo "ok"
