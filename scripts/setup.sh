#!/usr/bin/env bash
# Installs every Debian package the build, the demo, the movie, the tests and the fuzzers (clang and
# its runtime) need, then configures and builds. Idempotent: packages already present are not fetched
# again. Works as root or through sudo.
# usage: scripts/setup.sh [--quiet] [TARGET...]
#   TARGET...  build only these CMake targets (default: everything, tests included)
#   --quiet    one line per step; the tools' own output goes to build/setup.log (shown on failure)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"

quiet=0
targets=()
for arg in "$@"; do
  if [ "$arg" = "--quiet" ]; then quiet=1; else targets+=("$arg"); fi
done

# What the build needs (the baker runs GL on a headless EGL context and sets the titles in DejaVu).
build_packages=(
  build-essential cmake ninja-build pkg-config git
  libglfw3-dev libglew-dev libglm-dev libstb-dev libtinygltf-dev nlohmann-json3-dev
  libinih-dev libsdl2-mixer-dev libgtest-dev googletest libmp3lame-dev libxxhash-dev
  libgl1-mesa-dri libegl-mesa0 libegl-dev fonts-dejavu-core
)
# What only running needs: a virtual display, zink over lavapipe (the GL tests' second OpenGL
# implementation), clang and its sanitizer runtime (fuzzers), the movie's encoder and the render farm.
run_packages=(
  mesa-utils xvfb xauth x11-utils mesa-vulkan-drivers
  clang libclang-rt-14-dev ffmpeg parallel rsync openssh-server openssh-client
)
# The glTF validator test runs on node and npm. A machine with another node distribution (which
# bundles npm and conflicts with Debian's npm package) keeps it.
command -v npm >/dev/null || run_packages+=(nodejs npm)

mkdir -p "$build"
log="$build/setup.log"
packages_log="$build/setup-packages.log"
: >"$log"
# Runs a step; in quiet mode its output goes to the log, shown in part if it fails.
step() {
  if ((quiet)); then
    if ! "$@" >>"$log" 2>&1; then
      echo "ERROR: '$*' failed; its last lines (all of them in $log):"
      tail -n 25 "$log"
      exit 1
    fi
  else
    "$@"
  fi
}

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing_build < <(missing "${build_packages[@]}")
mapfile -t missing_run < <(missing "${run_packages[@]}")

sudo=""
if ((${#missing_build[@]} + ${#missing_run[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null ||
      { echo "ERROR: need root or sudo to install: ${missing_build[*]} ${missing_run[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  step $sudo apt-get update
fi
apt_install() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"; }
if ((${#missing_build[@]})); then
  echo "Installing ${#missing_build[@]} Debian packages for the build (first run only): ${missing_build[*]}"
  step apt_install "${missing_build[@]}"
fi
# The run's packages install while the build compiles: the compiler keeps the cores busy while the
# package manager mostly waits on the network and the disk. The script waits for them whatever
# happens, since a package manager stopped half-way leaves the system's packages broken.
packages_pid=""
if ((${#missing_run[@]})); then
  echo "Installing ${#missing_run[@]} Debian packages for running, beside the build: ${missing_run[*]} (log: $packages_log)"
  apt_install "${missing_run[@]}" >"$packages_log" 2>&1 </dev/null &
  packages_pid=$!
  trap 'wait "$packages_pid" 2>/dev/null || true' EXIT
fi

first_build=0
generator=()
if [ ! -f "$build/CMakeCache.txt" ]; then
  first_build=1
  # Ninja starts a library's compiles before the libraries below it are linked and costs less CPU
  # than make between compiles; a folder configured earlier keeps its generator.
  generator=(-G Ninja)
  echo "Configuring the build in $build"
fi
step cmake "${generator[@]}" -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${VERDANCE_BUILD_TYPE:-RelWithDebInfo}"
what="everything"
target_args=()
if ((${#targets[@]})); then
  what="${targets[*]}"
  for t in "${targets[@]}"; do target_args+=(--target "$t"); done
fi
if ((quiet && first_build)); then
  echo "Building $what (the first build takes about 5 to 10 minutes on 2 cores; later runs only seconds)"
fi
step cmake --build "$build" -j"$(nproc)" "${target_args[@]}"

if [ -n "$packages_pid" ]; then
  if ! wait "$packages_pid"; then
    echo "ERROR: installing ${missing_run[*]} failed; its last lines (all of them in $packages_log):"
    tail -n 25 "$packages_log"
    exit 1
  fi
fi
