#!/usr/bin/env bash
# CI stage: the Windows build. Cross-builds core, kuvrion-cli.exe and the tests into build-win/,
# runs the tests under Wine, packs Kuvrion-<version>-win64.zip and checks that the Windows tool
# writes the same bytes as the Linux one of LINUX_BUILD_DIR (default build-ci). Names what failed.
source "$(dirname "$0")/../common.sh"
cd "$(dirname "$0")/../.."
linux_build=${LINUX_BUILD_DIR:-build-ci}
start=$SECONDS
[[ -x $linux_build/bin/kuvrion-cli ]] ||
    fail "no Linux kuvrion-cli in $linux_build/bin (run scripts/ci/build-and-test.sh first)"

echo "== Windows: cross-build, tests under Wine, zip (scripts/build-windows.sh)"
bash scripts/build-windows.sh || fail "scripts/build-windows.sh failed (its last lines say why)"
echo "== Windows: the same bytes as the Linux build (scripts/compare-windows.sh)"
bash scripts/compare-windows.sh "$linux_build/bin/kuvrion-cli" build-win/bin/kuvrion-cli.exe ||
    fail "scripts/compare-windows.sh failed (its last lines say why)"
echo "== Windows stage: $((SECONDS - start)) s"
