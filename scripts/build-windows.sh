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
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/wine.sh"
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
echo "+ cmake -S . -B $build_dir (MinGW-w64 cross build, Release -O2, no desktop program)"
mkdir -p "$build_dir"
if ! cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKUVRION_CI=ON \
    -DKUVRION_GUI=OFF -DKUVRION_BENCH=OFF -DKUVRION_MANUAL=OFF -DKUVRION_DMX=OFF \
    -DKUVRION_MANUAL_PDF_FILE="$manual" >"$build_dir/configure.log" 2>&1; then
    tail -n 40 "$build_dir/configure.log" >&2
    fail "CMake could not configure the Windows build (whole log: $build_dir/configure.log)"
fi

if ((run_tests)); then
    # A throwaway Wine prefix in the build folder (the tests' emulator uses the same). Its first
    # start takes a while, so it gets a head start beside the build; wine_start after the build
    # then checks it (and tries again when the head start failed) before any test runs.
    mkdir -p "$build_dir/wine"
    (
        trap - ERR # a failed head start is no failure: wine_start tries again
        WINEPREFIX=$build_dir/wine wine wineboot --init </dev/null >"$build_dir/wine-boot.log" 2>&1
    ) &
    boot=$!
    at_exit "kill $boot 2>/dev/null; WINEPREFIX='$build_dir/wine' wineserver -k >/dev/null 2>&1"
fi
echo "+ cmake --build $build_dir -j$(nproc)"
cmake --build "$build_dir" -j"$(nproc)" || fail "the Windows build failed (compiler output above)"

if ((run_tests)); then
    if ! wait "$boot"; then
        echo "Note: Wine's head start failed (see $build_dir/wine-boot.log); starting it again"
    fi
    wine_start "$build_dir/wine"
    echo "== Tests under Wine: ctest --test-dir $build_dir -j$(nproc)"
    ctest --test-dir "$build_dir" --output-on-failure --no-tests=error --timeout 600 -j"$(nproc)" ||
        fail "tests failed under Wine (the list above names them)"
fi

echo "+ cpack -G ZIP (in $build_dir)"
if ! (cd "$build_dir" && cpack -G ZIP >cpack.log 2>&1); then
    tail -n 20 "$build_dir/cpack.log" >&2
    fail "cpack could not pack the zip (whole log: $build_dir/cpack.log)"
fi
shopt -s nullglob
zips=("$build_dir"/Kuvrion-*-win64.zip)
shopt -u nullglob
((${#zips[@]} == 1)) || fail "expected one Kuvrion-*-win64.zip in $build_dir, found ${#zips[@]}"
echo "Windows package: ${zips[0]}"
