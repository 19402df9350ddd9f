#!/usr/bin/env bash
# FTP download throughput: one large file from a local pyftpdlib, fetched by `rlg get` and by curl
# in active mode (-P -) in turns, BENCH_RUNS times each. Records the medians of wall time, CPU
# time and peak memory, with the ratios against curl, in bench/results.md.
#
#   bench/ftp_throughput.sh
#   BENCH_SIZE_MB=32 BENCH_RUNS=2 bench/ftp_throughput.sh   # quick check
#
# Settings (environment):
#   BENCH_SIZE_MB   size of the served file in MiB (256)
#   BENCH_RUNS      downloads per tool (5)
#   BENCH_TIMEOUT   seconds one download may take before it counts as failed (600)
#   RLG             the rlg binary (build/release/src/cli/rlg)
#   BENCH_RESULTS   the results file (bench/results.md)
#
# All traffic goes to 127.0.0.1. The served file is made once and kept in build/bench/ftp; the
# server, its folder and the downloads are removed on exit, Ctrl-C included.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
size_mb=${BENCH_SIZE_MB:-256}
runs=${BENCH_RUNS:-5}
download_timeout=${BENCH_TIMEOUT:-600}
rlg=${RLG:-$repo/build/release/src/cli/rlg}
results=${BENCH_RESULTS:-$repo/bench/results.md}
cache=$repo/build/bench/ftp
server_script=$repo/tests/support/pyftpd_server.py
# Debian's python3-pyftpdlib belongs to the system interpreter, which a PATH shim may hide.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
# shellcheck source=lib.sh
source "$repo/bench/lib.sh"

[[ $size_mb =~ ^[1-9][0-9]*$ ]] || die "BENCH_SIZE_MB must be a positive whole number"
[[ $runs =~ ^[1-9][0-9]*$ ]] || die "BENCH_RUNS must be a positive whole number"
[[ $download_timeout =~ ^[1-9][0-9]*$ ]] || die "BENCH_TIMEOUT must be a positive whole number"

install_missing_tools() {
    local packages=()
    "$python" -c 'import pyftpdlib' 2>/dev/null || packages+=(python3-pyftpdlib)
    [[ -x /usr/bin/time ]] || packages+=(time)
    command -v curl >/dev/null || packages+=(curl)
    command -v sha256sum >/dev/null || packages+=(coreutils)
    [[ ${#packages[@]} -eq 0 ]] && return
    [[ $(id -u) -eq 0 ]] || die "missing ${packages[*]}: install them (apt-get install ${packages[*]})"
    log "installing ${packages[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
}

work=""
server_pid=""

stop_server() {
    [[ -n $server_pid ]] || return 0
    # Its standard input closing ends it; the signal is for a server that hangs.
    exec 9>&- || true
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
}

cleanup() {
    stop_server
    [[ -n $work ]] && rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts pyftpdlib on 127.0.0.1 and an ephemeral port; sets port.
start_server() {
    mkfifo "$work/server.in"
    "$python" "$server_script" --root "$cache/www" --parent-pid $$ <"$work/server.in" \
        >"$work/server.out" 2>"$work/server.err" &
    server_pid=$!
    # Held open for the server's life: it ends when this closes.
    exec 9>"$work/server.in"
    local deadline=$((SECONDS + 20))
    while [[ ! -s $work/server.out ]]; do
        kill -0 "$server_pid" 2>/dev/null || die "pyftpdlib did not start: $(cat "$work/server.err")"
        ((SECONDS < deadline)) || die "pyftpdlib printed no port"
        sleep 0.02
    done
    port=$(head -n 1 "$work/server.out")
    [[ $port =~ ^[0-9]+$ ]] || die "pyftpdlib is not usable: $port $(cat "$work/server.err")"
}

# Sets cmd to the command line that downloads $2 (a URL) with tool $1 into folder $3.
set_command() {
    local tool=$1 url=$2 out=$3 name=${2##*/}
    case $tool in
        rlg) cmd=("$rlg" --data-dir "$out.data" get "$url" -d "$out") ;;
        curl) cmd=(curl -q -sS --fail -P - -o "$out/$name" "$url") ;;
        *) die "unknown tool $tool" ;;
    esac
}

# Prints the Markdown table of medians and sets verdict.
report() {
    local bytes=$1
    local curl_wall curl_cpu
    curl_wall=$(cut -d' ' -f1 "$work/times.curl" | median)
    curl_cpu=$(awk '{ print $2 + $3 }' "$work/times.curl" | median)
    echo "| Tool | Wall s | MB/s | CPU s (user+sys) | Peak RSS MB | Speed vs curl | CPU vs curl |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    local tool wall cpu rss
    for tool in rlg curl; do
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
            verdict=$(awk -v w="$wall" -v cw="$curl_wall" 'BEGIN {
                s = (w > 0) ? cw / w : 0
                printf "Target for rlg: speed %.2fx curl in active mode (>= 1.0: %s).\n", s, (s >= 1.0) ? "met" : "NOT met"
            }')
        fi
    done
}

main() {
    install_missing_tools
    [[ -x $rlg ]] || die "rlg is not built at $rlg (cmake --build --preset release)"
    mkdir -p "$cache/www"
    work=$(mktemp -d "$cache/run.XXXXXX")

    local bytes=$((size_mb * 1024 * 1024))
    local name="data-${size_mb}M.bin"
    make_source "$cache/www/$name" "$bytes"
    make_source "$cache/www/probe.bin" $((256 * 1024))

    start_server
    local base="ftp://127.0.0.1:$port"
    log "pyftpdlib $server_pid serves $cache/www on 127.0.0.1:$port"

    if ! (measure rlg "$base/probe.bin" "$cache/www/probe.bin" 1) 2>"$work/probe.err"; then
        die "rlg get cannot download over FTP yet: $(sed 's/^bench: //' "$work/probe.err")"
    fi
    rm -f "$work/times.rlg"
    # Reads the source once so that every timed run finds it in the page cache.
    cat "$cache/www/$name" >/dev/null

    local run i tool tools=(rlg curl)
    for ((run = 0; run < runs; ++run)); do
        # Each round starts with the other tool, so neither always runs first.
        for ((i = 0; i < 2; ++i)); do
            tool=${tools[(run + i) % 2]}
            log "run $((run + 1))/$runs: $tool"
            measure "$tool" "$base/$name" "$cache/www/$name" $((run == 0 ? 1 : 0))
        done
    done

    verdict=""
    report "$bytes" >"$work/table.md"
    cat "$work/table.md"

    local revision
    revision=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)
    [[ -z $(git -C "$repo" status --porcelain 2>/dev/null) ]] || revision+=" with local changes"
    {
        echo
        echo "## $(date -u '+%Y-%m-%d %H:%M') UTC: FTP throughput, ${size_mb} MiB file, $runs runs per tool"
        echo
        echo "\`bench/ftp_throughput.sh\`: pyftpdlib on 127.0.0.1, \`rlg get\` against curl in active mode (\`-P -\`)," \
            "in turns; medians of GNU time. Target: speed at least curl's (ratio >= 1.0)."
        echo
        echo "Commit $revision; $(nproc) cores, Linux $(uname -r); pyftpdlib" \
            "$("$python" -c 'import pyftpdlib; print(pyftpdlib.__ver__)'), $(curl --version | head -n 1 | cut -d' ' -f1-2) with -P -."
        echo
        cat "$work/table.md"
        echo
        echo "$verdict"
    } >>"$results"
    log "recorded in $results"
}

main "$@"
