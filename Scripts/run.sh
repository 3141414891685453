#!/usr/bin/env bash
# Builds the organiser and starts it under Wine on a demo project. With a display it runs until you
# close it; without one it runs on a virtual display, writes build/screenshot.png and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=${BUILD_DIR:-build}
Scripts/build.sh --target TessaraFolder
demo="$BUILD_DIR/demo"
python3 Scripts/make_demo.py "$demo"
source Scripts/wine-env.sh
headless=0
[ -z "${DISPLAY:-}" ] && headless=1
tf_start_display
trap tf_wine_stop EXIT
tf_boot_prefix
project=$(winepath -w "$demo/demo.tfolder")
if [ "$headless" = 0 ]; then
  wine "$BUILD_DIR/bin/TessaraFolder.exe" "$project"
  exit 0
fi
wine "$BUILD_DIR/bin/TessaraFolder.exe" "$project" &
sleep "${TF_SCREENSHOT_DELAY:-8}"
import -window root "$BUILD_DIR/screenshot.png"
echo "Screenshot: $BUILD_DIR/screenshot.png"
