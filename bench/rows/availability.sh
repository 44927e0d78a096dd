# Availability rows: keep-alive-less load at 16, 100 and 200 clients (throughput and p99), a
# 10 MB many-member body, and an answer while idle and slow connections are held open. Each row
# starts a service of its own; BENCH_SERVICE=<program> measures another build of hxraidsvc-emu
# (an older one, for a before/after figure).

avail_start() {
    local dir=$BENCH_TMP/avail.$RANDOM
    mkdir -p "$dir"
    AVAIL_PORT=$(bench_free_port)
    "${BENCH_SERVICE:-$BENCH_BUILD/service/hxraidsvc-emu}" -debug -port "$AVAIL_PORT" \
        -config "$dir" -log "$dir/hxraidsvc.log" >/dev/null 2>&1 &
    AVAIL_PID=$!
    BENCH_PIDS+=("$AVAIL_PID")
    bench_wait_port "$AVAIL_PORT"
}

# bench_row, but a probe that got no answer shows as such instead of a ratio of 0.
avail_row() {
    if [[ $2 =~ ^[0-9.]+$ ]]; then
        bench_row "$@"
    else
        printf '%-52s %16s %24s %8s\n' "$1" "$2" "$3 $4" "-"
    fi
}

avail_stop() {
    kill -INT "$AVAIL_PID" 2>/dev/null || true
    wait "$AVAIL_PID" 2>/dev/null || true
}

# avail_wrk <port> <connections>: "<requests/s> <p99 ms>" for GET / with a new connection per
# request.
avail_wrk() {
    wrk -t 4 -c "$2" -d "${BENCH_SECONDS:-5}s" --timeout 10s --latency -H 'Connection: close' \
        "http://127.0.0.1:$1/" 2>&1 | awk '
        /Requests\/sec/ { rps = $2 }
        $1 == "99%" { v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v)
                      p99 = v * (u == "us" ? 0.001 : u == "s" ? 1000 : 1) }
        END { printf "%.0f %.1f\n", rps, p99 }'
}

row_avail_load() {
    avail_start
    local rps16 p16 rps p99 c
    read -r rps16 p16 <<<"$(avail_wrk "$AVAIL_PORT" 16)"
    bench_row "GET / no keep-alive req/s, 16 clients" "$rps16" "16 clients" "$rps16"
    bench_row "GET / no keep-alive p99 ms, 16 clients" "$p16" "goal" 100
    for c in 100 200; do
        read -r rps p99 <<<"$(avail_wrk "$AVAIL_PORT" "$c")"
        bench_row "GET / no keep-alive req/s, $c clients" "$rps" "16 clients" "$rps16"
        bench_row "GET / no keep-alive p99 ms, $c clients" "$p99" "goal" 100
    done
    avail_stop
}

row_avail_many_members() {
    avail_start
    local out
    out=$(python3 bench/probe.py big-body "$AVAIL_PORT" 10)
    avail_row "10 MB many-member body answered, s" "$(sed -n 1p <<<"$out")" "goal" 1
    avail_row "another client at the same time, s" "$(sed -n 2p <<<"$out")" "goal" 1
    avail_stop
}

row_avail_held_connections() {
    avail_start
    avail_row "answer beside 20 idle + 10 slow connections, s" \
        "$(python3 bench/probe.py held "$AVAIL_PORT" 20 10)" "goal" 1
    avail_stop
}

BENCH_ROWS+=(row_avail_load row_avail_many_members row_avail_held_connections)
