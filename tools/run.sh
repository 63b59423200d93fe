#!/usr/bin/env bash
# Starts Pelmora. Without a display it runs on a virtual one, saves a
# screenshot of the main window next to the build, and closes the window
# the normal way (which stores the run).
set -euo pipefail
program=$(realpath "$1")
build_dir=$(dirname "$(dirname "$program")")

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$program"
fi

shot="$build_dir/screenshot.png"
export PELMORA_PROGRAM=$program PELMORA_SHOT=$shot
"$(dirname "$0")/session.sh" bash -c '
    set -euo pipefail
    "$PELMORA_PROGRAM" & pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Pelmora$" | head -n 1)
    sleep 1
    import -window "$window" "$PELMORA_SHOT"
    kill -TERM "$pid"
    wait "$pid"
'
echo "No display here: Pelmora ran on a virtual one. Screenshot: $shot"
