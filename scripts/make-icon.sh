#!/usr/bin/env bash
# Renders the program icon (src/ui/resources/kuvrion.svg) into the Windows icon
# src/ui/resources/kuvrion.ico, which the resource script of kuvrion-cli.exe embeds. Run it after
# changing the artwork and commit the result; the builds only read the .ico.
# Needs Debian's librsvg2-bin (rsvg-convert) and icoutils (icotool).
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
svg=src/ui/resources/kuvrion.svg
for tool in rsvg-convert icotool; do
    command -v "$tool" >/dev/null || fail "$tool is needed (librsvg2-bin, icoutils)"
done
work=$(mktemp -d)
at_exit 'rm -rf "$work"'
pngs=()
for size in 16 24 32 48 64 128; do
    rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" "$svg"
    pngs+=("$work/$size.png")
done
# 256 px stays PNG-compressed inside the icon, as Windows expects for that size.
rsvg-convert -w 256 -h 256 -o "$work/256.png" "$svg"
icotool -c -o src/ui/resources/kuvrion.ico "${pngs[@]}" -r "$work/256.png"
icotool -l src/ui/resources/kuvrion.ico
