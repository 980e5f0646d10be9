#!/usr/bin/env bash
# A station's speed: one suite on 1 simulated box, then on 16 at once (--device repeated),
# each box with a console of its own. Prints both wall times and their ratio (the goal:
# 16 boxes in at most 1.3 times the time of one). The suite is the variant 3 example's
# operator steps and expectations without its prompt (nobody to ring a line here).
#
#   bench/station.sh [BOXES]                         (after scripts/setup; default 16)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BIN:-build/bin}
boxes=${1:-16}
work=$(mktemp -d)
trap 'rm -rf "$work"; kill $(jobs -p) 2>/dev/null || true' EXIT
grep -v -e '^prompt' -e 'expect call line=2' -e 'expect tx <STX>2I' suites/variant3-rez.suite \
    >"$work/station.suite"

# The wall time, in milliseconds, of the suite on the first N boxes at once.
run() {
    local n=$1 devices=()
    for ((i = 0; i < n; i++)); do
        devices+=(--device "$(head -n 1 "$work/sim$i.out")")
    done
    local start end
    start=$(date +%s%N)
    "$bin/dialkite-cli" test "$work/station.suite" "${devices[@]}" --variant 3 --batch \
        --captures "$work/runs" --history "$work/h$n.sqlite" --settings "$work/none.ini" \
        >"$work/out$n.txt" 2>&1 || { cat "$work/out$n.txt" >&2; exit 1; }
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

for ((i = 0; i < boxes; i++)); do
    "$bin/dialkite-sim" --variant 3 --keep-running --no-input --call-end-after 300 \
        >"$work/sim$i.out" 2>/dev/null &
done
for ((i = 0; i < boxes; i++)); do
    while [ ! -s "$work/sim$i.out" ]; do sleep 0.05; done
done
one=$(run 1)
many=$(run "$boxes")
python3 - "$one" "$many" "$boxes" <<'PY'
import sys
one, many, boxes = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
print(f"1 box: {one} ms; {boxes} boxes at once: {many} ms; ratio {many / one:.2f}"
      f" (goal: at most 1.3)")
PY
