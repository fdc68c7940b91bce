#!/usr/bin/env bash
# Runs the Windows kuvrion-cli.exe under Wine and the Linux kuvrion-cli on every bundled sample job
# (samples/*.pcl with its .ini) and checks that both write the same bytes: the export, the escape
# skeleton and the reference page, and that both report the same import. Jobs, settings and
# outputs lie in folders whose names hold umlauts and blanks ("Ausgabe Ä ü.pcl").
#
#   bash scripts/compare-windows.sh [LINUX_CLI] [WINDOWS_CLI]
#
# Defaults: build/bin/kuvrion-cli and build-win/bin/kuvrion-cli.exe; Wine runs in the prefix of the
# Windows build (build-win/wine). Non-zero when anything differs.
set -euo pipefail
trap 'echo "compare-windows.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
linux_cli=$(realpath "${1:-build/bin/kuvrion-cli}")
win_cli=$(realpath "${2:-build-win/bin/kuvrion-cli.exe}")
win_build=$(dirname "$(dirname "$win_cli")")
export WINEPREFIX=${WINEPREFIX:-$win_build/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads the command line in the locale's character set: UTF-8, as the file names here are.
export LC_ALL=C.UTF-8

work=$(mktemp -d "$win_build/compare.XXXXXX")
# One Wine server for all the runs, apart from any output (else each first run would wait for it).
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# A Linux path as the Windows program is given it: Wine's drive Z: is the Linux root, so the path
# is Z: and the same path with backslashes. (Asking winepath costs a Wine start per argument, and a
# failing one inside an assignment would end this script without a word.)
winpath() { printf 'Z:%s' "${1//\//\\}"; }

failures=0
fail() {
    echo "DIFFERENT: $*"
    failures=$((failures + 1))
}

# run <linux|windows> <args...>: the tool of that system; stdout into $out, exit status into $status.
run() {
    local system=$1
    shift
    status=0
    if [[ "$system" == linux ]]; then
        out=$("$linux_cli" "$@" 2>"$work/stderr") || status=$?
    else
        local args=() a
        for a in "$@"; do
            [[ "$a" == /* ]] && a=$(winpath "$a")
            args+=("$a")
        done
        out=$(wine "$win_cli" "${args[@]}" 2>"$work/stderr" | tr -d '\r') || status=$?
    fi
    if ((status != 0)); then
        fail "$system kuvrion-cli $* ended with $status: $(cat "$work/stderr")"
    fi
}

for job in samples/*.pcl; do
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
        cmp -s "$job" "$jobs/$name.pcl" || fail "$system changed the source job $name"
        cmp -s "samples/$name.ini" "$ini" || fail "$system changed the settings of $name"
    done
    cmp -s "$work"/{linux,windows}/import.json || fail "import of $name"
    for file in "Ausgabe Ä ü.pcl" "Skelett Ä ü.txt" "Referenz Ä ü.pcl"; do
        a="$work/linux/Ausgabe Ä ü/$file"
        b="$work/windows/Ausgabe Ä ü/$file"
        if [[ ! -s "$a" || ! -s "$b" ]]; then
            fail "$file of $name is missing or empty"
        elif cmp -s "$a" "$b"; then
            echo "same bytes: $file ($(stat -c %s "$a") bytes)"
        else
            fail "$file of $name"
        fi
    done
    rm -rf "$work/linux" "$work/windows"
done

if ((failures)); then
    echo "$failures difference(s) between the Linux and the Windows build"
    exit 1
fi
echo "The Windows build writes the same bytes as the Linux build."
