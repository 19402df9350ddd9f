# Shared pieces of the benchmark scripts: messages, a free port, an nginx of our own on
# 127.0.0.1, medians. Source it; the caller sets `work` (a scratch folder) and `nginx_config`
# (a function that writes "$work/nginx.conf" for the port given).

nginx=/usr/sbin/nginx
nginx_pid=""

log() { printf 'bench: %s\n' "$*" >&2; }
die() {
    log "$*"
    exit 1
}

# Straight to 127.0.0.1, whatever proxy or per-user configuration the environment has.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY ftp_proxy FTP_PROXY
export no_proxy='*' NO_PROXY='*'

# Sets port to one in 20000-32767 (below the kernel's outgoing range) that nothing listens on now.
pick_port() {
    local used=" " state local_address
    for table in /proc/net/tcp /proc/net/tcp6; do
        [[ -r $table ]] || continue
        while read -r _ local_address _ state _; do
            [[ $state == 0A ]] && used+="$((16#${local_address##*:})) "
        done <"$table"
    done
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 12768))
        [[ $used == *" $port "* ]] || return 0
    done
    die "no free port found"
}

stop_nginx() {
    [[ -n $nginx_pid ]] || return 0
    kill -TERM "$nginx_pid" 2>/dev/null || true
    local deadline=$((SECONDS + 5))
    while kill -0 "$nginx_pid" 2>/dev/null && ((SECONDS < deadline)); do
        sleep 0.02
    done
    if kill -0 "$nginx_pid" 2>/dev/null; then
        kill -KILL "$nginx_pid" 2>/dev/null || true
    fi
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=""
}

# Starts nginx on a free port (sets `port`), moving to another one if the chosen port was taken.
start_nginx() {
    mkdir -p "$work/tmp"
    for _ in 1 2 3 4 5; do
        pick_port
        nginx_config "$port"
        rm -f "$work/nginx.pid"
        : >"$work/error.log"
        "$nginx" -p "$work/" -c "$work/nginx.conf" -e "$work/error.log" </dev/null \
            >>"$work/nginx.out" 2>&1 &
        nginx_pid=$!
        local deadline=$((SECONDS + 20))
        while :; do
            if ! kill -0 "$nginx_pid" 2>/dev/null; then
                wait "$nginx_pid" 2>/dev/null || true
                nginx_pid=""
                grep -q 'Address already in use' "$work/error.log" && continue 2
                die "nginx did not start: $(cat "$work/error.log" "$work/nginx.out")"
            fi
            # The pid file is written once the listening socket is open.
            if [[ -s $work/nginx.pid ]] && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
                return
            fi
            ((SECONDS < deadline)) || die "nginx is not answering on 127.0.0.1:$port"
            sleep 0.02
        done
    done
    die "nginx found no free port"
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
