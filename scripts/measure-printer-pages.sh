#!/usr/bin/env bash
# Measures again, with GhostPCL's gpcl6 as the printer, the page counts the scanner tests hold:
# the jobs of tests/pcljob/PrinterPagesTest.cpp (written out by the test itself) and the fixtures
# in tests/data and samples, whose counts stand in tests/data/printer-pages.txt. Prints each job with the
# count gpcl6 gives; compare them with the table and the file.
#
#   scripts/measure-printer-pages.sh [--gpcl6 PATH]     (BUILD_DIR, default build)
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
test_bin=$build/tests/test_pcljob
if [[ ! -x $test_bin ]]; then
    fail "Testprogramm fehlt: $test_bin (erst bauen: cmake --build $build --target test_pcljob)"
fi
jobs=$(mktemp -d "${TMPDIR:-/tmp}/printer-pages.XXXXXX")
at_exit 'rm -rf "$jobs"'
# The table's own checks may fail here (that is what is being measured); the jobs must be written.
KUVRION_DUMP_PRINTER_JOBS=$jobs "$test_bin" --gtest_filter="PrinterPages.TheScan*" >/dev/null ||
    echo "Note: $test_bin reported failing rows; measuring anyway"
compgen -G "$jobs/*.pcl" >/dev/null || fail "$test_bin wrote no jobs into $jobs"
echo "== Table jobs (tests/pcljob/PrinterPagesTest.cpp)"
bash scripts/ghostpcl-pages.sh "$@" "$jobs"/*.pcl | sed "s|$jobs/||"
echo "== Fixtures (tests/data/printer-pages.txt)"
bash scripts/ghostpcl-pages.sh "$@" tests/data/*.pcl samples/*.pcl
