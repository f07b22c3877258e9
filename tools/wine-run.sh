#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, headless:
#   tools/wine-run.sh PREFIX PROGRAM.exe [ARGS...]
# PREFIX is the Wine prefix (a folder in the build tree); it is made the
# first time, quietly, with its log in PREFIX.log. Wine sees this machine's
# root as drive Z:. The program's exit status is passed on; a start of Wine
# that fails before the program runs is tried once more (below).
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

# Wine takes about 0.2 s here to start even its own built-in programs, and
# ours longer. A run that ends with a failure in under 0.1 s never reached
# the program: Wine itself failed to start, silently, since its messages
# are off (seen once in a test run on a loaded machine). That run is said
# and made once more; a program's own failure is passed on as it is.
now_ms() { date +%s%3N; }
for try in 1 2; do
  start=$(now_ms)
  status=0
  "$wine" "$@" || status=$?
  took=$(($(now_ms) - start))
  if [ "$status" -eq 0 ] || [ "$took" -ge 100 ] || [ "$try" -eq 2 ]; then
    break
  fi
  echo "wine-run: Wine ended with status $status after $took ms, before $1 could run; starting it once more" >&2
done
if [ "$status" -ne 0 ] && [ "$took" -lt 100 ]; then
  echo "wine-run: Wine ended with status $status after $took ms, twice, before $1 could run" >&2
fi
exit "$status"
