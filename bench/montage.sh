#!/usr/bin/env bash
# Montage of a remote video: `rlg montage` against the obvious alternative a user has, ffprobe plus
# one `ffmpeg -ss T -i URL -frames:v 1` per frame, on the same frames. For every video it records
# the body bytes the server sent (from nginx's log), the requests, the TCP connections, the wall
# time, and the physical minimum (bench/avi_minimum.py: the header up to the movie data, the index
# the frames need, the frames' chunks). Runs once straight to nginx and once through a proxy that
# adds BENCH_RTT_MS of round-trip time. Appends the tables to bench/results.md.
#
#   bench/montage.sh
#   BENCH_VIDEOS="mjpeg.avi" BENCH_RTT_MS=0 bench/montage.sh      # quick check
#
# Settings (environment):
#   BENCH_VIDEOS    the videos to measure (all four of bench/montage_videos.sh)
#   BENCH_FRAMES    AutoMontage frame count, rlg montage -n (7)
#   BENCH_RTT_MS    added round-trip time of the second pass; 0 skips it (50)
#   RLG             the rlg binary (build/release/src/cli/rlg)
#   BENCH_RESULTS   the results file (bench/results.md)
#
# All traffic goes to 127.0.0.1. The videos are made once in build/bench/montage; nginx, the
# proxy and the downloads are removed on exit, Ctrl-C included.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$repo/bench/lib.sh"

videos=(${BENCH_VIDEOS:-mpeg4_mp3.avi mjpeg.avi h264.avi odml.avi})
frames=${BENCH_FRAMES:-7}
rtt_ms=${BENCH_RTT_MS:-50}
rlg=${RLG:-$repo/build/release/src/cli/rlg}
results=${BENCH_RESULTS:-$repo/bench/results.md}
cache=$repo/build/bench/montage

[[ $frames =~ ^[1-9][0-9]*$ ]] || die "BENCH_FRAMES must be a positive whole number"
[[ $rtt_ms =~ ^[0-9]+$ ]] || die "BENCH_RTT_MS must be a whole number"
[[ -x $rlg ]] || die "rlg is not built at $rlg (cmake --build --preset release)"
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null ||
    die "ffmpeg and ffprobe are needed (apt-get install ffmpeg)"
[[ -x $nginx ]] || die "nginx is needed (apt-get install nginx)"

work=""
proxy_pid=""
cleanup() {
    if [[ -n $proxy_pid ]]; then
        kill -TERM "$proxy_pid" 2>/dev/null || true
        wait "$proxy_pid" 2>/dev/null || true
    fi
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
events { worker_connections 256; }
http {
    default_type application/octet-stream;
    log_format bench '\$connection \$status \$body_bytes_sent "\$http_range"';
    access_log "$work/access.log" bench;
    client_body_temp_path "$work/tmp/body";
    proxy_temp_path "$work/tmp/proxy";
    fastcgi_temp_path "$work/tmp/fastcgi";
    uwsgi_temp_path "$work/tmp/uwsgi";
    scgi_temp_path "$work/tmp/scgi";
    sendfile on;
    keepalive_timeout 65s;
    keepalive_requests 100000;
    server {
        listen 127.0.0.1:$1;
        root "$cache";
    }
}
EOF
}

# Starts the delaying proxy in front of nginx; sets proxy_port.
start_proxy() {
    local one_way=$(((rtt_ms + 1) / 2))
    mkfifo "$work/proxy.in"
    python3 "$repo/bench/delay_proxy.py" "$port" "$one_way" <"$work/proxy.in" >"$work/proxy.out" &
    proxy_pid=$!
    exec 7>"$work/proxy.in"  # held open: the proxy ends when this script does
    local deadline=$((SECONDS + 10))
    until [[ -s $work/proxy.out ]]; do
        kill -0 "$proxy_pid" 2>/dev/null || die "the delay proxy did not start"
        ((SECONDS < deadline)) || die "the delay proxy did not report its port"
        sleep 0.02
    done
    proxy_port=$(head -n 1 "$work/proxy.out")
}

log_mark() { wc -l <"$work/access.log"; }

# Prints "bytes requests connections" of the access log lines after mark $1.
traffic_since() {
    sleep 0.1  # nginx writes its log line after the response has gone out
    tail -n +"$(($1 + 1))" "$work/access.log" |
        awk '{ bytes += $3; n++; conn[$1] = 1 } END { c = 0; for (k in conn) c++; printf "%.0f %d %d\n", bytes, n, c }'
}

now() { date +%s.%N; }

# rlg montage of $1 (URL); sets rlg_frames (0-based) and rlg_stats "bytes requests conns wall".
run_rlg() {
    local url=$1 out
    out=$(mktemp -d "$work/rlg.XXXXXX")
    local mark start end
    mark=$(log_mark)
    start=$(now)
    if ! "$rlg" --data-dir "$out/data" montage "$url" -d "$out" -n "$frames" -o "$out/sheet.jpg" \
        </dev/null >"$out/stdout" 2>"$out/stderr"; then
        die "rlg montage $url failed: $(tail -n 5 "$out/stderr" "$out/stdout")"
    fi
    end=$(now)
    [[ -s $out/sheet.jpg ]] || die "rlg montage wrote no contact sheet"
    rlg_frames=$(awk '/^frame [0-9]+/ { printf "%d ", $2 - 1 }' "$out/stdout")
    [[ -n $rlg_frames ]] || die "rlg montage printed no frames: $(cat "$out/stdout")"
    rlg_stats="$(traffic_since "$mark") $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }')"
    rm -rf "$out"
}

