#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, headless:
#   tools/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the Wine prefix (a folder in the build tree); it is made the
# first time, quietly, with its log in PREFIX.log. Wine sees this machine's
# root as drive Z:. The program's exit status is passed on.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM [ARGS...]" >&2
  exit 2
fi
prefix=$(realpath -m "$1")
shift

wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    wine=$candidate
    break
  fi
done
if [ -z "$wine" ]; then
  echo "wine-run: no Wine found (Debian package wine64)" >&2
  exit 127
fi
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installers, no window: the programs are console programs.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# Arguments and names pass from here to the program as UTF-8.
export LC_ALL=C.UTF-8
export HOME=${HOME:-$(dirname "$prefix")}

# The first run makes the prefix; one maker at a time when tests run in
# parallel. The prefix counts as made once the server wrote it out.
if [ ! -f "$prefix/.made" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.made" ]; then
      rm -rf "$prefix"
      "$wine" wineboot -i >"$prefix.log" 2>&1 || true
      "$wineserver" -w >>"$prefix.log" 2>&1 || true
      if [ ! -f "$prefix/system.reg" ]; then
        echo "wine-run: could not make the Wine prefix $prefix (see $prefix.log)" >&2
        exit 1
      fi
      touch "$prefix/.made"
    fi
  ) 9>"$prefix.lock"
fi

exec "$wine" "$@"
