#!/usr/bin/env bash
# Checks a Windows module file without running it (this machine cannot run
# 32-bit programs):
#   tools/check-pe.sh FILE 64|32
# - the file is a PE DLL of the given width (PE32+ x86-64 or PE32 i386);
# - its export table holds one entry, named exactly c4d_main (no leading
#   underscore, no @N decoration);
# - it imports only from DLLs that every Windows has (the list below).
# Prints what it found; exits 1 on the first broken rule.
set -euo pipefail

if [ $# -ne 2 ] || { [ "$2" != 64 ] && [ "$2" != 32 ]; }; then
  echo "usage: $0 FILE 64|32" >&2
  exit 2
fi
file=$1
bits=$2
if [ "$bits" = 64 ]; then
  objdump=x86_64-w64-mingw32-objdump format=pei-x86-64 magic='020b'
else
  objdump=i686-w64-mingw32-objdump format=pei-i386 magic='010b'
fi

# System DLLs: the Windows API sets, the C runtimes that ship with Windows
# (msvcrt, the universal CRT and its api-ms-win-crt-* forwarders) and the
# core system libraries.
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|ws2_32|ntdll|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'

fail() {
  echo "check-pe: $file: $*" >&2
  exit 1
}

[ -f "$file" ] || fail "no such file"
dump=$("$objdump" -p "$file" 2>&1) || fail "not a file $objdump can read"

grep -q "file format $format\$" <<<"$dump" || fail "not a $format file"
grep -Eq "^Magic[[:space:]]+$magic" <<<"$dump" || fail "optional header magic is not $magic"
characteristics=$(awk '/^Characteristics/ {print $2; exit}' <<<"$dump")
(( (characteristics & 0x2000) != 0 )) || fail "not a DLL (characteristics $characteristics)"

# The export address table and the name table.
addresses=$(awk '/^Export Address Table/ {on=1; next} on && /^\[Ordinal\/Name Pointer\]/ {exit}
                 on && /^[[:space:]]+\[/ {n++} END {print n+0}' <<<"$dump")
names=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[[:space:]]+\[/ {print $NF; next}
             on {exit}' <<<"$dump")
[ "$addresses" = 1 ] || fail "$addresses exported functions, expected 1"
[ "$names" = c4d_main ] || fail "exported names are '$(echo $names)', expected exactly 'c4d_main'"

imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
[ -n "$imports" ] || fail "no import table"
for dll in $imports; do
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
  [[ $lower =~ $allowed ]] || fail "imports $dll, which is not a system DLL"
done

echo "$file: $format DLL, exports: $names, imports: $(echo $imports)"
