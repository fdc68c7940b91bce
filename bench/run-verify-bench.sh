#!/usr/bin/env bash
# Speed of the check of a marked job against the import, on the generated jobs of run-bench.sh:
# verify / import (target at most 1) and (export + check) / export, the share the automatic check
# adds to an export.
#
#   bench/run-verify-bench.sh [FOLDER]   jobs are generated into FOLDER (default /tmp/kuvrion-bench)
#
# Environment: BUILD_DIR (default build), SIZE_MB (default 1024), RUNS (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-/tmp/kuvrion-bench}
build=${BUILD_DIR:-build}
cli=$build/bin/kuvrion-cli
gen=$build/bin/kuvrion-genjob
size=${SIZE_MB:-1024}
runs=${RUNS:-3}
mkdir -p "$dir"
ini=$dir/kuvrion.ini
printf '[common]\r\nuselog=0\r\n[keys]\r\nadrkeybeg=^Kd.-Nr.: ^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\nadrkeyrem=1\r\n' >"$ini"

best_time() {
    local best="" start end t
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null || true # verify exits 1 when it finds problems
        end=$(date +%s%N)
        t=$(((end - start) / 1000))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v us="$best" 'BEGIN { printf "%.3f", us / 1e6 }'
}

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
