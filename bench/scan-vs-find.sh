#!/usr/bin/env bash
# The listing of the generated 100 000-file folder against find + sort on the
# same folder: in-process times beside the pipeline's, as a ratio.
# Usage: bench/scan-vs-find.sh [build folder]   (default build-bench)
set -euo pipefail

build=${1:-build-bench}
bench="$build/bench/bench_listing"
folder="$build/bench/data/folder-100000"
[ -x "$bench" ] || { echo "no $bench: run make bench" >&2; exit 1; }

# Milliseconds per run from Google Benchmark's CSV (also makes the folder when missing).
in_process() {
  "$bench" --benchmark_filter="^$1\$" --benchmark_format=csv 2>/dev/null |
    awk -F, -v name="\"$1\"" '$1 == name { ms = $3; if ($5 == "\"us\"") ms /= 1000; if ($5 == "\"ns\"") ms /= 1e6; if ($5 == "\"s\"") ms *= 1000; print ms }'
}

# The best of five runs of a shell pipeline, in milliseconds.
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

scan=$(in_process BM_Scan)
listing=$(in_process BM_ScanSortMerge)
[ -d "$folder" ] || { echo "no $folder" >&2; exit 1; }
find_only=$(best_of_five "find '$folder' -maxdepth 1 -printf '%s %T@ %A@ %p\n'")
find_sort=$(best_of_five "find '$folder' -maxdepth 1 -printf '%s %T@ %A@ %p\n' | LC_ALL=C.UTF-8 sort -f")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
printf '%-34s %10s %10s %7s\n' "100 000 files" "cartola" "find" "ratio"
printf '%-34s %8.1fms %8dms %7s\n' "scan / find" "$scan" "$find_only" "$(ratio "$scan" "$find_only")"
printf '%-34s %8.1fms %8dms %7s\n' "scan+sort+table / find | sort -f" "$listing" "$find_sort" "$(ratio "$listing" "$find_sort")"
