#!/usr/bin/env bash
# Prints how many test cases the GoogleTest programs of a build ran, from the
# results they wrote (--gtest_output=json:DIR/NAME.json):
#   tools/gtest-count.sh DIR
# "gtest cases: N in M programs"; tools/part.sh adds N to its report.
set -euo pipefail
dir=${1:?usage: gtest-count.sh DIR}
cases=0
programs=0
for f in "$dir"/*.json; do
  [ -f "$f" ] || continue
  n=$(grep -m1 -o '"tests": *[0-9]*' "$f" | grep -o '[0-9]*$')
  cases=$((cases + ${n:-0}))
  programs=$((programs + 1))
done
echo "gtest cases: $cases in $programs programs"
