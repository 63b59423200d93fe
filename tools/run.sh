#!/usr/bin/env bash
# Starts Pelmora. Without a display it runs on a virtual one, saves a
# screenshot of its first window (the main window, or the name window for a
# player who has not registered yet) next to the build, and ends it the
# normal way, so a run of the main window is stored.
set -euo pipefail
program=$(realpath "$1")
build_dir=$(dirname "$(dirname "$program")")

# A desktop's display: xdpyinfo, where it is installed, tells a stale one.
if [ -n "${WAYLAND_DISPLAY:-}" ] ||
    { [ -n "${DISPLAY:-}" ] && { ! command -v xdpyinfo >/dev/null || xdpyinfo >/dev/null 2>&1; }; }; then
    exec "$program"
fi

"$(dirname "$0")/setup.sh" headless
shot="$build_dir/screenshot.png"
export PELMORA_PROGRAM=$program PELMORA_SHOT=$shot
"$(dirname "$0")/session.sh" bash -c '
    set -euo pipefail
    "$PELMORA_PROGRAM" & pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --class "^pelmora$" | head -n 1)
    sleep 1
    import -window "$window" "$PELMORA_SHOT"
    kill -TERM "$pid"
    wait "$pid"
'
echo "No display here: Pelmora ran on a virtual one. Screenshot: $shot"