# ffprobe, then one ffmpeg per frame of $2 (0-based) at $3 fps; sets alt_stats.
run_alternative() {
    local url=$1 list=$2 fps=$3 out
    out=$(mktemp -d "$work/ffmpeg.XXXXXX")
    local mark start end f t
    mark=$(log_mark)
    start=$(now)
    ffprobe -v error -show_format -show_streams "$url" >/dev/null
    for f in $list; do
        t=$(awk -v f="$f" -v r="$fps" 'BEGIN { printf "%.6f", f / r }')
        ffmpeg -nostdin -v error -ss "$t" -i "$url" -frames:v 1 -y "$out/frame$f.png"
    done
    end=$(now)
    alt_stats="$(traffic_since "$mark") $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }')"
    rm -rf "$out"
}

# One table row per tool for video $1 served at $2.
measure_video() {
    local name=$1 base=$2 file=$cache/$1
    local fps minimum
    fps=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 "$file")
    run_rlg "$base/$name"
    log "$name: rlg fetched frames $rlg_frames"
    run_alternative "$base/$name" "$rlg_frames" "$fps"
    # shellcheck disable=SC2086
    minimum=$(python3 "$repo/bench/avi_minimum.py" "$file" $rlg_frames)
    local min_total=${minimum##*total=}
    local size
    size=$(stat -c %s "$file")
    row() {
        local tool=$1 bytes requests conns wall
        read -r bytes requests conns wall <<<"$2"
        awk -v n="$name" -v t="$tool" -v b="$bytes" -v m="$min_total" -v r="$requests" \
            -v c="$conns" -v w="$wall" -v s="$size" 'BEGIN {
                printf "| %s (%.0f MB) | %s | %.0f | %.2fx | %d | %d | %.2f |\n", n, s / 1e6, t, b, b / m, r, c, w
            }'
    }
    row "rlg montage" "$rlg_stats"
    local rlg_bytes rlg_conns rlg_wall alt_wall
    read -r rlg_bytes _ rlg_conns rlg_wall <<<"$rlg_stats"
    read -r _ _ _ alt_wall <<<"$alt_stats"
    echo "$name|$pass|$rlg_bytes|$min_total|$rlg_conns|$rlg_wall|$alt_wall" >>"$work/targets"
    row "ffprobe + ffmpeg -ss" "$alt_stats"
    echo "<!-- $name: frames $rlg_frames; minimum $minimum -->"
}

run_pass() {
    local base=$1 title=$2
    pass=$3
    echo
    echo "### $title"
    echo
    echo "| Video | Tool | Bytes sent | vs minimum | Requests | Connections | Wall s |"
    echo "|---|---|---:|---:|---:|---:|---:|"
    local v
    for v in "${videos[@]}"; do
        measure_video "$v" "$base"
    done
}

# The targets of rlg montage over every video and pass: bytes at most 1.2 times the minimum, every
# request on one connection, wall time below the alternative's.
targets_line() {
    awk -F'|' '
        {
            r = $3 / $4
            if (r > worst) { worst = r; worst_at = $1 ", " $2 }
            if ($5 != 1) conns = conns " " $1 " (" $2 ", " $5 ")"
            if ($6 >= $7) slow = slow " " $1 " (" $2 ")"
        }
        END {
            printf "Targets for rlg montage: bytes at most 1.2x the minimum (worst %.2fx, %s: %s); ", worst, worst_at, worst <= 1.2 ? "met" : "NOT met"
            printf "every request on one connection (%s); ", conns == "" ? "met" : "NOT met:" conns
            printf "wall time below the alternative'"'"'s (%s).\n", slow == "" ? "met" : "NOT met:" slow
        }' "$work/targets"
}

main() {
    "$repo/bench/montage_videos.sh" "$cache"
    mkdir -p "$repo/build/bench"
    work=$(mktemp -d "$repo/build/bench/montage-run.XXXXXX")
    start_nginx
    log "nginx $nginx_pid serves $cache on 127.0.0.1:$port"
    {
        run_pass "http://127.0.0.1:$port" "Loopback" "loopback"
        if ((rtt_ms > 0)); then
            start_proxy
            log "delay proxy $proxy_pid on 127.0.0.1:$proxy_port adds $rtt_ms ms per round trip"
            run_pass "http://127.0.0.1:$proxy_port" "Loopback with $rtt_ms ms added round-trip time" \
                "${rtt_ms} ms"
        fi
        echo
        targets_line
    } >"$work/table.md"
    cat "$work/table.md"

    local revision
    revision=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)
    [[ -z $(git -C "$repo" status --porcelain 2>/dev/null) ]] || revision+=" with local changes"
    {
        echo
        echo "## $(date -u '+%Y-%m-%d %H:%M') UTC: Montage of remote videos, $frames planned frames"
        echo
        echo "Commit $revision; $(nproc) cores, Linux $(uname -r); nginx $("$nginx" -v 2>&1 | sed 's|.*/||'), $(ffmpeg -version | head -n 1 | cut -d' ' -f1-3)."
        echo "Bytes are the response bodies nginx sent; the minimum is the header up to the movie data,"
        echo "the index the frames need and the frames' chunks (bench/avi_minimum.py). ffmpeg drops a"
        echo "connection when it seeks, so its bytes include what was in flight then (socket buffers,"
        echo "and in the second pass up to 4 MiB queued in the delay proxy per connection)."
        cat "$work/table.md"
    } >>"$results"
    log "recorded in $results"
}

main "$@"
