#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

packages=(cmake g++ make pkg-config binutils libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev libtiff-dev libpng-dev
          # the stand-in host's meshes: polygon offsets and 3-D file export
          libpolyclipping-dev libassimp-dev
          # Windows builds (MinGW-w64), their tests under Wine, packaging
          g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 zip unzip
          # 32-bit Windows programs under Wine (the i386 architecture is added below)
          wine32:i386
          # macOS module cross-built with clang, ld64.lld and libc++'s headers,
          # checked with LLVM's tools
          clang lld llvm libc++-dev
          # the stand-in host's loader of macOS modules (LLVM's object library)
          llvm-14-dev
          # 32-bit Linux build (multilib compilers) and its runs under qemu-i386
          g++-multilib qemu-user
          # fuzzing: clang with libFuzzer and the sanitiser runtimes
          clang-14 libclang-rt-14-dev
          # the workbench server (cpp-httplib) and its browser tests (Chromium,
          # driven by playwright-core from tests/web/package.json)
          libcpp-httplib-dev chromium
          # outlines as PNG pictures: their SVG drawings rendered by librsvg
          librsvg2-dev)

# The i386 lists exist here only for Wine's 32-bit half (wine32 and its
# libraries). A mirror caught mid-sync has served an i386 index of the
# security suite that is a little older than its signed release file names
# ("File has unexpected size ... Mirror sync in progress?"). apt then drops
# that index, the i386 libraries are found only at the main suite's older
# versions, they can no longer match the host's amd64 libraries of the
# security suite, and wine32 cannot be installed. Then, and only then, the
# index the mirror does serve is put in apt's lists as it is. Its entries
# still carry each package's hash, which apt checks on download, but the
# index itself is not covered by the release file's signature: this is said
# on standard error, and TOLVANE_APT_STRICT=1 refuses it.
use_served_i386_indexes() {
  local log=$1 url list served
  if [ "${TOLVANE_APT_STRICT:-0}" = 1 ]; then
    echo "TOLVANE_APT_STRICT=1: not using an index the mirror's release file does not match" >&2
    return 0
  fi
  { grep -o 'Failed to fetch http[^ ]*/binary-i386/Packages[^ ]*  File has unexpected size' "$log" || true; } |
    awk '{print $4}' | sort -u | while read -r url; do
    list=${url#*://}
    list=/var/lib/apt/lists/${list//\//_}
    list=${list%.*}
    echo "warning: the mirror's i386 index does not match its signed release file;" \
         "using it as served to install Wine's 32-bit libraries: $url" >&2
    # cat-file decompresses by the file name's extension
    served=$(mktemp -d)/${url##*/}
    /usr/lib/apt/apt-helper download-file "$url" "$served" &&
      /usr/lib/apt/apt-helper cat-file "$served" >"$list"
    rm -rf "$(dirname "$served")"
  done
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Node.js and npm for the glTF validator (the machine may have them from
# elsewhere; Debian's otherwise).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -ne 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "need root to install packages: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package: the architecture must be known to dpkg first.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index now and then: try again, and
  # go on with the lists there are if it keeps failing.
  update_log=$(mktemp)
  for try in 1 2 3; do
    if apt-get update -qq 2>"$update_log"; then break; fi
    cat "$update_log" >&2
    echo "apt-get update failed (try $try of 3)" >&2
    [ "$try" -lt 3 ] && sleep $((try * 5))
  done
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    use_served_i386_indexes "$update_log"
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  rm -f "$update_log"
fi

# The glTF validator the mesh tests run (locked in tools/mesh/package-lock.json).
mesh_tools="$(cd "$(dirname "$0")" && pwd)/mesh"
if [ ! -f "$mesh_tools/node_modules/gltf-validator/package.json" ]; then
  echo "installing the glTF validator (npm ci in tools/mesh)"
  (cd "$mesh_tools" && npm ci --omit=dev --no-audit --no-fund --loglevel=error)
fi

# three.js for the workbench page's 3-D view (locked in web/package-lock.json),
# compiled into the program.
web="$(cd "$(dirname "$0")/.." && pwd)/web"
locked=$(node -e 'console.log(require(process.argv[1]).packages["node_modules/three"].version)' "$web/package-lock.json")
installed=$(node -e 'console.log(require(process.argv[1]).version)' "$web/node_modules/three/package.json" 2>/dev/null || true)
if [ "$locked" != "$installed" ]; then
  echo "installing the workbench page's three.js (npm ci in web)"
  (cd "$web" && npm ci --no-audit --no-fund --loglevel=error)
fi
