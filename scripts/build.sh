#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default: build) with the given extra CMake options. Prints
# what it runs; a failing configure shows the end of its log.
source "$(dirname "$0")/common.sh"
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
mkdir -p "$build_dir"
echo "+ cmake -S . -B $build_dir -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} $*"
if ! cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" \
    >"$build_dir/configure.log" 2>&1; then
    tail -n 40 "$build_dir/configure.log" >&2
    fail "CMake could not configure $build_dir (whole log: $build_dir/configure.log)"
fi
echo "+ cmake --build $build_dir -j$(nproc)"
cmake --build "$build_dir" -j"$(nproc)" || fail "the build in $build_dir failed (compiler output above)"
