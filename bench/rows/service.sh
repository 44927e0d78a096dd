# The service's rows: HTTP throughput against nginx, its footprint, the event log and the
# firmware CRC. One service instance (and one nginx) serves the HTTP rows, started by the first
# row that needs them; the idle row comes first so it sees a fresh process.

declare -A NGX_RPS=()

bench_shared_service() {
    [ -n "${SHARED_SVC_PID:-}" ] && return 0
    bench_start_service
    SHARED_SVC_PID=$SVC_PID SHARED_SVC_PORT=$SVC_PORT
    bench_start_nginx
}

# nginx's requests/s for its 200-byte file at c connections, keep-alive off, measured once per
# run.
nginx_rps() {
    [ -z "${NGX_RPS[$1]:-}" ] && NGX_RPS[$1]=$(bench_wrk "$1" "http://127.0.0.1:$NGX_PORT/file.html")
    echo "${NGX_RPS[$1]}"
}

row_idle_cpu() {
    bench_shared_service
    sleep 2
    local svc0 ngx0 svc1 ngx1 pids
    pids=$(pgrep -P "$NGX_PID" | tr '\n' ' ')
    svc0=$(bench_cpu_seconds "$SHARED_SVC_PID")
    ngx0=0
    for p in $NGX_PID $pids; do ngx0=$(awk -v a="$ngx0" -v b="$(bench_cpu_seconds "$p")" 'BEGIN {print a + b}'); done
    sleep 60
    svc1=$(bench_cpu_seconds "$SHARED_SVC_PID")
    ngx1=0
    for p in $NGX_PID $pids; do ngx1=$(awk -v a="$ngx1" -v b="$(bench_cpu_seconds "$p")" 'BEGIN {print a + b}'); done
    bench_row "idle CPU over 60 s, % of one core" \
        "$(awk -v a="$svc0" -v b="$svc1" 'BEGIN {printf "%.3f", (b - a) / 60 * 100}')" nginx \
        "$(awk -v a="$ngx0" -v b="$ngx1" 'BEGIN {printf "%.3f", (b - a) / 60 * 100}')"
}

# The HTTP rows: the service answers one request per connection, so nginx does so too.
row_get_index() {
    bench_shared_service
    for c in 16 100 256; do
        bench_row "GET /index.html req/s, $c connections" \
            "$(bench_wrk "$c" "http://127.0.0.1:$SHARED_SVC_PORT/index.html")" "nginx no-ka" \
            "$(nginx_rps "$c")"
    done
}

row_rpc_server_info() {
    bench_shared_service
    local script
    script=$(bench_rpc_script '{"jsonrpc":"2.0","id":1,"method":"GetServerInfo"}')
    for c in 16 100 256; do
        bench_row "JSON-RPC GetServerInfo req/s, $c connections" \
            "$(bench_wrk "$c" "http://127.0.0.1:$SHARED_SVC_PORT/" "$script")" "nginx no-ka" \
            "$(nginx_rps "$c")"
    done
}

row_rpc_vd_info() {
    bench_shared_service
    local script cookie
    cookie=$(bench_login_cookie "$SHARED_SVC_PORT")
    script=$(bench_rpc_script '{"jsonrpc":"2.0","id":1,"method":"GetVDInfo","params":{"domain":0,"id":1}}' "$cookie")
    for c in 16 100 256; do
        bench_row "logged-in GetVDInfo req/s, $c connections" \
            "$(bench_wrk "$c" "http://127.0.0.1:$SHARED_SVC_PORT/" "$script")" "nginx no-ka" \
            "$(nginx_rps "$c")"
    done
}

