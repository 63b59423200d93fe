#!/usr/bin/env bash
# Installs a build as a player would, into a throwaway home whose path needs
# quoting, and starts it the way the desktop's menu does; then installs it
# again over a played record, uninstalls it, and makes a portable copy.
# Usage: install_test.sh BUILD, inside tools/session.sh (it opens windows).
set -uo pipefail
build=$(realpath "$1")
source=$(cd "$(dirname "$0")/.." && pwd)
. "$source/tests/support/checks.sh"
[ -n "${DISPLAY:-}" ] || { echo "install_test: needs a display; run it inside tools/session.sh" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-install.XXXXXX")
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null; rm -rf "$work"' EXIT

export HOME="$work/home of \$player \"one\""
export XDG_DATA_HOME=$HOME/data
folder=$XDG_DATA_HOME/pelmora
entry=$XDG_DATA_HOME/applications/org.pelmora.Pelmora.desktop
hicolor=$XDG_DATA_HOME/icons/hicolor
icons=(32x32/apps/pelmora.png 48x48/apps/pelmora.png 64x64/apps/pelmora.png scalable/apps/pelmora.svg)
mkdir -p "$HOME" "$work/elsewhere"

registered_record() { printf '[情報]\r\nユーザー=花子\r\n' | iconv -f UTF-8 -t CP932 >"$1"; }
record_says() { iconv -f CP932 -t UTF-8 "$1" | grep -q "^$2"$'\r'; }
# The Pelmora window that has just opened, or nothing after 20 s.
window_pid() {
    local window
    window=$(timeout 20 xdotool search --sync --onlyvisible --class '^pelmora$' | head -n 1)
    [ -n "$window" ] && xdotool getwindowpid "$window"
}

# launch LOG [VARIABLE=VALUE...]: starts the menu entry from another folder,
# through GLib's launcher, with its error output in LOG; ends it once its
# window shows.
launch() {
    local log=$1
    shift
    (cd "$work/elsewhere" && env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$@" gio launch "$entry") 2>"$log" ||
        { fail "the menu entry does not start: $(cat "$log")"; return; }
    pid=$(window_pid) || { fail "no window from the menu entry: $(cat "$log")"; return; }
    expect "the menu entry starts the installed program, not $(readlink "/proc/$pid/exe")" \
        [ "$(readlink "/proc/$pid/exe")" = "$folder/pelmora" ]
    end_program "$pid"
    pid=
}

echo "== installing for the player"
"$source/tools/install.sh" "$build" >"$work/install.log" || fail "install: $(cat "$work/install.log")"
complaints=$(desktop-file-validate "$entry" 2>&1)
expect "the desktop entry is valid: $complaints" [ -z "$complaints" ]
expect "the installed folder holds what the build folder holds" \
    diff -r -x 'date.ini*' -x pelmora -x .installed-files "$build/bin" "$folder"
expect "the starter record is installed" cmp -s "$source/assets/date.ini" "$folder/date.ini"
for size in 32x32 48x48 64x64; do
    got=$(identify -format '%wx%h' "$hicolor/$size/apps/pelmora.png" 2>&1)
    expect "the $size icon is $got" [ "$got" = "$size" ]
done
expect "the scalable icon is the drawing" cmp -s "$source/tools/icon.svg" "$hicolor/scalable/apps/pelmora.svg"

echo "== starting it from the menu"
registered_record "$folder/date.ini"
launch "$work/x11.log"
expect "the run is stored in the installed folder" record_says "$folder/date.ini" '起動回数=1'
expect "nothing is written where it was started from" [ -z "$(ls -A "$work/elsewhere")" ]

echo "== starting it from the menu of a Wayland desktop that runs X11 programs too"
launch "$work/wayland.log" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=pelmora-test-no-such-display
expect "Qt was not asked for Wayland: $(cat "$work/wayland.log")" [ -z "$(grep -i wayland "$work/wayland.log")" ]
expect "the second run is stored" record_says "$folder/date.ini" '起動回数=2'

echo "== installing again"
printf 'kept\x81\x00\r\n' >>"$folder/date.ini"
cp "$folder/date.ini" "$work/played.ini"
printf 'damaged' >"$folder/mi/do.wav"
"$source/tools/install.sh" "$build" >"$work/install.log" || fail "second install: $(cat "$work/install.log")"
expect "installing again keeps the record byte for byte" cmp "$work/played.ini" "$folder/date.ini"
expect "installing again replaces the program's files" cmp "$build/bin/mi/do.wav" "$folder/mi/do.wav"

echo "== uninstalling"
"$source/tools/install.sh" --uninstall >"$work/uninstall.log" || fail "uninstall: $(cat "$work/uninstall.log")"
expect "uninstalling says where the record is: $(cat "$work/uninstall.log")" \
    grep -qF "$folder/date.ini" "$work/uninstall.log"
expect "uninstalling keeps the record byte for byte" cmp "$work/played.ini" "$folder/date.ini"
expect "only the record is left in the folder: $(ls -A "$folder")" [ "$(ls -A "$folder")" = date.ini ]
expect "the desktop entry is removed" [ ! -e "$entry" ]
for icon in "${icons[@]}"; do
    expect "the icon $icon is removed" [ ! -e "$hicolor/$icon" ]
done

echo "== a portable copy"
stick=$work/stick
cmake --install "$build" --prefix "$stick" >"$work/portable.log" || fail "cmake --install: $(cat "$work/portable.log")"
expect "the portable copy holds what the build folder holds" \
    diff -r -x 'date.ini*' -x pelmora "$build/bin" "$stick"
expect "the portable copy has the starter record" cmp -s "$source/assets/date.ini" "$stick/date.ini"
unresolved=$(ldd "$stick/pelmora" | grep -F -e "$build" -e 'not found')
expect "the portable copy needs nothing from the build: $unresolved" [ -z "$unresolved" ]
registered_record "$stick/date.ini"
(cd / && exec "$stick/pelmora") 2>"$work/stick.log" &
pid=$!
if window_pid >/dev/null; then
    kill -TERM "$pid"
    wait "$pid"
    status=$?
    pid=
    expect "the portable copy ends normally: $(cat "$work/stick.log")" [ "$status" = 0 ]
    expect "the portable copy stores the run in its own folder" record_says "$stick/date.ini" '起動回数=1'
else
    fail "the portable copy shows no window: $(cat "$work/stick.log")"
fi

[ "$failed" = 0 ] && echo "install_test: all passed"
exit "$failed"
