# What the benchmark scripts share; sourced, not run. A scratch folder ($work) and the
# background processes they start ($pids), both gone when the script ends, however it
# ends; a free TCP port on loopback.
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# A mosquitto of the benchmark's own on loopback and port $1, queueing without limit.
start_broker() {
    local user=""
    [ "$(id -u)" -eq 0 ] && user="user root"
    printf 'listener %s 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n%s\n' "$1" "$user" \
        >"$work/mosquitto.conf"
    mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
    pids+=($!)
    sleep 0.5
}
