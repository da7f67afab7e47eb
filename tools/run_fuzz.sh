#!/usr/bin/env bash
# Builds one libFuzzer target with clang straight from its sources and runs
# it for a short while. New inputs go to a work corpus; the seeds in the
# tree stay as they are. Used by the card's and the service's fuzz tests.
#
# Usage: run_fuzz.sh -w WORK -t SECONDS -I INCLUDE_DIR -c SEED_CORPUS [-d DICT]
#                    FUZZ_TARGET.cpp [SOURCE.cpp...]
# The target's name is its file name without "_fuzz.cpp"; its binary,
# corpus and crash artifacts go to WORK/NAME/. Exits 77 (skipped) when no
# clang++ is found; CLANGXX names one.
set -euo pipefail

usage() { sed -n '/^# Usage/,/FUZZ_TARGET/p' "$0" >&2; exit 2; }
work="" seconds="" include="" corpus="" dict=""
while getopts "w:t:I:c:d:" opt; do
  case "$opt" in
    w) work=$OPTARG ;;
    t) seconds=$OPTARG ;;
    I) include=$OPTARG ;;
    c) corpus=$OPTARG ;;
    d) dict=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ -n "$work" ] && [ -n "$seconds" ] && [ -n "$include" ] && [ -n "$corpus" ] && [ $# -ge 1 ] || usage

cxx=${CLANGXX:-}
if [ -z "$cxx" ]; then cxx=$(command -v clang++ || command -v clang++-14 || true); fi
if [ -z "$cxx" ] || ! command -v "$cxx" >/dev/null; then
  echo "run_fuzz: no clang++ (bash tools/setup.sh installs it)" >&2
  exit 77
fi
[ -d "$corpus" ] || { echo "run_fuzz: no seed corpus at $corpus" >&2; exit 2; }

target=$(basename "$1" .cpp)
target=${target%_fuzz}
out="$work/$target"
mkdir -p "$out/artifacts" "$out/corpus"
"$cxx" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$include" -o "$out/${target}_fuzz" "$@"

flags=()
if [ -n "$dict" ]; then flags=(-dict="$dict"); fi
# A crash or a hang fails the test: libFuzzer's own exit code for them is 77,
# which CTest would read as a skip.
"$out/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -error_exitcode=1 -timeout_exitcode=1 \
  -artifact_prefix="$out/artifacts/" "${flags[@]}" "$out/corpus" "$corpus"
