#!/usr/bin/env bash
# CI stage: the Windows build. Cross-builds core, kuvrion-cli.exe and the tests into build-win/,
# runs the tests under Wine, packs Kuvrion-<version>-win64.zip and checks that the Windows tool
# writes the same bytes as the Linux one of LINUX_BUILD_DIR (default build-ci).
set -euo pipefail
trap 'echo "$0: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."
linux_build=${LINUX_BUILD_DIR:-build-ci}
start=$SECONDS

echo "== Windows: cross-build, tests under Wine, zip"
bash scripts/build-windows.sh
echo "== Windows: the same bytes as the Linux build"
bash scripts/compare-windows.sh "$linux_build/bin/kuvrion-cli" build-win/bin/kuvrion-cli.exe
echo "== Windows stage: $((SECONDS - start)) s"
