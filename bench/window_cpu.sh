#!/usr/bin/env bash
# The window's cost while it shows a live stream: the simulator streams at
# 10 Hz (receiver fixed, 20 satellites per epoch), the window has both ports
# open and decodes, logs and draws every epoch. Reports the window process's
# average CPU over 30 s and its resident memory at the start and at the end
# of the run, from /proc/<pid>/stat and /proc/<pid>/status.
#
#   bench/window_cpu.sh [minutes=10]
#
# Targets: at most 3% of one core on average; RSS does not grow.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
minutes=${1:-10}
[[ $minutes =~ ^[0-9]+([.][0-9]+)?$ ]] || { echo "usage: $0 [minutes]"; exit 2; }

cmake --preset dev >/dev/null
cmake --build build/dev --target zuvek zuvek-cli -j2 >/dev/null

scratch=$(mktemp -d)
export ZUVEK_SIM_DIR=$scratch/ports
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

build/dev/cli/zuvek-cli sim --name bench --rate 10 --gnss-on >"$scratch/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -e $ZUVEK_SIM_DIR/bench-NMEA ]] && break; sleep 0.1; done
[[ -e $ZUVEK_SIM_DIR/bench-NMEA ]] || { echo "simulator did not start"; cat "$scratch/sim.log"; exit 1; }

(cd "$scratch" && exec env QT_QPA_PLATFORM=offscreen "$root/build/dev/app/zuvek" \
  --demo-ports bench-AT,bench-NMEA >"$scratch/zuvek.log" 2>&1) &
win=$!
pids+=($win)

hz=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$win/stat"; }  # utime + stime
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$win/status"; }
# The all-NMEA log the window has open (beside the program).
log_lines() {
  local f
  f=$(find "/proc/$win/fd" -lname '*_nmea_log_all.txt' -printf '%l\n' 2>/dev/null | head -1)
  if [[ -n $f ]]; then wc -l <"$f"; else echo 0; fi
}

sleep 5  # start-up and the first epochs
[[ -d /proc/$win ]] || { echo "the window did not start"; cat "$scratch/zuvek.log"; exit 1; }
rss_start=$(rss_kb)
lines_start=$(log_lines)
t0=$(date +%s.%N); c0=$(cpu_ticks)
sleep 30
t1=$(date +%s.%N); c1=$(cpu_ticks)
lines_30=$(log_lines)
cpu=$(awk -v c="$((c1 - c0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" \
  'BEGIN { printf "%.2f", 100 * c / hz / (t1 - t0) }')
echo "cpu over 30 s: ${cpu}% of one core ($((lines_30 - lines_start)) NMEA lines logged)"
echo "rss at start: ${rss_start} kB"

remaining=$(awk -v m="$minutes" 'BEGIN { r = m * 60 - 30; print (r > 0 ? int(r) : 0) }')
elapsed=0
while (( elapsed < remaining )); do
  step=$(( remaining - elapsed < 60 ? remaining - elapsed : 60 ))
  sleep "$step"
  elapsed=$((elapsed + step))
  echo "rss after $((elapsed + 30)) s: $(rss_kb) kB"
done
rss_end=$(rss_kb)
echo "rss after ${minutes} min: ${rss_end} kB (start ${rss_start} kB, change $((rss_end - rss_start)) kB)"
awk -v c="$cpu" 'BEGIN { exit !(c <= 3.0) }' && echo "cpu target met (<= 3%)" || echo "cpu target MISSED (> 3%)"
