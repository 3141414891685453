#!/usr/bin/env bash
# The second compiler: builds with Clang and LLD for the same MinGW-w64 target
# (cmake/clang-mingw-w64.cmake), every warning an error, into build-clang/, then starts the program it
# built under Wine by running program-level tests of the GCC build against it (TF_PROGRAM). The tests
# themselves run on the GCC build (Scripts/test.sh), which must have been built first.
# TF_CLANG_TARGETS, when set, limits the Clang build to those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
Scripts/setup.sh
CLANG_BUILD_DIR=${CLANG_BUILD_DIR:-build-clang}
if [ ! -f "$CLANG_BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$CLANG_BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/clang-mingw-w64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DTF_WARNINGS_AS_ERRORS=ON
fi
cmake --build "$CLANG_BUILD_DIR" ${TF_CLANG_TARGETS:+--target $TF_CLANG_TARGETS}

export BUILD_DIR=${BUILD_DIR:-build}
source Scripts/wine-env.sh
export HOME="$(cd "$BUILD_DIR" && pwd)/test-home"
mkdir -p "$HOME"
tf_start_display
trap tf_wine_stop EXIT
tf_boot_prefix
program=$(winepath -w "$(cd "$CLANG_BUILD_DIR/bin" && pwd)/TessaraFolder.exe")
cd "$BUILD_DIR/tests"
TF_PROGRAM="$program" wine ./App_test.exe --gtest_filter='App.OpensEveryVersionAndSavesVersion10:AppAddTest.*'
