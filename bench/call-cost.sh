#!/usr/bin/env bash
# CPU a monitor spends per call: one simulated REZ box reporting RATE calls a second
# (default 100) for SECONDS (default 10) to a monitor, once with no outputs and once with
# every output a monitor can have (capture, call history, MQTT through a local mosquitto
# with its spool). Prints the calls seen and the monitor's CPU time per call.
#
#   bench/call-cost.sh [RATE] [SECONDS]             (after scripts/setup)
#   BIN=/other/build/bin bench/call-cost.sh          (another build, for a before/after)
set -euo pipefail
cd "$(dirname "$0")/.."
rate=${1:-100}
seconds=${2:-10}
bin=${BIN:-build/bin}
source bench/common.sh

port=$(free_port)
user=""
[ "$(id -u)" -eq 0 ] && user="user root"
printf 'listener %s 127.0.0.1\nallow_anonymous true\n%s\n' "$port" "$user" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=($!)
# Nanoseconds on a CPU, every thread of the process together (exact, unlike ticks).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { print sum }'; }

measure() {
    local label=$1
    shift
    printf 'wait 1500\nrandom %s\n' "$rate" >"$work/calls.txt"
    "$bin/dialkite-sim" --variant 3 --script "$work/calls.txt" --seed 7 --keep-running \
        >"$work/sim.out" 2>"$work/sim.log" &
    local sim=$!
    sleep 0.5
    "$bin/dialkite-cli" monitor --device "$(head -n 1 "$work/sim.out")" --variant 3 --identify \
        --settings "$work/none.ini" "$@" >"$work/monitor.out" 2>"$work/monitor.log" &
    local monitor=$!
    # Measured between two moments once the calls flow, so that starting the program
    # (loading Qt, opening files) is not counted.
    sleep 3
    local cpu0 cpu1 calls0 calls1
    cpu0=$(cpu_ns "$monitor")
    calls0=$(grep -c '"event": "call"' "$work/monitor.out" || true)
    sleep "$seconds"
    cpu1=$(cpu_ns "$monitor")
    calls1=$(grep -c '"event": "call"' "$work/monitor.out" || true)
    kill -TERM "$monitor" "$sim"
    wait "$sim" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
    awk -v l="$label" -v u="$((cpu1 - cpu0))" -v c="$((calls1 - calls0))" \
        'BEGIN { printf "%-14s %6d calls, %8.1f us of CPU a call\n", l, c, u / 1000 / (c ? c : 1) }'
    rm -f "$work"/*.sqlite* "$work"/*.scn
}

echo "one box, $rate calls/s for $seconds s ($bin)"
measure "no outputs"
measure "every output" --capture "$work/c.scn" --history "$work/h.sqlite" \
    --mqtt "mqtt://127.0.0.1:$port" --spool "$work/spool.sqlite"
