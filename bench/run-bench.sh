#!/usr/bin/env bash
# Speed and memory of scan, import and export against `cat` on two generated jobs of 1 GiB each:
# text-dense letters (an escape sequence every 8 to 16 bytes) and raster-heavy letters (over 90 %
# W data), letters of one to three pages with the addressee key on the first page.
#
#   bench/run-bench.sh [FOLDER]        jobs are generated into FOLDER (default /tmp/kuvrion-bench)
#
# Environment: BUILD_DIR (default build), SIZE_MB (default 1024), RUNS (default 3): see
# bench/common.sh.
# Both jobs are read once before measuring, so they come from the page cache; every time is the
# best of RUNS. Targets: scan within 8x (text) and 2x (raster) of cat; import within 2.5x and
# export within 4x of the scan; peak memory of the scan under 64 MiB + 16 bytes per page and of
# import and export under 64 MiB + 64 bytes per page.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh

# Peak resident memory of one run, in MiB.
peak_rss() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null |
        awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); printf "%.1f", $2 / 1024 }'
}

printf '%-7s %6s %7s %7s %7s %7s %6s %6s %6s %8s %6s %9s %9s %9s\n' job MiB cat_s scan_s \
    import_s export_s scan/c imp/s exp/s pages adr rss_scan rss_imp rss_exp
for kind in text raster; do
    job=$dir/$kind-${size}mb.pcl
    out=$dir/$kind-${size}mb.out.pcl
    if [[ ! -f $job ]]; then
        "$gen" "$kind" "$job" "$size" >&2
    fi
    cat "$job" >/dev/null
    bytes=$(stat -c %s "$job")
    t_cat=$(best_time cat "$job")
    t_scan=$(best_time "$cli" scan "$job")
    t_imp=$(best_time "$cli" --ini "$ini" import "$job")
    # The export command imports first; its own share is the difference.
    t_impexp=$(best_time "$cli" --ini "$ini" export "$job" "$out")
    t_exp=$(awk -v a="$t_impexp" -v b="$t_imp" 'BEGIN { printf "%.3f", a - b }')
    read -r pages adr < <("$cli" --ini "$ini" import --json "$job" |
        awk -F'[:,]' '/"pages":/ && !p { p = $2 + 0 } /"addressees":/ { a = $2 + 0 }
                      END { print p, a }')
    r_scan=$(peak_rss "$cli" scan "$job")
    r_imp=$(peak_rss "$cli" --ini "$ini" import "$job")
    r_exp=$(peak_rss "$cli" --ini "$ini" export "$job" "$out")
    rm -f "$out"
    awk -v k="$kind" -v b="$bytes" -v c="$t_cat" -v s="$t_scan" -v i="$t_imp" -v e="$t_exp" \
        -v p="$pages" -v a="$adr" -v rs="$r_scan" -v ri="$r_imp" -v re="$r_exp" 'BEGIN {
        printf "%-7s %6d %7.3f %7.3f %7.3f %7.3f %6.2f %6.2f %6.2f %8d %6d %9.1f %9.1f %9.1f\n",
               k, b / 1048576, c, s, i, e, s / c, i / s, e / s, p, a, rs, ri, re
    }'
done
echo "Speicher-Grenzen: Scan $(awk -v p=0 'BEGIN{print "64 MiB + 16 B/Seite"}'), Import/Export 64 MiB + 64 B/Seite"
