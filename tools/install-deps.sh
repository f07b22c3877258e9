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
  # go on with the lists there are if it keeps failing (the install says
  # what it could not find).
  for try in 1 2 3; do
    if apt-get update -qq; then break; fi
    echo "apt-get update failed (try $try of 3)" >&2
    sleep $((try * 10))
  done
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
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
