#!/usr/bin/env bash
# Builds the Windows and the arm64 programs and tries them on this machine:
#   windows       the Windows build's tests under Wine, then weirlink.exe under Wine against
#                 the simulated unit beside the Linux program (ctest -L wine in the native
#                 build, which this configures and builds as well)
#   linux-arm64   the arm64 build's whole suite under qemu-user
# With no argument, both. Wine runs in a prefix of the Windows build's own
# (build-windows/wine-prefix) with one wine server for the whole run. WEIRLINK_BENCH_WINE=1
# also prints the flash efficiency of weirlink.exe under Wine (bench/bench_flash_wine).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
native=${WEIRLINK_BUILD_DIR:-build}
jobs=$(nproc)

windows() {
  cmake --preset windows >/dev/null
  cmake --build --preset windows

  export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all
  # No display, no downloads: Wine must not offer to install its .NET or HTML engines.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  # One server for every program of the run, so that none waits for one to start or to
  # linger after the last program; stopped however the run ends. One that the tests started
  # on an earlier run would end a minute after its last program, so it goes first. The
  # server's messages (it lists every object it holds when a simulated unit's terminal hangs
  # up under it) go to a file of their own.
  mkdir -p "$WINEPREFIX"
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p 2>build-windows/wineserver.log
  trap 'wineserver -k 2>/dev/null || true' EXIT
  # The first program of a server starts Wine's services, which inherit its output and keep
  # it open: a test run reading that output would wait for them. Start them here instead.
  if [ -f "$WINEPREFIX/system.reg" ]; then wineboot; else wineboot --init; fi </dev/null >/dev/null 2>&1

  ctest --preset windows -j "$jobs"

  cmake -S . -B "$native" -G Ninja \
    -DWEIRLINK_WINDOWS_PROGRAM="$PWD/build-windows/cli/weirlink.exe" >/dev/null
  cmake --build "$native"
  ctest --test-dir "$native" --output-on-failure -j "$jobs" -L '^wine$'

  # A figure, not a test: how close the download comes to the line limit (about a minute).
  if [ -n "${WEIRLINK_BENCH_WINE:-}" ]; then
    "$native"/bench/bench_flash_wine build-windows/cli/weirlink.exe ||
      echo "The flash efficiency could not be measured."
  fi
}

linux_arm64() {
  cmake --preset linux-arm64 >/dev/null
  cmake --build --preset linux-arm64
  ctest --preset linux-arm64 -j "$jobs"
}

targets=("$@")
[ $# -gt 0 ] || targets=(windows linux-arm64)
for target in "${targets[@]}"; do
  case "$target" in
    windows) windows ;;
    linux-arm64) linux_arm64 ;;
    *)
      echo "usage: $0 [windows] [linux-arm64]" >&2
      exit 2
      ;;
  esac
done
