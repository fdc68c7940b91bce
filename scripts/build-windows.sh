#!/usr/bin/env bash
# Cross-builds Kuvrion for 64-bit Windows on Debian 12: the core, kuvrion-cli.exe, the GoogleTest
# tests and the fuzz replay tests, linked statically, into build-win/ (no desktop program: Debian
# has no Qt for Windows). Then runs the tests under Wine and packs Kuvrion-<version>-win64.zip.
# Installs the Debian packages it needs where missing (run as root on a fresh machine).
#
#   bash scripts/build-windows.sh               build, test under Wine, pack the zip
#   bash scripts/build-windows.sh --no-tests    build and pack only
#
# BUILD_WIN_DIR (default build-win) is the build folder; MANUAL_PDF the manual to pack (default: the
# one a Linux build made in build-ci/ or build/, if any).
set -euo pipefail
cd "$(dirname "$0")/.."
run_tests=1
[[ "${1:-}" == "--no-tests" ]] && run_tests=0
build_dir=$(realpath -m "${BUILD_WIN_DIR:-build-win}")

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 \
    cmake ninja-build googletest libcli11-dev nlohmann-json3-dev libasio-dev

manual=${MANUAL_PDF:-}
if [[ -z "$manual" ]]; then
    for candidate in build-ci/bin/doc/Kuvrion.pdf build/bin/doc/Kuvrion.pdf; do
        if [[ -f "$candidate" ]]; then
            manual=$PWD/$candidate
            break
        fi
    done
fi
if [[ -z "$manual" ]]; then
    echo "Note: no manual built (build/bin/doc/Kuvrion.pdf); the zip goes without Kuvrion.pdf"
fi

# -O2 as in the Linux build: GCC 12 warns falsely about std::string at -O3 (-Wrestrict), and
# warnings are errors here.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKUVRION_CI=ON \
    -DKUVRION_GUI=OFF -DKUVRION_BENCH=OFF -DKUVRION_MANUAL=OFF -DKUVRION_DMX=OFF \
    -DKUVRION_MANUAL_PDF_FILE="$manual" >/dev/null

if ((run_tests)); then
    # A throwaway Wine prefix in the build folder (the tests' emulator uses the same); no Mono or
    # Gecko dialogs on its first start, which takes a while and so runs beside the build. One Wine
    # server for all the runs, started first and apart from any output: a server that a test run
    # starts would hold that run's output pipe open, and ctest would wait for it.
    export WINEPREFIX=$build_dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1 || true
    trap 'wineserver -k 2>/dev/null || true' EXIT
    wine wineboot --init </dev/null >/dev/null 2>&1 &
    boot=$!
fi
cmake --build "$build_dir" -j"$(nproc)"

if ((run_tests)); then
    wait "$boot" || true
    echo "== Tests under Wine"
    ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
fi

(cd "$build_dir" && cpack -G ZIP >/dev/null)
echo "Windows package: $(ls "$build_dir"/Kuvrion-*-win64.zip)"
