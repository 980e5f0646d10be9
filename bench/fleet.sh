#!/usr/bin/env bash
# The fleet at load: BOXES simulated REZ boxes (default 64) reporting RATE calls a second
# each (default 20) for SECONDS (default 30) to one rig monitor that publishes to a
# local mosquitto, and one collector. Prints the boxes' acknowledgement times, the
# broker-to-collector latency, the rig monitor's CPU, memory and threads, and the calls
# sent, printed, stored, lost and doubled. Ends by itself.
#
#   bench/fleet.sh [BOXES] [RATE] [SECONDS]        (after scripts/setup)
set -euo pipefail
cd "$(dirname "$0")/.."
boxes=${1:-64}
rate=${2:-20}
seconds=${3:-30}
bin=${BIN:-build/bin}
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
printf 'listener %s 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n%s\n' "$port" "$user" \
    >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
pids+=($!)
sleep 0.5

# Each box starts calling once the console has identified it (a REZ box's blue calls
# are shown only then), and stops after SECONDS.
printf 'wait 3000\nrandom %s\n' "$rate" >"$work/calls.txt"
sims=()
for i in $(seq "$boxes"); do
    "$bin/dialkite-sim" --variant 3 --script "$work/calls.txt" --keep-running --ack-timeout 2000 \
        >"$work/sim$i.out" 2>"$work/sim$i.log" &
    sims+=($!)
    pids+=($!)
done
sleep 1
for i in $(seq "$boxes"); do
    printf '[box%s]\nDEVICE=%s\nVARIANT=3\nIDENTIFY=1\n' "$i" "$(head -n 1 "$work/sim$i.out")"
done >"$work/rig.ini"

# The collector's lines get their arrival time, to set against the publisher's pc_time.
"$bin/dialkite-cli" collect --mqtt "mqtt://127.0.0.1:$port" --history "$work/collected.sqlite" \
    --client-id fleet-bench-collector 2>"$work/collect.log" > >(python3 -u -c '
import sys, json, datetime
for line in sys.stdin:
    now = datetime.datetime.now(datetime.timezone.utc)
    try:
        sent = datetime.datetime.fromisoformat(json.loads(line)["pc_time"].replace("Z", "+00:00"))
    except (KeyError, ValueError):
        continue
    print((now - sent).total_seconds() * 1000, flush=True)
' >"$work/latency.txt") &
collector=$!
pids+=($collector)
"$bin/dialkite-cli" monitor --rig "$work/rig.ini" --mqtt "mqtt://127.0.0.1:$port" \
    --spool "$work/spool.sqlite" --settings "$work/none.ini" >"$work/monitor.out" 2>"$work/monitor.log" &
monitor=$!
pids+=($monitor)

# CPU between two moments once the calls flow (all threads, from the scheduler).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { printf "%.0f\n", sum }'; }
sleep 4
cpu0=$(cpu_ns "$monitor")
sleep "$seconds"
cpu1=$(cpu_ns "$monitor")
rss=$(awk '/VmHWM/ {print $2}' "/proc/$monitor/status")
threads=$(awk '/Threads/ {print $2}' "/proc/$monitor/status")
for pid in "${sims[@]}"; do kill -INT "$pid"; done
wait "${sims[@]}" 2>/dev/null || true
sleep 1
kill -TERM "$monitor"
wait "$monitor" 2>/dev/null || true
# What the collector still receives, then it stops too.
sleep 3
kill -TERM "$collector"
wait "$collector" 2>/dev/null || true

echo "boxes $boxes x $rate calls/s for $seconds s"
awk -v c="$((cpu1 - cpu0))" -v s="$seconds" -v r="$rss" -v t="$threads" 'BEGIN {
    printf "rig monitor: CPU %.1f%% of one core, peak memory %.1f MiB, %d threads\n", c / 1e9 / s * 100, r / 1024, t }'
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
# Calls: sent by the boxes (their logs), answered by the monitor (the boxes' count of
# acknowledgements, less the identification's), printed by the monitor, stored by the
# collector; lost and doubled between what the monitor printed and what was stored.
python3 - "$work" "$boxes" <<'PY'
import sys, re, json, sqlite3, collections
work, boxes = sys.argv[1], int(sys.argv[2])
sent = answered = 0
for i in range(1, boxes + 1):
    with open(f"{work}/sim{i}.log", errors="replace") as log:
        for line in log:
            if re.search(r" -> <STX>[0-9][Im]", line):
                sent += 1
            elif m := re.search(r"acknowledged ([0-9]+) records", line):
                answered += int(m.group(1)) - 1
printed = collections.Counter()
for line in open(f"{work}/monitor.out"):
    event = json.loads(line)
    if event.get("event") == "call":
        printed[event["box"]] += 1
stored = collections.Counter(dict(sqlite3.connect(f"{work}/collected.sqlite").execute(
    "SELECT box, count(*) FROM events WHERE kind = 'call' GROUP BY box")))
lost = sum(max(0, printed[b] - stored[b]) for b in printed)
doubled = sum(max(0, stored[b] - printed[b]) for b in stored)
print(f"calls: {sent} sent, {answered} answered, {sum(printed.values())} printed,"
      f" {sum(stored.values())} stored, {lost} lost, {doubled} doubled"
      f" (sent but not answered: the boxes were stopped while sending)")
PY
