#!/usr/bin/env bash
# Plays Pelmora on a Wayland desktop: a headless mutter with its Xwayland, a
# session bus and an accessibility bus of its own, real input through mutter's
# remote-desktop session (see wayland_player.py). As root it plays as a
# throwaway user, removed afterwards; everything it starts is stopped.
# Usage: wayland_test.sh BUILD
set -uo pipefail
build=$(realpath "$1")
tests=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d /tmp/pelmora-wayland.XXXXXX)
chmod 755 "$work"
user=
group=
cleanup() {
    [ -z "$group" ] || kill -KILL -- "-$group" 2>/dev/null
    if [ -n "$user" ]; then
        pkill -KILL -u "$user" 2>/dev/null
        for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.1; done
        userdel "$user" 2>/dev/null || echo "wayland_test: could not remove the user $user" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp -r "$build/bin" "$work/program"
rm -f "$work/program/date.ini"*
printf '[情報]\r\nユーザー=花子\r\n' | iconv -f UTF-8 -t CP932 >"$work/program/date.ini"
cp "$tests/wayland_player.py" "$tests/atspi_program.py" "$work/"
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"

as_player=()
if [ "$(id -u)" -eq 0 ]; then
    user=pelmora-wl-test-$$
    useradd --no-create-home --home-dir "$work/home" --shell /bin/sh --user-group "$user" ||
        { echo "wayland_test: cannot create the user $user" >&2; user=; exit 1; }
    chown -R "$user:" "$work/program" "$work/home" "$work/run"
    chown "$user:" "$work"
    as_player=(runuser -u "$user" --)
fi

failed=0
# Qt aborts on a Wayland desktop without Xwayland unless it has a Wayland
# platform of its own; Pelmora says what is missing instead.
if ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland*" >/dev/null; then
    said=$(env -i PATH=/usr/bin:/bin WAYLAND_DISPLAY=pelmora-test-none "$work/program/pelmora" 2>&1)
    status=$?
    if [ "$status" != 1 ] || [[ "$said" != *Xwayland* ]]; then
        echo "FAIL: without Xwayland Pelmora ends with status $status, saying: $said"
        failed=1
    fi
fi

# Nothing of the session this runs in: mutter gives its child the Wayland
# and X displays.
setsid "${as_player[@]}" env -i HOME="$work/home" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/run" \
    timeout 90 dbus-run-session -- \
    mutter --wayland --headless --virtual-monitor 1280x1024 -- \
    /usr/bin/python3 "$work/wayland_player.py" "$work/program" "$work/result" >"$work/session.log" 2>&1 &
group=$!
wait "$group"

if [ "$(cat "$work/result" 2>/dev/null)" != passed ]; then
    if [ -s "$work/result" ]; then
        sed 's/^/FAIL: /' "$work/result"
        echo
    else
        echo "FAIL: mutter did not run the player to the end"
    fi
    echo "--- the session's output:"
    cat "$work/session.log"
    failed=1
fi
[ "$failed" = 0 ] && echo "wayland_test: all passed"
exit "$failed"
