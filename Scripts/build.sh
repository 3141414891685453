#!/usr/bin/env bash
# Configures and builds everything (program, data files, tests) into $BUILD_DIR (default build/).
set -euo pipefail
cd "$(dirname "$0")/.."
"Scripts/setup.sh"
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$BUILD_DIR" "$@"
