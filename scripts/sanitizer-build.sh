# Sourced by scripts/sanitize.sh, scripts/fuzz.sh and scripts/test.sh: one clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer (-DVERDANCE_FUZZ=ON) serves both the sanitized unit
# tests and the libFuzzer targets, so the engine is compiled once for the two. Needs $root.

sanitizer_build_dir() { echo "${VERDANCE_SANITIZE_BUILD_DIR:-$root/build-sanitize}"; }

# Configures the folder unless it already holds this build; a folder of another kind (an earlier
# gcc sanitizer build) is configured afresh, as a compiler cannot change in place.
configure_sanitizer_build() {
  local build
  build="$(sanitizer_build_dir)"
  command -v clang++ >/dev/null || { echo "ERROR: clang++ not found; run scripts/setup.sh" >&2; return 2; }
  if [ -f "$build/CMakeCache.txt" ] && grep -q '^VERDANCE_FUZZ:BOOL=ON$' "$build/CMakeCache.txt" &&
    grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$build/CMakeCache.txt"; then
    return 0
  fi
  CC=clang CXX=clang++ cmake --fresh -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVERDANCE_FUZZ=ON >/dev/null
}

# Builds the given targets of the sanitizer build.
build_sanitizer_targets() {
  configure_sanitizer_build || return
  cmake --build "$(sanitizer_build_dir)" -j"$(nproc)" --target "$@"
}
