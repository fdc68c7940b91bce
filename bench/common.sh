# The set-up both benchmark scripts share, sourced by them: folder, programs, settings, and the
# best wall time of RUNS runs.
#
# Environment: BUILD_DIR (default build), SIZE_MB (default 1024), RUNS (default 3).
dir=${1:-/tmp/kuvrion-bench}
build=${BUILD_DIR:-build}
cli=$build/bin/kuvrion-cli
gen=$build/bin/kuvrion-genjob
size=${SIZE_MB:-1024}
runs=${RUNS:-3}

for prog in "$cli" "$gen"; do
    if [[ ! -x $prog ]]; then
        echo "Programm fehlt: $prog (erst bauen: cmake --build $build)" >&2
        exit 1
    fi
done
mkdir -p "$dir"
ini=$dir/kuvrion.ini
printf '[common]\r\nuselog=0\r\n[keys]\r\nadrkeybeg=^Kd.-Nr.: ^\r\nadrkeyend=^;^\r\nadrkeymode=0\r\nadrkeyrem=1\r\n' >"$ini"

# Best wall time of RUNS runs of the command, in seconds (a non-zero exit counts as a run: verify
# exits 1 when it finds problems).
best_time() {
    local best="" start end t
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >/dev/null || true
        end=$(date +%s%N)
        t=$(((end - start) / 1000))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v us="$best" 'BEGIN { printf "%.3f", us / 1e6 }'
}
