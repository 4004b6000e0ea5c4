#!/usr/bin/env bash
# Installs what Quillon Print needs on Debian 12 and builds it into build/. Arguments go to cmake
# (scripts/test.sh passes -DQUILLON_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libxcb1-dev libgtest-dev libcups2-dev libuemf-dev libfreetype-dev
  fonts-liberation2 fonts-dejavu-core
  cups cups-client poppler-utils
  dpkg-dev desktop-file-utils lintian man-db file
  nasm dosbox
  xvfb trayer openbox xdotool x11-utils imagemagick dbus-daemon
)
scripts/install-packages.sh "${packages[@]}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build build -j"$(nproc)"
