#!/usr/bin/env bash
# How long the program takes to end once its last window is closed, on a real
# X server (Xvfb) with a window manager, as a user closes it: the
# configuration window alone, and the report window after a cancellation on
# the simulated modem. Installs xvfb, openbox and wmctrl when missing.
# Usage: bench/exit_latency.sh [build folder]   (default: build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
"$root/scripts/install-deps" xvfb openbox wmctrl
work="$(mktemp -d)"
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export XDG_CONFIG_HOME="$work" XDG_STATE_HOME="$work/state" DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1280x1024x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1

milliseconds() { echo $(( $(date +%s%N) / 1000000 )); }
# close_and_time PID TITLE: asks the window manager to close the window, then
# waits for the process to end.
close_and_time() {
  local start end
  start=$(milliseconds)
  wmctrl -c "$2"
  while kill -0 "$1" 2>/dev/null; do sleep 0.005; done
  end=$(milliseconds)
  echo $((end - start))
}

"$build/app/renvolia" 2>/dev/null & app=$!
sleep 2
echo "configuration window closed: $(close_and_time $app Configuration) ms"

"$build/tools/renvolia-modemsim" --port 2 >/dev/null & pids+=($!)
sleep 0.5
"$build/app/renvolia" A 2>/dev/null & app=$!
sleep 12 # one accepted attempt: 7 s of listening, 3 s of pause
echo "report window closed:        $(close_and_time $app "Renvolia d'appel") ms"
