#!/usr/bin/env bash
# The central history's speed, on a throwaway PostgreSQL cluster and a mosquitto of its
# own: events stored per second by 1, 2 and 4 collectors sharing the load (collect
# --share) into one PostgreSQL history, and by one collector into an SQLite file for
# comparison; then the number searches over a million calls on both engines, the same
# data and the same searches (Google Benchmark). Ends by itself.
#
#   bench/postgres.sh [EVENTS] [BOXES]        (after scripts/setup; default 100000 16)
set -euo pipefail
cd "$(dirname "$0")/.."
events=${1:-100000}
boxes=${2:-16}
bin=${BIN:-build/bin}
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
source bench/common.sh
# The server refuses to run as root: as postgres then.
as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=postgres --regid=postgres --clear-groups -- "$@"
    else
        "$@"
    fi
}
[ "$(id -u)" -eq 0 ] && chown postgres: "$work"

pg_port=$(free_port)
as_server "$pgbin/initdb" -D "$work/pg" -U postgres --auth=trust -E UTF8 --locale=C --no-sync >/dev/null
as_server "$pgbin/postgres" -D "$work/pg" -p "$pg_port" -k "$work" -c listen_addresses=127.0.0.1 \
    -c max_connections=50 >"$work/pg.log" 2>&1 &
pids+=($!)
psql_() { "$pgbin/psql" -h 127.0.0.1 -p "$pg_port" -U postgres -AtqX "$@"; }
for _ in $(seq 100); do psql_ -d postgres -c 'SELECT 1' >/dev/null 2>&1 && break; sleep 0.1; done

mqtt_port=$(free_port)
start_broker "$mqtt_port"

# N collectors on HISTORY; the seconds from the first event published to the last stored.
store_rate() {
    local n=$1 history=$2 tag=$3 label=$4
    local collectors=() share=()
    [[ $history == postgresql://* ]] && share=(--share "group$tag")
    for i in $(seq "$n"); do
        "$bin/dialkite-cli" collect --mqtt "mqtt://127.0.0.1:$mqtt_port" --history "$history" \
            "${share[@]}" --settings "$work/none.ini" >/dev/null 2>"$work/collect-$tag-$i.log" &
        collectors+=($!)
    done
    for _ in $(seq 100); do
        [ "$(cat "$work"/collect-"$tag"-*.log | grep -c connected || true)" -ge "$n" ] && break
        sleep 0.1
    done
    local start end
    start=$(date +%s.%N)
    "$bin/dialkite_flood" 127.0.0.1 "$mqtt_port" "$boxes" "$events" "i$tag" >/dev/null
    while [ "$(count)" -lt "$events" ]; do sleep 0.05; done
    end=$(date +%s.%N)
    kill "${collectors[@]}"
    wait "${collectors[@]}" 2>/dev/null || true
    awk -v s="$start" -v e="$end" -v n="$events" -v l="$label" \
        'BEGIN { printf "%-30s %8.0f events/s (%d in %.1f s)\n", l, n / (e - s), n, e - s }'
}

echo "$events calls from $boxes boxes, published as fast as the broker takes them"
for n in 1 2 4; do
    psql_ -d postgres -c "CREATE DATABASE fleet$n"
    count() { psql_ -d "fleet$n" -c "SELECT count(*) FROM events" 2>/dev/null || echo 0; }
    store_rate "$n" "postgresql://postgres@127.0.0.1:$pg_port/fleet$n" "pg$n" \
        "PostgreSQL, $n collector(s)"
done
count() { sqlite3 "$work/fleet.sqlite" "SELECT count(*) FROM events" 2>/dev/null || echo 0; }
store_rate 1 "$work/fleet.sqlite" sqlite "SQLite, 1 collector"

echo "searches over a million calls (the copy into PostgreSQL is copy_s):"
psql_ -d postgres -c "CREATE DATABASE million"
DIALKITE_BENCH_PG="postgresql://postgres@127.0.0.1:$pg_port/million" \
    "$bin/dialkite_bench" --benchmark_filter='HistorySearch' 2>&1 | grep -E '^History'
