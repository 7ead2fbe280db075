#!/usr/bin/env bash
# validate.sh <file.gltf>: runs the official Khronos glTF validator (npm package gltf-validator, the
# version pinned in package-lock.json) on a glTF file. Installs the package into node_modules/ beside
# this script on first use. Exit code: 0 no errors, 1 the validator found errors, 2 could not validate.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

usage() { echo "Usage: $0 <file.gltf|file.glb>"; }
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then usage; exit 0; fi
if [ $# -ne 1 ]; then usage; exit 2; fi
for tool in node npm; do
  command -v "$tool" >/dev/null || { echo "ERROR: Failed to validate '$1': $tool is not installed"; exit 2; }
done

if [ ! -f "$here/node_modules/gltf-validator/package.json" ]; then
  # One installer at a time when several test runs start together.
  exec 9>"${TMPDIR:-/tmp}/verdance-gltf-validator.lock"
  flock 9
  if [ ! -f "$here/node_modules/gltf-validator/package.json" ]; then
    echo "Installing gltf-validator into $here/node_modules"
    npm ci --prefix "$here" --no-audit --no-fund --loglevel=error ||
      { echo "ERROR: Failed to validate '$1': npm could not install gltf-validator"; exit 2; }
  fi
  flock -u 9
fi

exec node "$here/validate.mjs" "$1"
