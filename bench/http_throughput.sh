#!/usr/bin/env bash
# HTTP download throughput: one large file from a local nginx, fetched by `rlg get`, curl, wget and
# aria2c (one connection) in turns, BENCH_RUNS times each. Records the medians of wall time, CPU
# time and peak memory, with ratios against curl, in bench/results.md.
#
#   bench/http_throughput.sh
#   BENCH_SIZE_MB=64 BENCH_RUNS=2 BENCH_SKIP_RLG=1 bench/http_throughput.sh   # quick check, no rlg
#
# Settings (environment):
#   BENCH_SIZE_MB   size of the served file in MiB (1024)
#   BENCH_RUNS      downloads per tool (5)
#   BENCH_TIMEOUT   seconds one download may take before it counts as failed (600)
#   RLG             the rlg binary (build/release/src/cli/rlg)
#   BENCH_SKIP_RLG  1: measure the other tools alone when rlg cannot download; nothing is recorded
#   BENCH_RESULTS   the results file (bench/results.md)
#
# All traffic goes to 127.0.0.1. The served file is made once and kept in build/bench; everything
# else (nginx, its folder, the downloads) is removed on exit, Ctrl-C included.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size_mb=${BENCH_SIZE_MB:-1024}
runs=${BENCH_RUNS:-5}
download_timeout=${BENCH_TIMEOUT:-600}
rlg=${RLG:-$repo/build/release/src/cli/rlg}
skip_rlg=${BENCH_SKIP_RLG:-0}
results=${BENCH_RESULTS:-$repo/bench/results.md}
cache=$repo/build/bench
# shellcheck source=lib.sh
source "$repo/bench/lib.sh"

[[ $size_mb =~ ^[1-9][0-9]*$ ]] || die "BENCH_SIZE_MB must be a positive whole number"
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "BENCH_RUNS must be a positive whole number"
[[ $download_timeout =~ ^[1-9][0-9]*$ ]] || die "BENCH_TIMEOUT must be a positive whole number"

install_missing_tools() {
    local packages=()
    [[ -x $nginx ]] || packages+=(nginx)
    [[ -x /usr/bin/time ]] || packages+=(time)
    command -v curl >/dev/null || packages+=(curl)
    command -v wget >/dev/null || packages+=(wget)
    command -v aria2c >/dev/null || packages+=(aria2)
    command -v sha256sum >/dev/null || packages+=(coreutils)
    [[ ${#packages[@]} -eq 0 ]] && return
    [[ $(id -u) -eq 0 ]] || die "missing ${packages[*]}: install them (apt-get install ${packages[*]})"
    log "installing ${packages[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
}

work=""

cleanup() {
    stop_nginx
    [[ -n $work ]] && rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

nginx_config() {
    cat >"$work/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid "$work/nginx.pid";
error_log "$work/error.log" notice;
events { worker_connections 64; }
http {
    default_type application/octet-stream;
    access_log off;
    client_body_temp_path "$work/tmp/body";
    proxy_temp_path "$work/tmp/proxy";
    fastcgi_temp_path "$work/tmp/fastcgi";
    uwsgi_temp_path "$work/tmp/uwsgi";
    scgi_temp_path "$work/tmp/scgi";
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 65s;
    server {
        listen 127.0.0.1:$1;
        root "$cache/www";
    }
}
EOF
}

# Sets cmd to the command line that downloads $2 (a URL) with tool $1 into folder $3.
set_command() {
    local tool=$1 url=$2 out=$3 name=${2##*/}
    case $tool in
        rlg) cmd=("$rlg" --data-dir "$out.data" get "$url" -d "$out") ;;
        curl) cmd=(curl -q -sS --fail -o "$out/$name" "$url") ;;
        wget) cmd=(wget --no-config -q -O "$out/$name" "$url") ;;
        aria2c-x1) cmd=(aria2c --no-conf -q -x1 -s1 --allow-overwrite=true
            --auto-file-renaming=false -d "$out" -o "$name" "$url") ;;
        *) die "unknown tool $tool" ;;
    esac
}

# Whether `rlg get` downloads a small file correctly; says why not on stderr.
rlg_works() {
    if [[ ! -x $rlg ]]; then
        log "rlg is not built at $rlg (cmake --build --preset release)"
        return 1
    fi
    if ! (measure rlg "$1" "$2" 1) 2>"$work/probe.err"; then
        log "rlg get cannot download yet: $(sed 's/^bench: //' "$work/probe.err")"
        return 1
    fi
    rm -f "$work/times.rlg"
}

