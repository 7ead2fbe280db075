#!/usr/bin/env bash
# Everything on a fresh Debian 12 machine: installs and builds (scripts/setup.sh), starts a virtual
# display when there is none, then runs two lanes side by side, since neither keeps both cores busy:
#   GL:          every test (ctest) on Mesa llvmpipe, then the GL tests again on Mesa zink over
#                lavapipe, a second OpenGL implementation that is stricter in places;
#   sanitizers:  one clang build with AddressSanitizer and UndefinedBehaviorSanitizer, then the
#                context-free tests under it (scripts/sanitize.sh) and a 30 s smoke of every fuzz
#                target, two at a time (scripts/fuzz.sh; VERDANCE_FUZZ_SECONDS changes the time).
# Each pass runs two tests at a time (the render farm's, the longest, first): a GL test keeps a core
# busy only part of the time (start-up, shader compiles, child processes).
# Each stage's output is printed when it ends (and kept in build/test-logs/); the stages' times come
# last. Arguments go to the llvmpipe ctest run. Exits with 1 when any stage failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
source "$root/scripts/sanitizer-build.sh"
sanitize_build="$(sanitizer_build_dir)"
logs="$build/test-logs"
fuzz_targets=(dds obj mtl settings gltf hdr)


started=$(date +%s)
clock() { date +%s; }
minutes() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# Runs a stage with its output in its own log, records its time and result, and prints the log when
# it ends (whole, so that the two lanes' outputs do not interleave).
stage() {
  local name="$1"
  shift
  local log="$logs/$name.log" begin rc=0
  begin=$(clock)
  echo "== $name: started"
  "$@" >"$log" 2>&1 </dev/null || rc=$?
  local seconds=$(($(clock) - begin))
  echo "$seconds $rc" >"$logs/$name.result"
  {
    echo "== $name: output"
    cat "$log"
    if ((rc)); then echo "== $name: FAILED (exit $rc) after $(minutes "$seconds")"; else echo "== $name: passed in $(minutes "$seconds")"; fi
  } | flock "$logs" cat
  return "$rc"
}

# Mesa's driver choice for a pass; the GL tests check the renderer they got against the one asked for.
llvmpipe_env=(env LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe VERDANCE_EXPECT_GL_RENDERER=llvmpipe)

# Mesa falls back to llvmpipe without a word when zink cannot start; say so before a whole pass runs.
# The build baked the sky's lighting for llvmpipe only, so on zink every start of the real sky would
# compute it (3 CPU-s each): the pass's tests share one lighting cache, emptied first so that the pass
# computes it on zink at least once.
zink_pass() {
  local lighting="$build/test-output/zink/lighting-cache"
  rm -rf "$lighting" && mkdir -p "$lighting"
  local renderer zink_env=(env LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=zink XDG_RUNTIME_DIR="$zink_runtime"
    VERDANCE_EXPECT_GL_RENDERER=zink VERDANCE_TEST_OUTPUT_DIR="$build/test-output/zink"
    VERDANCE_TEST_LIGHTING_CACHE="$lighting")
  renderer=$("${zink_env[@]}" glxinfo -B 2>&1 | sed -n 's/^OpenGL renderer string: //p')
  if [[ "$renderer" != zink* ]]; then
    echo "ERROR: zink did not start (renderer '${renderer:-none}'); is mesa-vulkan-drivers installed?"
    return 1
  fi
  echo "renderer: $renderer"
  "${zink_env[@]}" ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -L gl
}

gl_lane() {
  local status=0
  stage "ctest-llvmpipe" "${llvmpipe_env[@]}" ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@" ||
    status=1
  stage "gl-tests-zink" zink_pass || status=1
  return "$status"
}

sanitizer_lane() {
  local status=0
  stage "sanitizer-build" build_sanitizer_targets verdance_tests "${fuzz_targets[@]/#/fuzz_}" || return 1
  # The context-free tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
  stage "sanitized-unit-tests" "$root/scripts/sanitize.sh" || status=1
  # Every reader fuzzed for a short while, so that a regression shows; long runs are done by hand.
  stage "fuzz-smoke" "$root/scripts/fuzz.sh" --time "${VERDANCE_FUZZ_SECONDS:-30}" --jobs 2 || status=1
  return "$status"
}

mkdir -p "$build"
begin=$(clock)
"$root/scripts/setup.sh" </dev/null
setup_seconds=$(($(clock) - begin))
rm -rf "$logs"
mkdir -p "$logs"
source "$root/scripts/xvfb.sh"
start_virtual_display
# zink's Vulkan loader wants a runtime folder of its own (mode 700); xvfb.sh's exit trap stops the
# display it started, this one also removes the folder.
zink_runtime="$(mktemp -d)"
trap 'kill "${VERDANCE_XVFB_PID:-}" 2>/dev/null || true; rm -rf "$zink_runtime"' EXIT

status=0
gl_lane "$@" &
gl=$!
sanitizer_lane &
sanitizers=$!
wait "$gl" || status=1
wait "$sanitizers" || status=1

echo "== stage times (wall clock; the two lanes ran side by side)"
printf '  %-22s %s\n' "setup (install, build)" "$(minutes "$setup_seconds")"
for name in ctest-llvmpipe gl-tests-zink sanitizer-build sanitized-unit-tests fuzz-smoke; do
  if [ -f "$logs/$name.result" ]; then
    read -r seconds rc <"$logs/$name.result"
    printf '  %-22s %s%s\n' "$name" "$(minutes "$seconds")" "$( ((rc)) && echo "  FAILED" || true)"
  else
    printf '  %-22s %s\n' "$name" "not run"
  fi
done
printf '  %-22s %s\n' "total" "$(minutes $(($(clock) - started)))"
exit "$status"
