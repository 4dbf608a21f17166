#!/usr/bin/env bash
# Installs the Debian packages Patinex needs to build, test and benchmark, and the glTF validator
# the tests run (an npm package, into tools/gltf_validator/node_modules of this checkout).
# Idempotent: installs only what is missing, and says nothing when everything is there.
set -euo pipefail
cd "$(dirname "$0")/.."

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
  # glTF: the JSON of exported assets
  nlohmann-json3-dev
  # clang with the libFuzzer and sanitizer runtimes, for the fuzz targets
  clang libclang-rt-14-dev
  # Slurm and its authentication daemon: batch --slurm writes array jobs, and a test runs one on a
  # one-node cluster of its own
  slurm-wlm munge
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done
# Node.js with npm runs the glTF validator; a Node.js from elsewhere that brings its own npm
# will do as well as Debian's packages.
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install_dependencies: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The validator at the version the lock file names, installed beside it (not globally).
validator=tools/gltf_validator
wanted=$(node -e "console.log(require('./$validator/package-lock.json').packages['node_modules/gltf-validator'].version)")
installed=$(node -e "try { console.log(require('./$validator/node_modules/gltf-validator/package.json').version) } catch { console.log('none') }")
if [ "$wanted" != "$installed" ]; then
  echo "Installing the glTF validator $wanted"
  npm ci --prefix "$validator" --no-audit --no-fund --loglevel=error >/dev/null
fi
