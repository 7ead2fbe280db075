#!/usr/bin/env bash
# Builds what the demo needs (installing packages on the first run) and starts it from the
# repository root (everything is read from assets/). Without a display there is nothing to watch it
# on: it renders the movie instead (build/verdance.mp4) without one, with its progress.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
cd "$root"

if [ -n "${DISPLAY:-}" ]; then
  "$root/scripts/setup.sh" --quiet verdance bake_assets bake_lighting warm_shader_cache
  exec_status=0
  "$build/verdance" || exec_status=$?
  exit "$exec_status"
fi

echo "No display found (DISPLAY is not set): rendering the demo as a video instead, build/verdance.mp4"
echo "(on a context without a display; with software OpenGL each frame takes about half a second: an hour or more)."
"$root/scripts/setup.sh" --quiet movie bake_assets bake_lighting warm_shader_cache
exec_status=0
"$build/tools/movie/movie" || exec_status=$?
exit "$exec_status"
