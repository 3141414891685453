#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a virtual display. Extra arguments go to ctest
# (for example: Scripts/test.sh -R Document_test). TF_BUILD_TARGETS, when set, limits the build to
# those targets (for example TF_BUILD_TARGETS="Document_test").
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=${BUILD_DIR:-build}
Scripts/build.sh ${TF_BUILD_TARGETS:+--target $TF_BUILD_TARGETS}
source Scripts/wine-env.sh
# Sound goes to ALSA's null device: Wine then has a wave device, and MCI plays silently and
# notifies at the end as it would with a sound card.
export HOME="$(cd "$BUILD_DIR" && pwd)/test-home"
mkdir -p "$HOME"
printf 'pcm.!default { type null }\n' > "$HOME/.asoundrc"
tf_start_display
trap tf_wine_stop EXIT
tf_boot_prefix
cd "$BUILD_DIR"
ctest --output-on-failure -j "${TF_TEST_JOBS:-2}" "$@"
