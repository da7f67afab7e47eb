#!/usr/bin/env bash
# Builds one of the service's libFuzzer targets with clang and runs it for a
# short while on a copy of its seed corpus.
# Usage: run_fuzz.sh <service dir> <work dir> <target> <seconds>
set -euo pipefail

svc=$1 work=$2 target=$3 seconds=$4
cxx=${CLANGXX:-clang++}
common=(core/plain_text.cpp core/feed_document.cpp core/place_document.cpp core/feed_dates.cpp core/region_codes.cpp core/wmo_codes.cpp)
case "$target" in
  requests) sources=("${common[@]}" core/query.cpp core/cache.cpp core/feed_service.cpp core/sample_provider.cpp) ;;
  upstream) sources=("${common[@]}" core/open_meteo_json.cpp) ;;
  http_request) sources=(core/http_request.cpp) ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac

mkdir -p "$work/$target/artifacts" "$work/$target/corpus"
bin="$work/$target/${target}_fuzz"
"$cxx" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$svc" -o "$bin" "$svc/fuzz/${target}_fuzz.cpp" "${sources[@]/#/$svc/}"

dict=()
if [ -f "$svc/fuzz/$target.dict" ]; then dict=(-dict="$svc/fuzz/$target.dict"); fi
"$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/$target/artifacts/" "${dict[@]}" \
  "$work/$target/corpus" "$svc/fuzz/corpus/$target"
