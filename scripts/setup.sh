#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run. Safe to run again:
# it does nothing when all are present, and uses sudo only when not run as root.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # tests, fuzzing, sanitizers (the bench programs need nothing beyond the build)
  googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev
  # command line; a decimal-comma locale, so tests can prove numbers never follow the desktop's
  libcli11-dev locales
  # machine-readable output of show, diff and ports
  nlohmann-json3-dev
  # desktop program, offscreen widget tests, screenshots
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev fonts-dejavu-core
  xvfb xauth xdotool desktop-file-utils
  # the Debian package (cpack -G DEB works out its dependencies with dpkg-shlibdeps), its
  # manual pages made from --help, lintian's check of it, and the desktop's own tools that
  # the tests ask about its file type, AppStream data and bash completion
  dpkg-dev file help2man lintian shared-mime-info libglib2.0-bin appstream bash-completion
  # the Windows and arm64 builds (cmake --preset windows / linux-arm64), their tests under
  # Wine and qemu-user; GoogleTest for them is built from Debian's googletest sources
  g++-mingw-w64-x86-64-posix g++-aarch64-linux-gnu wine wine64 qemu-user
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "Generating the de_DE.UTF-8 locale"
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
