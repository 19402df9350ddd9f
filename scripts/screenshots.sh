#!/usr/bin/env bash
# Starts the real program under Xvfb on a small list with running downloads (served by the test
# HTTP server on 127.0.0.1) and writes PNG screenshots of the main window, its Montage view and
# its context menu; the dialogs' pictures (scripts/dialog-screenshots) go to OUT_DIR/dialogs.
# Usage: scripts/screenshots.sh [OUT_DIR] (default: docs/screenshots). Needs xvfb-run, xdotool and
# ImageMagick's import; builds reelgrab and rlg first.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshots}
build=${BUILD_DIR:-$root/build/release}
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
cmake --build "$build" --target reelgrab rlg >/dev/null

work=$(mktemp -d)
server_pid=""
cleanup() {
    [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The server ends when its standard input closes; keep it open with a FIFO held by this shell.
mkfifo "$work/server-in"
python3 "$root/tests/support/fault_http_server.py" --parent-pid $$ <"$work/server-in" \
    >"$work/server-out" 2>/dev/null &
server_pid=$!
exec 3>"$work/server-in"
for _ in $(seq 100); do
    [[ -s $work/server-out ]] && break
    sleep 0.05
done
port=$(head -n1 "$work/server-out")
base="http://127.0.0.1:$port"

data="$work/data"
files="$work/files"
mkdir -p "$data" "$files"
printf '[General]\nStartMinimized=0\nMonitorClipboard=0\nConfirmExit=0\n' >"$data/rlg.ini"
rlg() { "$build/src/cli/rlg" --data-dir "$data" "$@" >/dev/null; }
rlg add -d "$files" "$base/gen/52428800/holiday-1999.avi?stall_after=18874368"
rlg add -d "$files" "$base/gen/7340032/setup-tools.exe?stall_after=2097152"
rlg add -d "$files" "$base/gen/1048576/notes.zip"
rlg add -d "$files" "$base/gen/3145728/a-rather-long-name-of-a-video-file-from-the-archive.mpg"

cat >"$work/shoot.sh" <<SHOOT
set -e
"$build/src/shell/reelgrab" --data-dir "$data" &
app=\$!
wid=\$(xdotool search --sync --name '^Reelgrab 1.1\$' | head -n1)
xdotool windowsize "\$wid" 640 360
sleep 0.5
# Start the first two downloads: select them, F5.
xdotool mousemove --window "\$wid" 60 90 click 1
xdotool keydown ctrl mousemove --window "\$wid" 60 127 click 1 keyup ctrl
xdotool key --window "\$wid" F5
sleep 2
# The third row selected, to show the selection colour.
xdotool mousemove --window "\$wid" 60 164 click 1
sleep 1
import -window "\$wid" "$out/main-window.png"
xdotool key --window "\$wid" F3
sleep 0.3
import -window "\$wid" "$out/montage-view.png"
xdotool key --window "\$wid" F2
xdotool mousemove --window "\$wid" 60 90 click 3
sleep 0.5
import -window root -crop 800x500+0+0 "$out/context-menu.png"
xdotool key Escape
kill \$app
wait \$app || true
SHOOT
xvfb-run -a -s "-screen 0 1024x768x24" bash ${SHOOT_TRACE:+-x} "$work/shoot.sh"
"$root/scripts/dialog-screenshots" "$out/dialogs" >/dev/null
echo "screenshots in $out"
