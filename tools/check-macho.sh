#!/usr/bin/env bash
# Checks the macOS module file without running it (this machine cannot run
# macOS programs), with LLVM's tools:
#   tools/check-macho.sh FILE RELEASE
# - the file is a Mach-O 64-bit x86-64 dynamic library (MH_DYLIB) whose own
#   name carries no build path (@rpath/...);
# - it exports exactly one symbol, _c4d_main;
# - its load commands name no library but /usr/lib/libSystem.B.dylib (and
#   /usr/lib/libc++.1.dylib, the only other system library a module could
#   need), and set a minimum macOS version;
# - every symbol it leaves undefined is on the checked-in list
#   cmake/macos/libSystem.symbols;
# - beside it lie the resources and presets of that release, the same files
#   as in the source tree.
# Prints what it found; exits 1 on the first broken rule.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 FILE RELEASE" >&2
  exit 2
fi
file=$1
release=$2
root=$(cd "$(dirname "$0")/.." && pwd)
symbols_list=$root/cmake/macos/libSystem.symbols

fail() {
  echo "check-macho: $file: $*" >&2
  exit 1
}

# LLVM's tools under their plain names or with Debian's version suffix.
tool() {
  local name=$1 candidate
  for candidate in "$name" $(compgen -c "$name-" | sort -t- -k3 -rn | head -1) \
                   /usr/lib/llvm-*/bin/"$name"; do
    if command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return
    fi
  done
  echo "check-macho: $name not found (Debian packages llvm, llvm-14)" >&2
  exit 2
}
otool=$(tool llvm-otool)
nm=$(tool llvm-nm)
objdump=$(tool llvm-objdump)

[ -f "$file" ] || fail "no such file"

header=$("$objdump" --macho --private-header "$file" 2>&1) || fail "not a file llvm-objdump can read"
read -r magic cpu _ _ filetype _ <<<"$(awk '/^MH_MAGIC/ {print; exit}' <<<"$header")" || true
[ "${magic:-}" = MH_MAGIC_64 ] || fail "not a 64-bit Mach-O file (magic '${magic:-none}')"
[ "$cpu" = X86_64 ] || fail "CPU type $cpu, expected X86_64"
[ "$filetype" = DYLIB ] || fail "file type $filetype, expected DYLIB"

commands=$("$otool" -l "$file")
own_name=$(awk '/cmd LC_ID_DYLIB/ {on=1} on && /name / {print $2; exit}' <<<"$commands")
[[ $own_name == @rpath/* ]] || fail "its own name '$own_name' is not @rpath/..."

exports=$("$nm" -gU --format=just-symbols "$file")
[ "$exports" = _c4d_main ] || fail "exports '$(echo $exports)', expected exactly '_c4d_main'"

libraries=$(awk '/cmd LC_(LOAD|LOAD_WEAK|REEXPORT|LAZY_LOAD|LOAD_UPWARD)_DYLIB$/ {on=1; next}
                 on && /name / {print $2; on=0}' <<<"$commands")
[ -n "$libraries" ] || fail "loads no library"
for lib in $libraries; do
  case $lib in
    /usr/lib/libSystem.B.dylib | /usr/lib/libc++.1.dylib) ;;
    *) fail "loads $lib, which is not one of the allowed system libraries" ;;
  esac
done
minimum=$(awk '/cmd LC_VERSION_MIN_MACOSX$/ {on=1} /cmd LC_BUILD_VERSION$/ {on=2}
               on == 1 && $1 == "version" {print $2; exit} on == 2 && $1 == "minos" {print $2; exit}' <<<"$commands")
[ -n "$minimum" ] || fail "sets no minimum macOS version"

allowed=$(grep -Ev '^[[:space:]]*(#|$)' "$symbols_list" | tr -d '[:blank:]' | sort -u)
undefined=$("$nm" -u --format=just-symbols "$file" | sort -u)
outside=$(comm -23 <(echo "$undefined") <(echo "$allowed"))
[ -z "$outside" ] || fail "needs symbols outside cmake/macos/libSystem.symbols: $(echo $outside)"

dir=$(dirname "$file")
same() { cmp -s "$1" "$2" || fail "$(basename "$2") beside it differs from $1 (or is missing)"; }
same "$root/resources/strings.json" "$dir/resources/strings.json"
same "$root/resources/tolvane.tif" "$dir/resources/tolvane.tif"
same "$root/resources/description/Otolvane.r$release.json" "$dir/resources/description/Otolvane.json"
diff -rq "$root/presets" "$dir/presets" >/dev/null || fail "its presets differ from $root/presets"

echo "$file: Mach-O 64-bit x86-64 dylib, exports: $exports, loads: $(echo $libraries)," \
     "minimum macOS $minimum, undefined: $(echo $undefined)"
