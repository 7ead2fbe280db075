#!/usr/bin/env bash
# Installs every Debian package the build, the demo, the tests and the fuzzers (clang and its runtime)
# need, then configures and builds.
# Idempotent: packages already present are not fetched again. Works as root or through sudo.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"

packages=(
  build-essential cmake pkg-config git
  libglfw3-dev libglew-dev libglm-dev libstb-dev libtinygltf-dev nlohmann-json3-dev
  libinih-dev libsdl2-mixer-dev libgtest-dev googletest libmp3lame-dev
  libgl1-mesa-dri libegl-mesa0 libegl-dev mesa-utils xvfb xauth x11-utils fonts-dejavu-core
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "ERROR: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${VERDANCE_BUILD_TYPE:-RelWithDebInfo}"
cmake --build "$build" -j"$(nproc)"
