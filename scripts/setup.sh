#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run. Safe to run again:
# it does nothing when all are present, and uses sudo only when not run as root.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # tests, fuzzing, benchmarks, sanitizers
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # command line
  libcli11-dev
  # desktop program, offscreen widget tests, screenshots
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev fonts-dejavu-core
  xvfb xauth xdotool desktop-file-utils
  # the Debian package (cpack -G DEB works out its dependencies with dpkg-shlibdeps)
  dpkg-dev file
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
