#!/usr/bin/env bash
# Speed of the check of a marked job against the import, on the generated jobs of run-bench.sh:
# verify / import (target at most 1) and (export + check) / export, the share the automatic check
# adds to an export.
#
#   bench/run-verify-bench.sh [FOLDER]   jobs are generated into FOLDER (default /tmp/kuvrion-bench)
#
# Environment: BUILD_DIR (default build), SIZE_MB (default 1024), RUNS (default 3): see
# bench/common.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh

printf '%-7s %6s %8s %8s %8s %10s %12s\n' job MiB import_s export_s verify_s ver/imp "(exp+ver)/exp"
for kind in text raster; do
    job=$dir/$kind-${size}mb.pcl
    out=$dir/$kind-${size}mb.out.pcl
    [[ -f $job ]] || "$gen" "$kind" "$job" "$size" >&2
    cat "$job" >/dev/null
    t_imp=$(best_time "$cli" --ini "$ini" import "$job")
    # The export command imports first and checks its output last.
    t_all=$(best_time "$cli" --ini "$ini" export "$job" "$out")
    t_ver=$(best_time "$cli" --ini "$ini" verify "$out")
    rm -f "$out"
    awk -v k="$kind" -v b="$(stat -c %s "$job")" -v i="$t_imp" -v a="$t_all" -v v="$t_ver" 'BEGIN {
        e = a - i - v
        printf "%-7s %6d %8.3f %8.3f %8.3f %10.2f %12.2f\n", k, b / 1048576, i, e, v, v / i, (e + v) / e
    }'
done