# Resident memory once the service has answered 200,000 requests (GetServerInfo tops up what
# the rows before sent), beside nginx's master and workers after as many file requests.
row_rss_after_requests() {
    bench_shared_service
    local script ngx_sent=0 out
    script=$(bench_rpc_script '{"jsonrpc":"2.0","id":1,"method":"GetServerInfo"}')
    while [ "$BENCH_REQUESTS" -lt 200000 ]; do
        bench_wrk 16 "http://127.0.0.1:$SHARED_SVC_PORT/" "$script" >/dev/null
    done
    while [ "$ngx_sent" -lt "$BENCH_REQUESTS" ]; do
        out=$(wrk -t 4 -c 100 -d 2s "http://127.0.0.1:$NGX_PORT/file.html" 2>&1)
        ngx_sent=$((ngx_sent + $(echo "$out" | awk '/requests in/ {print $1}')))
    done
    bench_row "RSS after $BENCH_REQUESTS requests, MiB" "$(bench_rss_mib "$SHARED_SVC_PID")" \
        nginx "$(bench_rss_mib "$NGX_PID" $(pgrep -P "$NGX_PID"))"
}

# GetEventLog over HTTP against the same page read straight from the database with SQLite.
row_eventlog_pages() {
    local n dir port ms best start
    for n in 1000 1000000; do
        dir=$BENCH_TMP/events.$n
        mkdir -p "$dir"
        "$BENCH_BUILD/bench/bench_tool" fill "$dir/eventlog.db" "$n"
        bench_start_service "$dir"
        port=$SVC_PORT
        local cookie
        cookie=$(bench_login_cookie "$port")
        for start in 0 $((n / 2)); do
            best=999999
            for _ in 1 2 3 4 5; do
                ms=$(curl -s -o /dev/null -w '%{time_total}' -H 'Content-Type: application/json' \
                    -H "Cookie: $cookie" \
                    -d "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"GetEventLog\",\"params\":{\"start\":$start,\"length\":100}}" \
                    "http://127.0.0.1:$port/" | awk '{printf "%.3f", $1 * 1000}')
                best=$(awk -v a="$ms" -v b="$best" 'BEGIN {print (a < b ? a : b)}')
            done
            bench_row "GetEventLog 100 rows at $start of $n events, ms" "$best" sqlite \
                "$("$BENCH_BUILD/bench/bench_tool" page "$dir/eventlog.db" "$start" 100)"
        done
        bench_stop_service
    done
}

# One event per commit through the store, beside a bare SQLite loop with the same file settings
# (default journal, synchronous FULL), both on the build folder's file system.
row_event_inserts() {
    local dir=$BENCH_BUILD/bench/inserts.$$ figures
    rm -rf "$dir" && mkdir -p "$dir"
    figures=$("$BENCH_BUILD/bench/bench_tool" inserts "$dir" 1000)
    rm -rf "$dir"
    bench_row "event inserts/s (one commit each)" "${figures% *}" "bare sqlite" "${figures#* }"
}

# The firmware container CRC over 256 MiB against coreutils cksum (both from memory / page
# cache, best of three), MB/s.
row_fw_crc() {
    local file=$BENCH_TMP/fw.bin ours best=999 t0 t1
    head -c 268435456 /dev/urandom >"$file"
    ours=$("$BENCH_BUILD/bench/bench_tool" crc "$file" | cut -d' ' -f1)
    cksum "$file" >/dev/null
    for _ in 1 2 3; do
        t0=$(date +%s.%N)
        cksum "$file" >/dev/null
        t1=$(date +%s.%N)
        best=$(awk -v a="$t0" -v b="$t1" -v c="$best" 'BEGIN {t = b - a; print (t < c ? t : c)}')
    done
    bench_row "firmware CRC of 256 MiB, MB/s" "$ours" cksum \
        "$(awk -v t="$best" 'BEGIN {printf "%.0f", 268435456 / t / 1e6}')"
    rm -f "$file"
}

BENCH_ROWS+=(row_idle_cpu row_get_index row_rpc_server_info row_rpc_vd_info row_rss_after_requests
             row_eventlog_pages row_event_inserts row_fw_crc)
