#!/usr/bin/env bash
# Regenerates the reference frames in tests/reference/ (the intro, play 5, 40, 86 and 150 s and the
# credits, 256 x 256) on Mesa llvmpipe, for a change that is meant to alter the picture. The GL test
# ReferenceFrames.MatchTheCommittedPictures draws them with the capture tool and, with
# VERDANCE_UPDATE_REFERENCE_FRAMES set, replaces the committed pictures instead of comparing; each is
# written beside its old one and read back before it replaces it. Look at them before committing, and
# say in the commit message why the picture changed.
#   usage: scripts/update-reference-frames.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
cmake --build "$build" -j"$(nproc)" --target verdance_gl_tests
source "$root/scripts/xvfb.sh"
start_virtual_display
cd "$root"
LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe VERDANCE_EXPECT_GL_RENDERER=llvmpipe VERDANCE_UPDATE_REFERENCE_FRAMES=1 \
  "$build/verdance_gl_tests" --gtest_filter='GlDriver.*:ReferenceFrames.*' </dev/null
git -C "$root" status --short -- tests/reference
