# Sourced by the run and test scripts: starts Xvfb on a free display when none is set, and stops it
# on exit. A 24-bit screen: older Xvfb defaults give 8 bits, which GLX cannot render into.
# -noreset: by default the server resets whenever its last client leaves, and a client that
# connects during the reset loses its connection ("unable to open display", or SIGPIPE when it is
# already writing); with tests starting and ending two at a time that happens now and then.
start_virtual_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  VERDANCE_XVFB_PID=$!
  trap 'kill "$VERDANCE_XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "ERROR: Xvfb did not start on display :$n" >&2
  return 1
}
