#!/usr/bin/env bash
# Saves the same arrows' presets and prints their outlines with the Linux
# build of the host program and with other builds, and checks that every
# other build's files and outlines are identical to the Linux ones, byte
# for byte:
#   tools/compare-builds.sh OUT_DIR LINUX_PROGRAM BUILD...
# where each BUILD is one of
#   wine:PREFIX:PROGRAM.exe   a Windows build of the program, under Wine in
#                             PREFIX, saving to Windows paths on drive Z:
#   r12:PLUGIN_FOLDER         the Linux program with another release-12
#                             plug-in folder (the macOS module); only the
#                             release-12 arrows
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 OUT_DIR LINUX_PROGRAM BUILD..." >&2
  exit 2
fi
out=$(realpath -m "$1")
linux=$2
shift 2
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
  "12 --set ARROW_ROUND_CORNERS=true --set ARROW_BARB_SWEEP=0.3 --set ARROW_PLANE=2 --set ARROW_FLETCHING=true"
)
# Outlines only: presets hold no plane.
outline_cases=("16 --set ARROW_ROUND_CORNERS=true --set ARROW_BARB_SWEEP=0.3 --set ARROW_PLANE=2")

# The reference files, written once by the Linux program; the programs'
# notes on standard error (values set to their limits) go to notes.txt.
n=0
for spec in "${cases[@]}" "${outline_cases[@]}"; do
  n=$((n + 1))
  eval "args=($spec)"
  if [ "$n" -le ${#cases[@]} ]; then
    "$linux" preset save "$out/linux-$n.tlv" --release "${args[0]}" "${args[@]:1}" >/dev/null 2>>"$out/notes.txt"
  fi
  "$linux" outline --release "${args[0]}" "${args[@]:1}" >"$out/linux-$n.json" 2>>"$out/notes.txt"
done

failed=0
for build in "$@"; do
  kind=${build%%:*}
  case $kind in
    wine)
      rest=${build#wine:}
      prefix=${rest%%:*}
      program=${rest#*:}
      name=$(basename "$(dirname "$program")")
      ;;
    r12)
      folder=${build#r12:}
      name="r12-$(basename "$(dirname "$(dirname "$folder")")")"
      ;;
    *)
      echo "compare-builds: unknown build '$build'" >&2
      exit 2
      ;;
  esac
  presets=0
  outlines=0
  n=0
  for spec in "${cases[@]}" "${outline_cases[@]}"; do
    n=$((n + 1))
    eval "args=($spec)"
    release=${args[0]}
    [ "$kind" = r12 ] && [ "$release" != 12 ] && continue
    preset="$out/$name-$n.tlv"
    outline="$out/$name-$n.json"
    with_preset=$([ "$n" -le ${#cases[@]} ] && echo 1 || echo 0)
    # The build's program: under Wine, or the Linux one with the other folder.
    run() {
      if [ "$kind" = wine ]; then
        bash "$here/wine-run.sh" "$prefix" "$program" "$@"
      else
        TOLVANE_PLUGIN_R12=$folder "$linux" "$@"
      fi
    }
    target=$preset
    [ "$kind" = wine ] && target=$(winpath "$preset")
    if [ "$with_preset" = 1 ] && ! run preset save "$target" --release "$release" "${args[@]:1}" \
         >/dev/null 2>>"$out/notes.txt"; then
      echo "$name: preset $n (release $release): the program failed (see $out/notes.txt)" >&2
      failed=1
    fi
    if ! run outline --release "$release" "${args[@]:1}" >"$outline" 2>>"$out/notes.txt"; then
      echo "$name: outline $n (release $release): the program failed (see $out/notes.txt)" >&2
      failed=1
    fi
    if [ "$with_preset" = 1 ]; then
      presets=$((presets + 1))
      if [ ! -s "$preset" ] || ! cmp -s "$out/linux-$n.tlv" "$preset"; then
        echo "$name: preset $n (release $release) differs from the Linux build's" >&2
        cmp -l "$out/linux-$n.tlv" "$preset" 2>&1 | head -5 >&2 || true
        failed=1
      fi
    fi
    outlines=$((outlines + 1))
    if [ ! -s "$outline" ] || ! cmp -s "$out/linux-$n.json" "$outline"; then
      echo "$name: outline $n (release $release) differs from the Linux build's" >&2
      failed=1
    fi
  done
  echo "compare-builds: $name: $presets presets and $outlines outlines compared with the Linux build"
done

if [ "$failed" -ne 0 ]; then
  echo "compare-builds: the builds differ" >&2
  exit 1
fi
echo "compare-builds: every build's presets and outlines are identical to the Linux build's"
