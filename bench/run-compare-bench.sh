#!/usr/bin/env bash
# Ratios in one run, on the generated jobs of run-bench.sh (text-dense and raster-heavy letters):
#   scan new / scan base   the scan against a build of an earlier commit (target at most 1.0)
#   scan / cat             the scan against reading the job once (page cache)
#   verify / import        the check of the marked job against the import of its source (target
#                          at most 1.2)
#   export / durable copy  the export command (import, export, check) against copying the job's
#                          bytes with dd conv=fsync (target at most 3.0)
#
#   bench/run-compare-bench.sh [FOLDER]    jobs are generated into FOLDER (default /tmp/kuvrion-bench)
#
# Environment: BASE_CLI (kuvrion-cli of the commit to compare with; without it the scan is only
# compared with cat), BUILD_DIR, SIZE_MB (default 1024), RUNS (default 3): see bench/common.sh.
# The runs of the two scanners alternate, so a change of load on the machine hits both alike.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
base=${BASE_CLI:-}

printf '%-7s %6s %7s %8s %8s %8s %8s %8s %8s %8s %8s %8s\n' job MiB cat_s scan_s base_s \
    new/base scan/cat import_s verify_s ver/imp export_s exp/copy
for kind in text raster; do
    job=$dir/$kind-${size}mb.pcl
    out=$dir/$kind-${size}mb.out.pcl
    copy=$dir/$kind-${size}mb.copy
    [[ -f $job ]] || "$gen" "$kind" "$job" "$size" >&2
    cat "$job" >/dev/null
    t_cat=$(best_time cat "$job")
    t_scan="" t_base=""
    for ((r = 0; r < runs; r++)); do
        t=$(runs=1 best_time "$cli" scan "$job")
        [[ -z $t_scan ]] || (($(awk -v a="$t" -v b="$t_scan" 'BEGIN { print (a < b) }'))) && t_scan=$t
        if [[ -n $base ]]; then
            t=$(runs=1 best_time "$base" scan "$job")
            [[ -z $t_base ]] || (($(awk -v a="$t" -v b="$t_base" 'BEGIN { print (a < b) }'))) && t_base=$t
        fi
    done
    t_imp=$(best_time "$cli" --ini "$ini" import "$job")
    t_exp=$(best_time "$cli" --ini "$ini" export "$job" "$out")
    t_ver=$(best_time "$cli" --ini "$ini" verify "$out")
    t_copy=$(best_time dd if="$job" of="$copy" bs=1M conv=fsync status=none)
    rm -f "$out" "$copy"
    awk -v k="$kind" -v b="$(stat -c %s "$job")" -v c="$t_cat" -v s="$t_scan" -v o="${t_base:-0}" \
        -v i="$t_imp" -v v="$t_ver" -v e="$t_exp" -v d="$t_copy" 'BEGIN {
        printf "%-7s %6d %7.3f %8.3f %8.3f %8s %8.2f %8.3f %8.3f %8.2f %8.3f %8.2f\n", k, b / 1048576,
               c, s, o, (o > 0 ? sprintf("%.2f", s / o) : "-"), s / c, i, v, v / i, e, e / d
    }'
done
