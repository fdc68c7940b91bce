#!/usr/bin/env bash
# Measures again, with GhostPCL's gpcl6 as the printer, the page counts the scanner tests hold:
# the jobs of tests/pcljob/PrinterPagesTest.cpp (written out by the test itself) and the fixtures
# in tests/data and samples, whose counts stand in tests/data/printer-pages.txt. Prints each job with the
# count gpcl6 gives; compare them with the table and the file.
#
#   scripts/measure-printer-pages.sh [--gpcl6 PATH]     (BUILD_DIR, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
test_bin=$build/tests/test_pcljob
if [[ ! -x $test_bin ]]; then
    echo "Testprogramm fehlt: $test_bin (erst bauen: cmake --build $build --target test_pcljob)" >&2
    exit 1
fi
jobs=$(mktemp -d "${TMPDIR:-/tmp}/printer-pages.XXXXXX")
trap 'rm -rf "$jobs"' EXIT
KUVRION_DUMP_PRINTER_JOBS=$jobs "$test_bin" --gtest_filter="PrinterPages.TheScan*" >/dev/null || true
echo "== Table jobs (tests/pcljob/PrinterPagesTest.cpp)"
bash scripts/ghostpcl-pages.sh "$@" "$jobs"/*.pcl | sed "s|$jobs/||"
echo "== Fixtures (tests/data/printer-pages.txt)"
bash scripts/ghostpcl-pages.sh "$@" tests/data/*.pcl samples/*.pcl
