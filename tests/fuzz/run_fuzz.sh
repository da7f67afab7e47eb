#!/usr/bin/env bash
# Builds one libFuzzer target with clang straight from the core sources and
# runs it for a short while on a copy of its seed corpus.
# Usage: run_fuzz.sh <repo root> <work dir> <target> <seconds>
set -euo pipefail

root=$1 work=$2 target=$3 seconds=$4
here="$root/tests/fuzz"
cxx=${CLANGXX:-clang++}

case "$target" in
  forecast)    sources=(app/text_scan.cpp feed/forecast_parser.cpp card/tray_tip.cpp) ;;
  place_reply) sources=(app/text_scan.cpp app/get_request.cpp options/place_reply_parser.cpp options/place_search.cpp) ;;
  settings)    sources=(app/text_scan.cpp app/settings.cpp) ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac

mkdir -p "$work/$target/artifacts" "$work/$target/corpus"
bin="$work/$target/${target}_fuzz"
"$cxx" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" -o "$bin" "$here/${target}_fuzz.cpp" "${sources[@]/#/$root/}"

dict=()
if [ -f "$here/$target.dict" ]; then dict=(-dict="$here/$target.dict"); fi

# New inputs go to the work corpus; the seeds in the tree stay as they are.
"$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/$target/artifacts/" "${dict[@]}" \
  "$work/$target/corpus" "$here/corpus/$target"
