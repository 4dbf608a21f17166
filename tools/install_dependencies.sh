#!/usr/bin/env bash
# Installs the Debian packages Patinex needs to build, test and benchmark.
# Idempotent: installs only what is missing, and says nothing when everything is there.
set -euo pipefail

packages=(
  # build tools
  build-essential cmake pkg-config git
  # libraries the programs link
  libjpeg62-turbo-dev libpng-dev libsdl2-dev libx11-dev libepoxy-dev libmeshoptimizer-dev libtinygltf-dev
  libfreetype-dev libfontconfig-dev fonts-liberation
  # an X server and Mesa's software OpenGL, so the window tests run on any machine
  xvfb xauth libgl1-mesa-dri
  # real X input and window screenshots for the end-to-end tests
  xdotool x11-apps
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # yardsticks the benchmarks compare against (never linked by the programs)
  libtinyobjloader-dev libembree-dev libnanoflann-dev
  # clang with the libFuzzer and sanitizer runtimes, for the fuzz targets
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install_dependencies: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
