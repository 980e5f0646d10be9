#!/usr/bin/env bash
# A quiet rig: BOXES simulated boxes (default 64) that report nothing, on one rig
# monitor with every output a rig can have (call history, MQTT publishing through a
# local mosquitto with its spool). After SECONDS (default 5) prints the monitor's peak
# and current memory and its threads, with no outputs and with all of them.
#
#   bench/rig-memory.sh [BOXES] [SECONDS]          (after scripts/setup)
#   BIN=/other/build/bin bench/rig-memory.sh        (another build, for a before/after)
set -euo pipefail
cd "$(dirname "$0")/.."
boxes=${1:-64}
seconds=${2:-5}
bin=${BIN:-build/bin}
source bench/common.sh

port=$(free_port)
user=""
[ "$(id -u)" -eq 0 ] && user="user root"
printf 'listener %s 127.0.0.1\nallow_anonymous true\n%s\n' "$port" "$user" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=($!)

for i in $(seq "$boxes"); do
    "$bin/dialkite-sim" --variant 3 --no-input >"$work/sim$i.out" 2>/dev/null &
    pids+=($!)
done
sleep 1
for i in $(seq "$boxes"); do
    printf '[box%s]\nDEVICE=%s\nVARIANT=3\n' "$i" "$(head -n 1 "$work/sim$i.out")"
done >"$work/rig.ini"

measure() {
    local label=$1
    shift
    "$bin/dialkite-cli" monitor --rig "$work/rig.ini" --settings "$work/none.ini" "$@" \
        >"$work/monitor.out" 2>"$work/monitor.log" &
    local monitor=$!
    sleep "$seconds"
    local peak rss threads
    peak=$(awk '/VmHWM/ {print $2}' "/proc/$monitor/status")
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$monitor/status")
    threads=$(awk '/Threads/ {print $2}' "/proc/$monitor/status")
    kill -TERM "$monitor"
    wait "$monitor" 2>/dev/null || true
    awk -v l="$label" -v p="$peak" -v r="$rss" -v t="$threads" \
        'BEGIN { printf "%-28s peak %6.1f MB, now %6.1f MB, %4d threads\n", l, p / 1024, r / 1024, t }'
}

echo "quiet rig of $boxes boxes ($bin)"
measure "no outputs"
measure "mqtt" --mqtt "mqtt://127.0.0.1:$port" --spool "$work/spool.sqlite"
measure "mqtt and history" --mqtt "mqtt://127.0.0.1:$port" --spool "$work/spool.sqlite" \
    --history "$work/history.sqlite"
