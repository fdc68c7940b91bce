#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Kuvrion and runs the main job on the bundled sample.
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build bash scripts/build.sh -DKUVRION_TESTS=OFF -DKUVRION_BENCH=OFF

cli=build/bin/kuvrion-cli
out=build/demo
mkdir -p "$out"
job=samples/letters-endmarker.pcl
ini=samples/letters-endmarker.ini
cp "$ini" "$out/kuvrion.ini"

echo "== Scan of $job"
"$cli" --ini "$out/kuvrion.ini" scan "$job"
echo
echo "== Import"
"$cli" --ini "$out/kuvrion.ini" import "$job"
echo
echo "== Export to $out/marked.pcl"
"$cli" --ini "$out/kuvrion.ini" export "$job" "$out/marked.pcl"
echo
echo "== Escape skeleton to $out/skel.txt"
"$cli" --ini "$out/kuvrion.ini" skeleton "$job" "$out/skel.txt"
echo
echo "== Reference page to $out/RefPage.pcl"
"$cli" --ini "$out/kuvrion.ini" refpage "$out/RefPage.pcl"
echo
echo "Done. The desktop program is build/bin/kuvrion; the import log is $out/log.txt."
