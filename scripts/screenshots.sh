#!/usr/bin/env bash
# Draws the main window on each tab and every unit dialog into docs/screenshots/, without a
# display. Run it after changing what a window shows, and commit the pictures that changed.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${WEIRLINK_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target weirlink_screenshots
QT_QPA_PLATFORM=offscreen "$build/tests/gui/weirlink_screenshots" docs/screenshots
