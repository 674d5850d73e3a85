#!/usr/bin/env bash
# One entry point for people and CI: installs what is missing, builds, then runs.
#   ./dev.sh run      the main job: a simulated unit and the desktop program
#   ./dev.sh test     every test
#   ./dev.sh build    just build
#   ./dev.sh package  the Debian package, checked by lintian
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
build=${WEIRLINK_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"

case "${1:-build}" in
  run)
    # A simulated unit first, so that the desktop program finds it as COM 1.
    coproc sim { exec "$build/sim/weirlink-sim"; }
    sim_pid=$sim_PID
    trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
    # It prints its terminal once it has announced itself.
    if ! read -r -t 10 terminal <&"${sim[0]}"; then
      echo "the simulated unit did not start" >&2
      exit 1
    fi
    echo "Simulated unit on $terminal: COM 1 in the dialogs (after any simulated units started earlier)."
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the window under xvfb-run," \
        "where nobody can see it."
      xvfb-run -a "$build/app/weirlink-config"
    else
      "$build/app/weirlink-config"
    fi
    ;;
  test)
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    ;;
  build) ;;
  package)
    rm -f "$build"/*.deb
    (cd "$build" && cpack -G DEB)
    # Any error or warning fails.
    lintian --fail-on error,warning "$build"/*.deb
    ;;
  *)
    echo "usage: $0 run|test|build|package" >&2
    exit 2
    ;;
esac
