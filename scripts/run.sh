#!/usr/bin/env bash
# Builds if needed and starts the demo from the repository root (everything is read from assets/).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh" >/dev/null
cd "$root"
if [ -z "${DISPLAY:-}" ]; then
  echo "No display found (DISPLAY is not set): running Verdance on a virtual display (Xvfb); nothing will be visible."
  source "$root/scripts/xvfb.sh"
  start_virtual_display
fi
exec_status=0
"$build/verdance" || exec_status=$?
exit "$exec_status"
