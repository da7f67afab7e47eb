#!/usr/bin/env bash
# Runs one libFuzzer target (built by the build: cmake/fuzz_target.cmake)
# for a short while. New inputs go to a work corpus; the seeds in the tree
# stay as they are. Used by the card's and the service's fuzz tests.
#
# Usage: run_fuzz.sh -w WORK -t SECONDS -c SEED_CORPUS [-d DICT] FUZZ_BINARY
# The work corpus and crash artifacts go to WORK/. Exits 77 (skipped) when
# the binary is missing.
set -euo pipefail

usage() { sed -n '/^# Usage/,/FUZZ_BINARY/p' "$0" >&2; exit 2; }
work="" seconds="" corpus="" dict=""
while getopts "w:t:c:d:" opt; do
  case "$opt" in
    w) work=$OPTARG ;;
    t) seconds=$OPTARG ;;
    c) corpus=$OPTARG ;;
    d) dict=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ -n "$work" ] && [ -n "$seconds" ] && [ -n "$corpus" ] && [ $# -eq 1 ] || usage
binary=$1

if [ ! -x "$binary" ]; then
  echo "SKIP: no fuzz target at $binary (build it first: bash tools/build.sh)"
  exit 77
fi
[ -d "$corpus" ] || { echo "run_fuzz: no seed corpus at $corpus" >&2; exit 2; }
mkdir -p "$work/artifacts" "$work/corpus"

flags=()
if [ -n "$dict" ]; then flags=(-dict="$dict"); fi
# A crash or a hang fails the test: libFuzzer's own exit code for them is 77,
# which CTest would read as a skip.
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -error_exitcode=1 -timeout_exitcode=1 \
  -artifact_prefix="$work/artifacts/" "${flags[@]}" "$work/corpus" "$corpus"
