#!/usr/bin/env bash
# make bench: a Release build of the benchmarks in BUILD, every benchmark run
# (scene_bench with its Dots part, contour_bench, mesh_bench where the mesh
# layer is built, the workbench in Chromium where the server is built, the
# batch command's 10,000-row tables where the mesh layer is built), then
# one table of the figures beside their targets, also
# written as JSON to bench/results.json. Each benchmark's own output stays in
# BUILD/bench-results/.
#   bash bench/run.sh [BUILD] [JOBS]
# BENCH_REPS (5) repetitions of every scene size below 100,000 and of the
# Google Benchmark runs; BENCH_REPS_LARGE (3) of the 100,000-object scene.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench-release}
jobs=${2:-2}
reps=${BENCH_REPS:-5}
reps_large=${BENCH_REPS_LARGE:-3}

# The bench preset (CMakePresets.json), in BUILD.
cmake --preset bench -B "$build" >/dev/null
targets=(scene_bench bench_report contour_bench)
known=$(cmake --build "$build" --target help)
if grep -qw mesh_bench <<<"$known"; then targets+=(mesh_bench); fi
targets+=(tolvane-host)  # the batch command
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

out="$build/bench-results"
mkdir -p "$out"
scratch=$(mktemp -d "$build/bench-scratch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "scene_bench (warm-up + $reps repetitions, $reps_large at 100,000 objects)..." >&2
"$build/scene_bench" --reps "$reps" --reps-large "$reps_large" --dir "$scratch" --json "$out/scene.json" \
  >"$out/scene.txt"
gbench=(--benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true --benchmark_out_format=json)
echo "contour_bench ($reps repetitions)..." >&2
"$build/contour_bench" "${gbench[@]}" --benchmark_out="$out/contour.json" >"$out/contour.txt" 2>&1
report=(--scene "$out/scene.json" --contour "$out/contour.json")
if [[ " ${targets[*]} " == *" mesh_bench "* ]]; then
  echo "mesh_bench ($reps repetitions)..." >&2
  "$build/mesh_bench" "${gbench[@]}" --benchmark_out="$out/mesh.json" >"$out/mesh.txt" 2>&1
  report+=(--mesh "$out/mesh.json")
fi
if grep -qw tolvane_serve <<<"$known" && command -v "${CHROMIUM:-chromium}" >/dev/null; then
  echo "workbench in Chromium (${BENCH_EDITS:-300} edits, a soak of 8 clients for ${BENCH_SOAK_SECONDS:-60} s)..." >&2
  node --experimental-websocket bench/workbench_bench.mjs --program "$build/tolvane-host" --out "$out/workbench.json" \
    --edits "${BENCH_EDITS:-300}" --soak-seconds "${BENCH_SOAK_SECONDS:-60}" >"$out/workbench.txt"
  report+=(--workbench "$out/workbench.json")
fi
if grep -qw tolvane_mesh <<<"$known"; then
  echo "batch: 10,000 rows into .svg, .glb and .obj (median of 3)..." >&2
  bash bench/batch_bench.sh "$build/tolvane-host" "$scratch/batch" "$out/batch.json" >"$out/batch.txt"
  report+=(--batch "$out/batch.json")
fi
echo >&2
"$build/bench_report" "${report[@]}" --out bench/results.json
