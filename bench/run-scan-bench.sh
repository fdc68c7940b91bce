#!/usr/bin/env bash
# Scan speed and memory against `cat` on two generated jobs of 1 GiB each: text-dense letters (an
# escape sequence every 8 to 16 bytes) and raster-heavy letters (over 90 % W data).
#
#   bench/run-scan-bench.sh [FOLDER]        jobs are generated into FOLDER (default /tmp/kuvrion-bench)
#
# Environment: BUILD_DIR (default build), KUVRION_CLI (default $BUILD_DIR/bin/kuvrion-cli),
# GENJOB (default $BUILD_DIR/bin/kuvrion-genjob), SIZE_MB (default 1024), RUNS (default 3).
# Both jobs are read once before measuring, so they come from the page cache; every time is the
# best of RUNS. Targets: scan within 8x (text) and 2x (raster) of cat, peak memory under
# 64 MiB + 16 bytes per page.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-/tmp/kuvrion-bench}
build=${BUILD_DIR:-build}
cli=${KUVRION_CLI:-$build/bin/kuvrion-cli}
gen=${GENJOB:-$build/bin/kuvrion-genjob}
size=${SIZE_MB:-1024}
runs=${RUNS:-3}

for prog in "$cli" "$gen"; do
    if [[ ! -x $prog ]]; then
        echo "Programm fehlt: $prog (erst bauen: cmake --build $build)" >&2
        exit 1
    fi
done
mkdir -p "$dir"

# Best wall time of RUNS runs of the command, in seconds.
best_time() {
    local best="" start end t
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        t=$(((end - start) / 1000))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v us="$best" 'BEGIN { printf "%.3f", us / 1e6 }'
}

# Peak resident memory of one run, in KiB.
peak_rss() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null |
        awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}

printf '%-7s %11s %7s %7s %6s %6s %8s %9s %9s\n' \
    job bytes cat_s scan_s ratio limit pages rss_MiB rss_limit
for kind in text raster; do
    job=$dir/$kind-${size}mb.pcl
    if [[ ! -f $job ]]; then
        "$gen" "$kind" "$job" "$size" >&2
    fi
    cat "$job" >/dev/null
    bytes=$(stat -c %s "$job")
    t_cat=$(best_time cat "$job")
    t_scan=$(best_time "$cli" scan --json "$job")
    pages=$("$cli" scan --json "$job" | sed -n 's/.*"pages"[^0-9]*\([0-9]*\).*/\1/p')
    rss=$(peak_rss "$cli" scan --json "$job")
    limit=$([[ $kind == text ]] && echo 8 || echo 2)
    awk -v k="$kind" -v b="$bytes" -v c="$t_cat" -v s="$t_scan" -v l="$limit" -v p="$pages" \
        -v r="$rss" 'BEGIN {
        printf "%-7s %11d %7.3f %7.3f %6.2f %5dx %8d %9.1f %9.1f\n", k, b, c, s, s / c, l, p,
               r / 1024, 64 + 16 * p / 1048576
    }'
done
