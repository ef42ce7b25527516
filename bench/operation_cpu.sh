#!/usr/bin/env bash
# CPU time, peak memory and time to the report window for one forwarding of
# two attempts (ERROR, then OK) against the simulated modem.
# Usage: bench/operation_cpu.sh [build folder]   (default: build/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
work="$(mktemp -d)"
modem_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$modem_pid" ] && kill "$modem_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

"$build/tools/renvolia-modemsim" --port 2 --replies error,ok >"$work/modem.log" &
modem_pid=$!
for _ in $(seq 50); do [ -L "$work/renvolia/ports/com2" ] && break; sleep 0.1; done
[ -L "$work/renvolia/ports/com2" ] || { echo "the simulated modem did not start" >&2; exit 1; }

seconds_of_day() { awk -F: '{ printf "%.3f", $1 * 3600 + $2 * 60 + $3 }'; }
started=$(date +%s.%N)
started_of_day=$(date +%H:%M:%S.%N | seconds_of_day)
QT_MESSAGE_PATTERN='%{time hh:mm:ss.zzz} %{message}' "$build/app/renvolia" 0612345678 2>"$work/app.log" &
app_pid=$!

for _ in $(seq 400); do grep -q ' ATH0$' "$work/modem.log" && break; sleep 0.1; done
grep -q ' ATH0$' "$work/modem.log" || { echo "no hang-up within 40 s" >&2; cat "$work/app.log" >&2; exit 1; }
sleep 0.5

read -r -a stat <"/proc/$app_pid/stat"
ticks=$(getconf CLK_TCK)
now=$(date +%s.%N)
peak_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$app_pid/status")
shown_of_day=$(awk '/report window shown/ {print $1; exit}' "$work/app.log" | seconds_of_day)
shown=$(awk -v a="$started_of_day" -v b="$shown_of_day" 'BEGIN { printf "%.3f", b - a }')
dials=$(grep -c ' ATDT' "$work/modem.log")

awk -v u="${stat[13]}" -v s="${stat[14]}" -v t="$ticks" -v a="$started" -v b="$now" \
    -v peak="$peak_kb" -v shown="$shown" -v dials="$dials" 'BEGIN {
  cpu = (u + s) / t; wall = b - a
  printf "attempts (dials)        %d\n", dials
  printf "wall time               %.2f s\n", wall
  printf "CPU time (user+system)  %.3f s\n", cpu
  printf "CPU share of wall time  %.2f %%\n", 100 * cpu / wall
  printf "peak resident memory    %.1f MiB\n", peak / 1024
  printf "start to report window  %.3f s\n", shown
}'
