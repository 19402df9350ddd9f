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

# The throughput benchmarks: the caller sets `work`, `download_timeout` and a `set_command` that
# fills `cmd` for a tool, a URL and an output folder.

# Makes (once) a file of random bytes; keeps its sha256 beside it.
make_source() {
    local path=$1 bytes=$2
    if [[ ! -f $path || $(stat -c %s "$path") -ne $bytes ]]; then
        log "creating $path ($bytes bytes)"
        head -c "$bytes" /dev/urandom >"$path.part"
        mv "$path.part" "$path"
        rm -f "$path.sha256"
    fi
    [[ -f $path.sha256 ]] || sha256sum <"$path" | cut -d' ' -f1 >"$path.sha256"
}

verify() {
    local tool=$1 file=$2 source=$3 check_hash=$4
    [[ -f $file ]] || die "$tool left no $file (in its folder: $(ls -A "$(dirname "$file")"))"
    local size
    size=$(stat -c %s "$file")
    [[ $size -eq $(stat -c %s "$source") ]] ||
        die "$tool: $file has $size bytes, the source $(stat -c %s "$source")"
    if [[ $check_hash == 1 ]]; then
        [[ $(sha256sum <"$file" | cut -d' ' -f1) == "$(cat "$source.sha256")" ]] ||
            die "$tool: $file differs from the source"
    fi
}

# One timed download into a fresh folder; appends "wall user sys maxrss_kib" to $work/times.$tool.
measure() {
    local tool=$1 url=$2 source=$3 check_hash=$4
    local out
    out=$(mktemp -d "$work/out.XXXXXX")
    mkdir "$out.data"
    set_command "$tool" "$url" "$out"
    if ! /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
        timeout --foreground "$download_timeout" "${cmd[@]}" </dev/null >"$work/tool.log" 2>&1; then
        die "$tool failed: $(tail -n 5 "$work/tool.log") $(cat "$work/time")"
    fi
    verify "$tool" "$out/${url##*/}" "$source" "$check_hash"
    tail -n 1 "$work/time" >>"$work/times.$tool"
    rm -rf "$out" "$out.data"
}
