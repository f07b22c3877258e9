#!/usr/bin/env bash
# Runs one part of `make test` and prints its time and how many tests it ran:
#   tools/part.sh NAME COMMAND [ARGS...]
# The command's output passes through; the count is the sum of what CTest
# ("... failed out of N"), node's test runner ("ℹ tests N") and the fuzz
# runner ("fuzz: N targets") report in it, and the test cases of programs
# that CTest counts as one test each ("gtest cases: N", tools/gtest-count.sh). The command's exit status is
# passed on.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 NAME COMMAND [ARGS...]" >&2
  exit 2
fi
name=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$(date +%s)
"$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
seconds=$(( $(date +%s) - start ))
tests=$(awk '
  /tests failed out of [0-9]+/ { n += $NF; next }
  /^(ℹ|#) tests [0-9]+$/      { n += $NF; next }
  /^fuzz: [0-9]+ targets/      { n += $2; next }
  END { print n + 0 }' "$log")
# Where a test is a whole program (the Windows builds), its cases too.
cases=$(awk '/^gtest cases: [0-9]+/ { n += $3; seen = 1 } END { if (seen) print n }' "$log")
verdict=$([ "$status" -eq 0 ] && echo "passed" || echo "FAILED")
echo "$name part: $seconds s, $tests tests${cases:+ ($cases test cases)}, $verdict"
exit "$status"
