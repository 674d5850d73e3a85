#!/usr/bin/env bash
# One entry point for people and CI: installs what is missing, builds, then runs.
#   ./dev.sh run    the main job
#   ./dev.sh test   every test
#   ./dev.sh build  just build
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
build=${WEIRLINK_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"

case "${1:-build}" in
  run)
    "$build/cli/weirlink" defaults "$build/factory-defaults.cfg"
    "$build/cli/weirlink" show "$build/factory-defaults.cfg"
    ;;
  test)
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    ;;
  build) ;;
  *)
    echo "usage: $0 run|test|build" >&2
    exit 2
    ;;
esac
