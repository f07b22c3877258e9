#!/usr/bin/env bash
# tolvane-host batch at scale: a vector field of 10,000 rows (125 x 80,
# four shapes and four colours, like examples/vector-field.csv) and a table
# of 10,000 rows whose arrows all differ (a shaft length a row), each into
# one .svg and one .glb (and the distinct one into .obj). Wall time, the
# median of REPS (3) runs, one line a run, also as JSON to OUT.
#   bash bench/batch_bench.sh TOLVANE-HOST SCRATCH [OUT]
set -euo pipefail
host="$1"
scratch="$2"
out="${3:-/dev/null}"
reps=${REPS:-3}
mkdir -p "$scratch"
awk 'BEGIN {
  print "x,y,dx,dy,scale,colour,ARROW_HEAD_LENGTH"
  split("#2c7bb6 #abd9e9 #fdae61 #d7191c", colour, " "); split("150 125 100 100", head, " ")
  rmax = sqrt(62 * 62 + 39.5 * 39.5) * 200
  for (j = 0; j < 80; j++) for (i = 0; i < 125; i++) {
    x = (i - 62) * 200; y = (39.5 - j) * 200; m = sqrt(x * x + y * y) / rmax; b = int(m * 4); if (b > 3) b = 3
    printf "%g,%g,%g,%g,%.3f,%s,%s\n", x, y, -y, x, 0.12 + 0.26 * m, colour[b + 1], head[b + 1]
  }
}' >"$scratch/field.csv"
awk 'BEGIN { print "x,y,angle,ARROW_SHAFT_LENGTH"
  for (k = 0; k < 10000; k++) printf "%d,%d,%d,%g\n", (k % 100) * 700, int(k / 100) * 300, k % 360, 100 + k * 0.05 }' \
  >"$scratch/distinct.csv"
median() {  # the median wall time of $reps runs of "$@", in seconds
  local times=()
  for _ in $(seq "$reps"); do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    times+=("$(awk -v x="$t0" -v y="$t1" 'BEGIN{print y-x}')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{t[NR]=$1} END {print (NR%2) ? t[(NR+1)/2] : (t[NR/2]+t[NR/2+1])/2}'
}
json="["
for run in field:svg field:glb distinct:svg distinct:glb distinct:obj; do
  table=${run%:*} suffix=${run#*:}
  rows=$(($(wc -l <"$scratch/$table.csv") - 1))
  t=$(median "$host" batch "$scratch/$table.csv" -o "$scratch/$table.$suffix")
  size=$(stat -c %s "$scratch/$table.$suffix")
  printf 'batch %-12s %5d rows -> .%s: %.3f s, %d bytes\n' "$table" "$rows" "$suffix" "$t" "$size"
  json+="{\"table\":\"$table\",\"rows\":$rows,\"format\":\"$suffix\",\"seconds\":$t,\"bytes\":$size},"
done
echo "${json%,}]" >"$out"
