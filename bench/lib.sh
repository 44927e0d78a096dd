# Helpers the rows of bench/run share: building, the programs under test and their references,
# load generation and the table. Sourced, not run.

BENCH_BUILD=build
BENCH_TMP=$(mktemp -d "${TMPDIR:-/tmp}/bench.XXXXXX")
BENCH_PIDS=()
trap 'bench_cleanup' EXIT

bench_cleanup() {
    for pid in "${BENCH_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$BENCH_TMP"
}

# Debian packages the benchmarks use and the tests do not.
bench_setup() {
    local missing=()
    for p in wrk nginx-light curl coreutils sqlite3; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        local sudo=()
        [ "$(id -u)" -ne 0 ] && sudo=(sudo)
        echo "bench: installing ${missing[*]}" >&2
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
    cmake --preset default >/dev/null
    cmake --build --preset default --target hxraidsvc-emu bench_tool >/dev/null
    echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
        "$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1 /proc/loadavg)"
}

bench_header() {
    printf '%-52s %16s %24s %8s\n' measure "this project" reference ratio
}

# bench_row <measure> <ours> <reference-name> <reference>
bench_row() {
    local ratio
    ratio=$(awk -v a="$2" -v b="$4" 'BEGIN { if (b + 0 == 0) print "-"; else printf "%.3g", a / b }')
    printf '%-52s %16s %24s %8s\n' "$1" "$2" "$3 $4" "$ratio"
}

bench_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

bench_wait_port() {
    for _ in $(seq 100); do
        curl -s -o /dev/null "http://127.0.0.1:$1/" && return 0
        sleep 0.1
    done
    echo "bench: nothing answers on port $1" >&2
    return 1
}

# Starts the service over the emulated controllers in a folder of its own (an event database
# already there is kept); sets SVC_PORT, SVC_PID and SVC_DIR.
bench_start_service() {
    SVC_DIR=${1:-$BENCH_TMP/svc.$RANDOM}
    mkdir -p "$SVC_DIR"
    SVC_PORT=$(bench_free_port)
    "$BENCH_BUILD/service/hxraidsvc-emu" -debug -port "$SVC_PORT" -config "$SVC_DIR" \
        -log "$SVC_DIR/hxraidsvc.log" >/dev/null 2>&1 &
    SVC_PID=$!
    BENCH_PIDS+=("$SVC_PID")
    bench_wait_port "$SVC_PORT"
}

bench_stop_service() {
    kill -INT "$SVC_PID" 2>/dev/null || true
    wait "$SVC_PID" 2>/dev/null || true
}

# nginx doing the same work as the service: one request per connection (keep-alive off), 4
# workers, a listen backlog of 100 like the service's, serving a 200-byte file. Sets NGX_PORT and
# NGX_DIR.
bench_start_nginx() {
    NGX_DIR=$BENCH_TMP/nginx
    mkdir -p "$NGX_DIR/www" "$NGX_DIR/logs"
    head -c 200 /dev/zero | tr '\0' 'x' >"$NGX_DIR/www/file.html"
    NGX_PORT=$(bench_free_port)
    cat >"$NGX_DIR/nginx.conf" <<CONF
worker_processes 4;
pid $NGX_DIR/nginx.pid;
error_log $NGX_DIR/logs/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    keepalive_timeout 0;
    include /etc/nginx/mime.types;
    server {
        listen 127.0.0.1:$NGX_PORT backlog=100;
        root $NGX_DIR/www;
    }
}
CONF
    nginx -p "$NGX_DIR" -c "$NGX_DIR/nginx.conf" -g 'daemon off;' 2>/dev/null &
    NGX_PID=$!
    BENCH_PIDS+=("$NGX_PID")
    bench_wait_port "$NGX_PORT"
}

# A wrk script that POSTs one JSON-RPC body, with a session cookie when given.
bench_rpc_script() {
    local body=$1 cookie=${2:-} file=$BENCH_TMP/rpc.$RANDOM.lua
    {
        echo 'wrk.method = "POST"'
        printf 'wrk.body = [[%s]]\n' "$body"
        echo 'wrk.headers["Content-Type"] = "application/json"'
        [ -n "$cookie" ] && printf 'wrk.headers["Cookie"] = "%s"\n' "$cookie"
    } >"$file"
    echo "$file"
}

BENCH_REQUESTS=0  # requests the current service instance has answered under wrk
# bench_wrk <connections> <url> [script]: prints requests/s; counts the requests sent to the
# service.
bench_wrk() {
    local c=$1 url=$2 script=${3:-} out
    out=$(wrk -t 4 -c "$c" -d "${BENCH_SECONDS:-5}s" ${script:+-s "$script"} "$url" 2>&1)
    if [[ $url == *":$SVC_PORT/"* ]]; then
        BENCH_REQUESTS=$((BENCH_REQUESTS + $(echo "$out" | awk '/requests in/ {print $1}')))
    fi
    echo "$out" | awk '/Requests\/sec/ {printf "%.0f", $2}'
}

# CPU seconds (user + system) a process and its threads have used.
bench_cpu_seconds() {
    awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$1/stat"
}

# Resident memory of processes, MiB.
bench_rss_mib() {
    local kb=0
    for pid in "$@"; do
        kb=$((kb + $(awk '/VmRSS/ {print $2}' "/proc/$pid/status")))
    done
    awk -v k="$kb" 'BEGIN {printf "%.1f", k / 1024}'
}

bench_login_cookie() {
    curl -s -D - -o /dev/null -H 'Content-Type: application/json' \
        -d '{"jsonrpc":"2.0","id":1,"method":"Login","params":{"username":"admin","password":""}}' \
        "http://127.0.0.1:$1/" | sed -n 's/^[Ss]et-[Cc]ookie: \(sid=[0-9a-f]*\).*/\1/p' | tr -d '\r'
}
