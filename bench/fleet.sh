#!/usr/bin/env bash
# The fleet at load: BOXES simulated REZ boxes (default 64) reporting RATE calls a second
# each (default 20) to one rig monitor that publishes to a local mosquitto, and one
# collector. Prints the boxes' acknowledgement times, the broker-to-collector latency,
# and the rig monitor's CPU and memory.
#
#   bench/fleet.sh [BOXES] [RATE] [SECONDS]        (after scripts/setup)
set -euo pipefail
cd "$(dirname "$0")/.."
boxes=${1:-64}
rate=${2:-20}
seconds=${3:-30}
bin=build/bin
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
user=""
[ "$(id -u)" -eq 0 ] && user="user root"
printf 'listener %s 127.0.0.1\nallow_anonymous true\n%s\n' "$port" "$user" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=($!)
sleep 0.5

# Each box starts calling once the console has identified it (a REZ box's blue calls
# are shown only then): two seconds on, from its script.
printf 'wait 3000\nrandom %s\n' "$rate" >"$work/calls.txt"
for i in $(seq "$boxes"); do
    "$bin/dialkite-sim" --variant 3 --script "$work/calls.txt" --keep-running --ack-timeout 2000 \
        >"$work/sim$i.out" 2>"$work/sim$i.log" &
    pids+=($!)
done
sleep 1
for i in $(seq "$boxes"); do
    printf '[box%s]\nDEVICE=%s\nVARIANT=3\nIDENTIFY=1\n' "$i" "$(head -n 1 "$work/sim$i.out")"
done >"$work/rig.ini"

# The collector's lines get their arrival time, to set against the publisher's pc_time.
"$bin/dialkite-cli" collect --mqtt "mqtt://127.0.0.1:$port" --history "$work/collected.sqlite" \
    2>"$work/collect.log" | python3 -u -c '
import sys, json, datetime
for line in sys.stdin:
    now = datetime.datetime.now(datetime.timezone.utc)
    try:
        sent = datetime.datetime.fromisoformat(json.loads(line)["pc_time"].replace("Z", "+00:00"))
    except (KeyError, ValueError):
        continue
    print((now - sent).total_seconds() * 1000, flush=True)
' >"$work/latency.txt" &
pids+=($!)
"$bin/dialkite-cli" monitor --rig "$work/rig.ini" --mqtt "mqtt://127.0.0.1:$port" \
    --spool "$work/spool.sqlite" --settings "$work/none.ini" >"$work/monitor.out" 2>"$work/monitor.log" &
monitor=$!
pids+=($monitor)

sleep "$((seconds + 2))"
ticks=$(getconf CLK_TCK)
read -r utime stime < <(awk '{print $14, $15}' "/proc/$monitor/stat")
rss=$(awk '/VmHWM/ {print $2}' "/proc/$monitor/status")
threads=$(awk '/Threads/ {print $2}' "/proc/$monitor/status")
for i in $(seq "$boxes"); do kill -INT "${pids[$i]}"; done
sleep 2

echo "boxes $boxes x $rate calls/s for $seconds s"
echo "rig monitor: CPU $(python3 -c "print(round(($utime + $stime) / $ticks / $seconds * 100, 1))")% of one core," \
    "peak memory $((rss / 1024)) MiB, $threads threads"
grep -h "acknowledged" "$work"/sim*.log | python3 -c '
import sys, re
p99 = [float(re.search(r"p99 ([0-9.]+)", l).group(1)) for l in sys.stdin]
count = len(p99)
print(f"acknowledgements: worst box p99 {max(p99):.2f} ms, median box p99 {sorted(p99)[count // 2]:.2f} ms ({count} boxes)")'
grep -h "missing" "$work"/sim*.log | grep -v " 0 acknowledgements missing" | head -n 3 || true
python3 -c '
import sys
values = sorted(float(v) for v in open(sys.argv[1]) if v.strip())
if values:
    print(f"broker to collector: {len(values)} events, p50 {values[len(values) // 2]:.1f} ms, p99 {values[int(0.99 * (len(values) - 1))]:.1f} ms")' "$work/latency.txt"
