#!/usr/bin/env bash
# Saves the same arrows' presets with the Linux and the Windows build of the
# host program (the latter under Wine, saving to a Windows path on drive Z:)
# and checks that each pair of files is identical byte for byte; then does
# the same for the outlines the two builds print.
#   tools/compare-builds.sh LINUX_PROGRAM WINDOWS_PROGRAM.exe WINE_PREFIX OUT_DIR
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 LINUX_PROGRAM WINDOWS_PROGRAM WINE_PREFIX OUT_DIR" >&2
  exit 2
fi
linux=$1
windows=$2
prefix=$3
out=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$out"
mkdir -p "$out"

# The Windows notation of a path of this machine as Wine sees it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# One arrow per line: the release, then its settings.
cases=(
  "16"
  "12"
  "16 --set ARROW_SHAFT_LENGTH=123.456 --set ARROW_SHAFT_WIDTH=0.1 --set ARROW_HEAD_TAPER=0.333333333
      --set ARROW_TAIL_NOTCH=-7.25 --set ARROW_BARB_SWEEP=1e-7 --set ARROW_FLETCHING=true
      --set ARROW_FLETCHING_SWEEP=99.9 --set ARROW_PRESET_NAME=Blue\ Arrow"
  "16 --set ARROW_DOUBLE_HEADED=true --set ARROW_DOUBLE_SHAFT_LENGTH=1e6 --set ARROW_CHEVRON=true
      --set ARROW_CHEVRON_SQUARE_ENDS=true --set ARROW_ROUND_CORNERS=true --set ARROW_CORNER_RADIUS=2.5
      --set ARROW_CORNER_OPTION=false --set ARROW_SHAFT=false"
  "12 --set ARROW_DOUBLE_HEADED=true --set ARROW_HEAD_LENGTH=3.14159265358979 --set ARROW_BARB_WIDTH=0
      --set ARROW_PRESET_NAME=twelve"
  "16 --set ARROW_PRESET_NAME=Pfeil-äöü-→ --set ARROW_TAIL_TAPER=0.5"
  "12 --set ARROW_PRESET_NAME=Flèche-ß"
)

failed=0
n=0
for spec in "${cases[@]}"; do
  n=$((n + 1))
  eval "args=($spec)"
  release=${args[0]}
  settings=("${args[@]:1}")
  a="$out/linux-$n.tlv"
  b="$out/windows-$n.tlv"
  "$linux" preset save "$a" --release "$release" "${settings[@]}" >/dev/null
  bash "$here/wine-run.sh" "$prefix" "$windows" preset save "$(winpath "$b")" --release "$release" \
    "${settings[@]}" >/dev/null
  if [ ! -s "$a" ] || [ ! -s "$b" ]; then
    echo "preset $n (release $release): a file is missing or empty" >&2
    failed=1
  elif cmp -s "$a" "$b"; then
    echo "preset $n (release $release, $(wc -c <"$a") bytes): identical"
  else
    echo "preset $n (release $release): the files differ" >&2
    cmp -l "$a" "$b" | head -5 >&2 || true
    failed=1
  fi
done

# Outlines as JSON: the same points to the last bit.
m=0
for spec in "${cases[@]}" "16 --set ARROW_ROUND_CORNERS=true --set ARROW_BARB_SWEEP=0.3 --set ARROW_PLANE=2"; do
  m=$((m + 1))
  eval "args=($spec)"
  a="$out/linux-$m.json"
  b="$out/windows-$m.json"
  "$linux" outline --release "${args[0]}" "${args[@]:1}" >"$a"
  bash "$here/wine-run.sh" "$prefix" "$windows" outline --release "${args[0]}" "${args[@]:1}" >"$b"
  if [ -s "$a" ] && cmp -s "$a" "$b"; then
    echo "outline $m (release ${args[0]}): identical"
  else
    echo "outline $m (release ${args[0]}): the outputs differ" >&2
    failed=1
  fi
done

if [ "$failed" -ne 0 ]; then
  echo "compare-builds: the Linux and the Windows build differ" >&2
  exit 1
fi
echo "compare-builds: $n presets and $m outlines identical on Linux and Windows"
