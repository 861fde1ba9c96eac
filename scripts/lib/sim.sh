# Starting the simulated sensor from a script; it is stopped when the script exits.
# shellcheck shell=bash

# start_sim [SIM OPTION...]: sets SIM_DEVICE (the line to open), SIM_LOG and SIM_PID.
start_sim() {
  SIM_LOG="$(mktemp -t kv9240b-sim.XXXXXX.log)"
  "$BUILD_DIR/tools/sim/kv9240b-sim" "$@" >"$SIM_LOG" 2>&1 &
  SIM_PID=$!
  trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
  local tries=0
  SIM_DEVICE=""
  while [ -z "$SIM_DEVICE" ]; do
    kill -0 "$SIM_PID" 2>/dev/null || { cat "$SIM_LOG" >&2; echo "the simulated sensor did not start" >&2; exit 1; }
    [ $tries -ge 100 ] && { echo "the simulated sensor did not name its line" >&2; exit 1; }
    SIM_DEVICE="$(head -n 1 "$SIM_LOG" 2>/dev/null || true)"
    [ -n "$SIM_DEVICE" ] || { sleep 0.05; tries=$((tries + 1)); }
  done
}
