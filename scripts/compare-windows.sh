#!/usr/bin/env bash
# Runs the Windows kuvrion-cli.exe under Wine and the Linux kuvrion-cli on every bundled sample job
# (samples/*.pcl with its .ini) and checks that both write the same bytes: the export, the escape
# skeleton and the reference page, and that both report the same import. Jobs, settings and
# outputs lie in folders whose names hold umlauts and blanks ("Ausgabe Ä ü.pcl").
#
#   bash scripts/compare-windows.sh [LINUX_CLI] [WINDOWS_CLI]
#
# Defaults: build/bin/kuvrion-cli and build-win/bin/kuvrion-cli.exe; Wine runs in the prefix of the
# Windows build (build-win/wine), started and checked once before the first comparison. Non-zero
# when anything differs, when a tool fails, or when nothing was compared; every failure is named.
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/wine.sh"
cd "$(dirname "$0")/.."
linux_cli=$(realpath -m "${1:-build/bin/kuvrion-cli}")
win_cli=$(realpath -m "${2:-build-win/bin/kuvrion-cli.exe}")
[[ -x $linux_cli ]] || fail "no Linux kuvrion-cli at $linux_cli (build it first)"
[[ -f $win_cli ]] || fail "no Windows kuvrion-cli.exe at $win_cli (run scripts/build-windows.sh)"
win_build=$(dirname "$(dirname "$win_cli")")
# Wine reads the command line in the locale's character set: UTF-8, as the file names here are.
export LC_ALL=C.UTF-8

shopt -s nullglob
samples=(samples/*.pcl)
shopt -u nullglob
((${#samples[@]} > 0)) || fail "no sample jobs (samples/*.pcl): nothing to compare"
for job in "${samples[@]}"; do
    [[ -f ${job%.pcl}.ini ]] || fail "the sample $job has no settings file ${job%.pcl}.ini"
done

work=$(mktemp -d "$win_build/compare.XXXXXX")
at_exit 'rm -rf "$work"'
wine_start "${WINEPREFIX:-$win_build/wine}" "$win_cli" --help

# A Linux path as the Windows program is given it: Wine's drive Z: is the Linux root, so the path
# is Z: and the same path with backslashes. (Asking winepath costs a Wine start per argument.)
winpath() { printf 'Z:%s' "${1//\//\\}"; }

failures=0
compared=0
different() {
    echo "DIFFERENT: $*"
    failures=$((failures + 1))
}

# run <linux|windows> <args...>: the tool of that system; stdout into $out, exit status into $status.
run() {
    local system=$1 a
    shift
    status=0
    if [[ "$system" == linux ]]; then
        out=$("$linux_cli" "$@" 2>"$work/stderr") || status=$?
    else
        local args=()
        for a in "$@"; do
            [[ "$a" == /* ]] && a=$(winpath "$a")
            args+=("$a")
        done
        out=$(wine "$win_cli" "${args[@]}" 2>"$work/stderr" </dev/null | tr -d '\r') || status=$?
    fi
    if ((status != 0)); then
        different "$system kuvrion-cli $* ended with $status: $(cat "$work/stderr")"
    fi
}

for job in "${samples[@]}"; do
    name=$(basename "$job" .pcl)
    echo "== $name"
    for system in linux windows; do
        jobs="$work/$system/Jobs Ö ß"
        outdir="$work/$system/Ausgabe Ä ü"
        mkdir -p "$jobs" "$outdir"
        cp "$job" "$jobs/$name.pcl"
        cp "samples/$name.ini" "$jobs/$name Einstellungen.ini"
        ini="$jobs/$name Einstellungen.ini"
        run "$system" --ini "$ini" import "$jobs/$name.pcl" --json
        printf '%s\n' "$out" >"$work/$system/import.json"
        run "$system" --ini "$ini" export "$jobs/$name.pcl" "$outdir/Ausgabe Ä ü.pcl"
        run "$system" --ini "$ini" skeleton "$jobs/$name.pcl" "$outdir/Skelett Ä ü.txt"
        run "$system" --ini "$ini" refpage "$outdir/Referenz Ä ü.pcl"
        cmp -s "$job" "$jobs/$name.pcl" || different "$system changed the source job $name"
        cmp -s "samples/$name.ini" "$ini" || different "$system changed the settings of $name"
    done
    if [[ ! -s $work/linux/import.json || ! -s $work/windows/import.json ]]; then
        different "the import report of $name is empty"
    elif cmp -s "$work"/{linux,windows}/import.json; then
        compared=$((compared + 1))
    else
        different "import of $name"
    fi
    for file in "Ausgabe Ä ü.pcl" "Skelett Ä ü.txt" "Referenz Ä ü.pcl"; do
        a="$work/linux/Ausgabe Ä ü/$file"
        b="$work/windows/Ausgabe Ä ü/$file"
        if [[ ! -s "$a" || ! -s "$b" ]]; then
            different "$file of $name is missing or empty"
        elif cmp -s "$a" "$b"; then
            compared=$((compared + 1))
            echo "same bytes: $file ($(stat -c %s "$a") bytes)"
        else
            different "$file of $name"
        fi
    done
    rm -rf "$work/linux" "$work/windows"
done

expected=$((${#samples[@]} * 4))
if ((failures)); then
    fail "$failures difference(s) between the Linux and the Windows build (each named above)"
fi
((compared == expected)) || fail "compared $compared outputs, expected $expected"
echo "The Windows build writes the same bytes as the Linux build ($compared outputs of" \
    "${#samples[@]} sample jobs)."
