#!/usr/bin/env bash
# The fleet at load: BOXES simulated REZ boxes (default 64) reporting RATE calls a second
# each (default 20) for SECONDS (default 30) to one rig monitor that publishes to a
# local mosquitto, and one collector. Prints the boxes' acknowledgement times, the
# broker-to-collector latency, the rig monitor's CPU, memory and threads, and the calls
# sent, printed, stored, lost and doubled. Ends by itself.
#
# With PAGE=1 the collector also serves the fleet page, and a reader of its live feed
# (/api/events) says how long an event took from the box's PC to the page, and from the
# collector's intake (before storing) to the page: stored-to-page is within the latter.
#
#   bench/fleet.sh [BOXES] [RATE] [SECONDS]        (after scripts/setup)
#   PAGE=1 bench/fleet.sh 16 20 30
set -euo pipefail
cd "$(dirname "$0")/.."
boxes=${1:-64}
rate=${2:-20}
seconds=${3:-30}
bin=${BIN:-build/bin}
source bench/common.sh

port=$(free_port)
start_broker "$port"

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

# The collector's lines get their arrival time, to set against the publisher's pc_time
# (and, with PAGE=1, against the page's).
page=()
if [ -n "${PAGE:-}" ]; then
    page_port=$(free_port)
    page=(--http "$page_port")
fi
"$bin/dialkite-cli" collect --mqtt "mqtt://127.0.0.1:$port" --history "$work/collected.sqlite" \
    --client-id fleet-bench-collector "${page[@]}" 2>"$work/collect.log" > >(python3 -u -c '
import sys, json, datetime, time
intake = open(sys.argv[1], "w")
for line in sys.stdin:
    now = datetime.datetime.now(datetime.timezone.utc)
    try:
        event = json.loads(line)
        sent = datetime.datetime.fromisoformat(event["pc_time"].replace("Z", "+00:00"))
    except (KeyError, ValueError):
        continue
    print((now - sent).total_seconds() * 1000, flush=True)
    print(event.get("id"), time.time(), file=intake, flush=True)
' "$work/intake.txt" >"$work/latency.txt") &
collector=$!
pids+=($collector)
"$bin/dialkite-cli" monitor --rig "$work/rig.ini" --mqtt "mqtt://127.0.0.1:$port" \
    --spool "$work/spool.sqlite" --settings "$work/none.ini" >"$work/monitor.out" 2>"$work/monitor.log" &
monitor=$!
pids+=($monitor)

if [ -n "${PAGE:-}" ]; then
    # A browser's live feed: each event's arrival time.
    python3 -u - "$page_port" >"$work/page.txt" 2>"$work/page.log" <<'PY' &
import sys, json, time, urllib.request
for attempt in range(50):
    try:
        feed = urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}/api/events", timeout=60)
        break
    except OSError:
        time.sleep(0.2)
for raw in feed:
    if raw.startswith(b"data: "):
        event = json.loads(raw[6:])
        if "id" in event:
            print(event["id"], time.time(), event["pc_time"], flush=True)
PY
    pids+=($!)
fi

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
if [ -n "${PAGE:-}" ]; then
    python3 - "$work" <<'PY'
import sys, datetime
work = sys.argv[1]
intake = {}
for line in open(f"{work}/intake.txt"):
    parts = line.split()
    if len(parts) == 2:
        intake[parts[0]] = float(parts[1])
box_to_page, intake_to_page = [], []
for line in open(f"{work}/page.txt"):
    event_id, at, pc_time = line.split(maxsplit=2)
    sent = datetime.datetime.fromisoformat(pc_time.strip().replace("Z", "+00:00")).timestamp()
    box_to_page.append((float(at) - sent) * 1000)
    if event_id in intake:
        intake_to_page.append((float(at) - intake[event_id]) * 1000)
def show(name, values):
    values.sort()
    if values:
        print(f"{name}: {len(values)} events, p50 {values[len(values) // 2]:.1f} ms,"
              f" p99 {values[int(0.99 * (len(values) - 1))]:.1f} ms, max {values[-1]:.1f} ms")
show("box's PC to page", box_to_page)
show("collector's intake to page (stored on the way)", intake_to_page)
PY
fi

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
