#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmarks need.
# Does nothing when all of them are present already.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6 libqscintilla2-qt6-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  libglib2.0-dev
  default-jdk-headless
  g++-mingw-w64-x86-64-posix wine64
  xvfb xauth poppler-utils
  librsvg2-bin desktop-file-utils appstream dpkg-dev man-db
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
