#!/usr/bin/env bash
# Re-measures the number of pages a printer produces for each PCL job, by
# rendering it with gpcl6 (GhostPCL) at a tiny resolution and counting pages.
# For developers who have built gpcl6 from the public GhostPCL source:
#   ./autogen.sh --without-x --disable-cups --disable-gtk --without-tesseract
#   make gpcl6        # the binary is bin/gpcl6
#
# Usage: scripts/ghostpcl-pages.sh [--gpcl6 PATH] FILE...
# Prints "<pages>\t<file>" per file. gpcl6 defaults to $GPCL6, then PATH.
source "$(dirname "$0")/common.sh"

usage() {
    echo "usage: $0 [--gpcl6 PATH] FILE..." >&2
    exit 2
}

gpcl6="${GPCL6:-}"
files=()
while [ $# -gt 0 ]; do
    case "$1" in
        --gpcl6)
            [ $# -ge 2 ] || usage
            gpcl6="$2"
            shift 2
            ;;
        --gpcl6=*)
            gpcl6="${1#--gpcl6=}"
            shift
            ;;
        -h|--help)
            usage
            ;;
        --)
            shift
            files+=("$@")
            break
            ;;
        -*)
            echo "$0: unknown option: $1" >&2
            usage
            ;;
        *)
            files+=("$1")
            shift
            ;;
    esac
done
[ ${#files[@]} -gt 0 ] || usage

if [ -z "$gpcl6" ]; then
    gpcl6="$(command -v gpcl6 || true)"
fi
if [ -z "$gpcl6" ] || ! [ -x "$gpcl6" ]; then
    echo "$0: gpcl6 not found (pass --gpcl6 PATH or set GPCL6); build it from the GhostPCL source" >&2
    exit 127
fi

status=0
for f in "${files[@]}"; do
    if ! [ -r "$f" ]; then
        echo "$0: cannot read $f" >&2
        status=1
        continue
    fi
    out="$(mktemp -d "${TMPDIR:-/tmp}/ghostpcl-pages.XXXXXX")"
    # gpcl6 reports PCL errors on stderr but still renders the pages it got
    # to; a crash or refusal to start is a failure for this file.
    if "$gpcl6" -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r20 \
            -o "$out/p-%04d.pbm" "$f" >"$out/log" 2>&1; then
        pages="$(find "$out" -name 'p-*.pbm' | wc -l)"
        printf '%s\t%s\n' "$pages" "$f"
    else
        echo "$0: gpcl6 failed on $f:" >&2
        sed 's/^/  /' "$out/log" >&2
        status=1
    fi
    rm -rf "$out"
done
exit "$status"
