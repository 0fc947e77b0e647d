#!/usr/bin/env bash
# The ZIP reader against unzip on the same generated archives: listing the
# 65 535-entry directory and extracting the big deflated and stored entries.
# Usage: bench/zip-vs-unzip.sh [build folder]   (default build-bench)
set -euo pipefail

build=${1:-build-bench}
bench="$build/bench/bench_zip"
data="$build/bench/data"
[ -x "$bench" ] || { echo "no $bench: run make bench" >&2; exit 1; }
command -v unzip >/dev/null || { echo "unzip not installed: no comparison"; exit 0; }

# Milliseconds per run from Google Benchmark's CSV (also makes the archives when missing).
in_process() {
  "$bench" --benchmark_filter="^$1\$" --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$1\"" '$1 == name { ms = $3; if ($5 == "\"us\"") ms /= 1000; if ($5 == "\"ns\"") ms /= 1e6; if ($5 == "\"s\"") ms *= 1000; print ms }'
}

# The best of five runs of a command line, in milliseconds.
best_of_five() {
  local best=""
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    bash -c "$1" >/dev/null
    end=$(date +%s%N)
    local ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

list=$(in_process BM_ZipListAll)
deflated=$(in_process BM_ZipExtractDeflated)
stored=$(in_process BM_ZipExtractStored)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
unzip_list=$(best_of_five "unzip -l '$data/zip-65535.zip'")
unzip_deflated=$(best_of_five "unzip -o -qq -d '$out' '$data/zip-big.zip' deflated.txt")
unzip_stored=$(best_of_five "unzip -o -qq -d '$out' '$data/zip-big.zip' stored.txt")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf '%-34s %10s %10s %7s\n' "ZIP reader" "cartola" "unzip" "ratio"
printf '%-34s %8.1fms %8dms %7s\n' "list 65 535 entries" "$list" "$unzip_list" "$(ratio "$list" "$unzip_list")"
printf '%-34s %8.1fms %8dms %7s\n' "extract 64 MiB deflated" "$deflated" "$unzip_deflated" "$(ratio "$deflated" "$unzip_deflated")"
printf '%-34s %8.1fms %8dms %7s\n' "extract 64 MiB stored" "$stored" "$unzip_stored" "$(ratio "$stored" "$unzip_stored")"