# Prints the Markdown table of medians; sets rlg_verdict when rlg is among the tools.
report() {
    local bytes=$1
    shift
    local curl_wall curl_cpu
    curl_wall=$(cut -d' ' -f1 "$work/times.curl" | median)
    curl_cpu=$(awk '{ print $2 + $3 }' "$work/times.curl" | median)
    echo "| Tool | Wall s | MB/s | CPU s (user+sys) | Peak RSS MB | Speed vs curl | CPU vs curl |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    local tool wall cpu rss
    for tool in "$@"; do
        wall=$(cut -d' ' -f1 "$work/times.$tool" | median)
        cpu=$(awk '{ print $2 + $3 }' "$work/times.$tool" | median)
        rss=$(cut -d' ' -f4 "$work/times.$tool" | median)
        awk -v t="$tool" -v w="$wall" -v c="$cpu" -v r="$rss" -v b="$bytes" \
            -v cw="$curl_wall" -v cc="$curl_cpu" 'BEGIN {
                speed = (w > 0) ? sprintf("%.2fx", cw / w) : "n/a"
                cpu = (cc > 0) ? sprintf("%.2fx", c / cc) : "n/a"
                rate = (w > 0) ? sprintf("%.0f", b / 1e6 / w) : "n/a"
                printf "| %s | %.2f | %s | %.2f | %.1f | %s | %s |\n", t, w, rate, c, r * 1024 / 1e6, speed, cpu
            }'
        if [[ $tool == rlg ]]; then
            rlg_verdict=$(awk -v w="$wall" -v c="$cpu" -v r="$rss" -v cw="$curl_wall" \
                -v cc="$curl_cpu" 'function met(ok) { return ok ? "met" : "NOT met" } BEGIN {
                    s = (w > 0) ? cw / w : 0; k = (cc > 0) ? c / cc : 0; m = r * 1024 / 1e6
                    printf "Targets for rlg: speed %.2fx curl (>= 1.0: %s), CPU %.2fx curl (<= 1.2: %s), peak RSS %.1f MB (< 30: %s).\n", s, met(s >= 1.0), k, met(cc > 0 && k <= 1.2), m, met(m < 30)
                }')
        fi
    done
}

main() {
    install_missing_tools
    mkdir -p "$cache/www"
    work=$(mktemp -d "$cache/run.XXXXXX")

    local bytes=$((size_mb * 1024 * 1024))
    local name="data-${size_mb}M.bin"
    make_source "$cache/www/$name" "$bytes"
    make_source "$cache/www/probe.bin" $((256 * 1024))

    start_nginx
    local base="http://127.0.0.1:$port"
    log "nginx $nginx_pid serves $cache/www on 127.0.0.1:$port"

    local tools=(curl wget aria2c-x1)
    if rlg_works "$base/probe.bin" "$cache/www/probe.bin"; then
        tools=(rlg "${tools[@]}")
    elif [[ $skip_rlg != 1 ]]; then
        die "stopping: rlg cannot be measured (BENCH_SKIP_RLG=1 measures the others, unrecorded)"
    fi

    # Reads the source once so that every timed run finds it in the page cache.
    curl -q -sS --fail -o /dev/null "$base/$name"

    local run i tool count=${#tools[@]}
    for ((run = 0; run < runs; ++run)); do
        # Each round starts with the next tool, so none always runs first.
        for ((i = 0; i < count; ++i)); do
            tool=${tools[(run + i) % count]}
            log "run $((run + 1))/$runs: $tool"
            measure "$tool" "$base/$name" "$cache/www/$name" $((run == 0 ? 1 : 0))
        done
    done

    rlg_verdict=""
    report "$bytes" "${tools[@]}" >"$work/table.md"
    cat "$work/table.md"

    if [[ ${tools[0]} != rlg ]]; then
        log "not recorded in $results: rlg was not measured"
        return
    fi
    local revision
    revision=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)
    [[ -z $(git -C "$repo" status --porcelain 2>/dev/null) ]] || revision+=" with local changes"
    {
        echo
        echo "## $(date -u '+%Y-%m-%d %H:%M') UTC: ${size_mb} MiB file, $runs runs per tool"
        echo
        echo "Commit $revision; $(nproc) cores, Linux $(uname -r); nginx $("$nginx" -v 2>&1 | sed 's|.*/||')," \
            "$(curl --version | head -n 1 | cut -d' ' -f1-2), $(wget --version | head -n 1 | cut -d' ' -f1-3)," \
            "$(aria2c --version | head -n 1)."
        echo
        cat "$work/table.md"
        echo
        echo "$rlg_verdict"
    } >>"$results"
    log "recorded in $results"
}

main "$@"
