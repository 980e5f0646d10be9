#!/usr/bin/env bash
# Box acceptance runs at speed: every example suite in suites/ against a healthy simulated
# box of its variant (the prompt answered and the caller rung at once). Prints the wall
# time of the whole run and the time the expectations took: how long after the step
# before it each expected thing came (a box answers within milliseconds), apart from the
# deliberate silences ("expect no ...") and the box's own delays (a dialled call ends after
# --call-end-after).
#
#   bench/suites.sh                                  (after scripts/setup)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BIN:-build/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"; kill $(jobs -p) 2>/dev/null || true' EXIT
start=$(date +%s%N)
for suite in suites/variant*.suite; do
    variant=$(sed -n 's/^select \([0-9]\).*/\1/p' "$suite" | head -n 1)
    mkfifo "$work/sim.in"
    "$bin/dialkite-sim" --variant "$variant" --call-end-after 300 <"$work/sim.in" \
        >"$work/sim.out" 2>"$work/sim.log" &
    sim=$!
    exec 3>"$work/sim.in"
    while [ ! -s "$work/sim.out" ]; do sleep 0.05; done
    # The prompt is answered, and the box rings line 2, once the dialled call is over.
    (sleep 1.5; echo "call 2 0212345678" >&3; echo) |
        "$bin/dialkite-cli" test "$suite" --device "$(head -n 1 "$work/sim.out")" \
            --captures "$work/runs" --history "$work/h.sqlite" --settings "$work/none.ini" \
            >>"$work/results.txt" 2>/dev/null || true
    exec 3>&-
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    rm -f "$work/sim.in" "$work/sim.out"
done
end=$(date +%s%N)
python3 - "$work/results.txt" "$(((end - start) / 1000000))" <<'PY'
import re, sys
lines = open(sys.argv[1]).read().splitlines()
times = []
silences = 0
for line in lines:
    m = re.match(r"\s+(ok|FAIL)\s+line \d+: (.*)\s+\((\d+) ms\)$", line)
    if not m:
        continue
    text = m.group(2)
    if text.startswith("expect no") or "call-end" in text or text.startswith("prompt"):
        silences += 1
        continue
    times.append(int(m.group(3)))
summary = [l for l in lines if l.endswith("failed") or ", 0 failed" in l]
print(f"8 suites in {int(sys.argv[2]) / 1000:.1f} s: {len(times) + silences} expectations, "
      f"{sum(1 for l in lines if l.lstrip().startswith('FAIL'))} failed")
if times:
    times.sort()
    print(f"time from the step to the expected thing: mean {sum(times) / len(times):.1f} ms,"
          f" max {times[-1]} ms over {len(times)} expectations"
          f" ({silences} silences and call ends left out)")
PY
