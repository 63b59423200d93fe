#!/usr/bin/env bash
# Runs a command as on a desktop with a screen reader on: a private session
# bus, the accessibility bus beside it with accessibility switched on, and a
# private home. With --input-method, fcitx5 with Mozc as its input method
# runs there too. Everything started here, and whatever that started (the
# registry, Mozc's server), is stopped afterwards, whatever the outcome.
# Usage: assistive_session.sh [--input-method] COMMAND..., inside
# tools/session.sh, which gives the display.
set -euo pipefail
input_method=0
if [ "${1:-}" = --input-method ]; then input_method=1; fi
[ -n "${DISPLAY:-}" ] || { echo "assistive_session: needs a display; run it inside tools/session.sh" >&2; exit 1; }

# stop LIST: ends the processes whose ids the function LIST prints, asking
# them first.
stop() {
    local pids signal
    for signal in TERM KILL; do
        pids=$("$1")
        [ -z "$pids" ] && return 0
        # shellcheck disable=SC2086
        kill -s "$signal" $pids 2>/dev/null || true
        for _ in $(seq 50); do [ -z "$("$1")" ] && return 0; sleep 0.1; done
    done
}

# Mozc will not run as root: then the session is a throwaway user's, and
# the user goes again with whatever it left running.
if [ "$input_method" = 1 ] && [ "$(id -u)" = 0 ]; then
    user=pelmora-im-$$
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    uid=$(id -u "$user")
    users_processes() { find /proc -mindepth 1 -maxdepth 1 -name '[0-9]*' -user "$uid" -printf '%f\n' 2>/dev/null || true; }
    # The checkout may lie where only root may read (/root/...): the scripts
    # and any folder named on the command line are copied where the user may.
    copy=$(mktemp -d /tmp/pelmora-assistive-copy.XXXXXX)
    trap 'set +e; stop users_processes; userdel "$user"; rm -rf "$copy"' EXIT
    trap 'exit 130' INT TERM
    here=$(dirname "$(realpath "$0")")
    cp "$here"/*.sh "$here"/*.py "$copy/"
    args=()
    for arg in "$@"; do
        [ ! -e "$arg" ] || arg=$(realpath "$arg")
        if [ -d "$arg" ]; then
            cp -r "$arg" "$copy/folder${#args[@]}"
            arg=$copy/folder${#args[@]}
        elif [[ $arg == "$here"/* ]]; then
            arg=$copy/${arg#"$here"/}
        fi
        args+=("$arg")
    done
    chmod -R a+rX "$copy"
    # Its own runtime folder, as a login would give it; the sound server of
    # the session is root's, and the quiz is silent without one.
    (cd / && env -u PULSE_SERVER -u TMPDIR XDG_RUNTIME_DIR= \
        setpriv --reuid="$uid" --regid="$(id -g "$user")" --clear-groups -- "$copy/${0##*/}" "${args[@]}") &
    wait $!
    exit
fi
[ "$input_method" = 1 ] && shift

dir=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-assistive.XXXXXX")
# What this starts carries a mark in its environment, and so does whatever
# that starts on its own (a bus its services, fcitx5 Mozc's server): that
# is how they are found again.
marked() { env PELMORA_ASSISTIVE_SESSION="$dir" "$@"; }
ours() {
    grep -lzxF "PELMORA_ASSISTIVE_SESSION=$dir" /proc/[0-9]*/environ 2>/dev/null |
        sed -e 's|^/proc/||' -e 's|/environ$||' || true
}
trap 'set +e; stop ours; rm -rf "$dir"' EXIT
trap 'exit 130' INT TERM

export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config XDG_DATA_HOME=$dir/home/.local/share
export XDG_CACHE_HOME=$dir/home/.cache XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$dir/runtime} GSETTINGS_BACKEND=memory
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

marked dbus-daemon --session --nofork --nopidfile --address="unix:path=$dir/bus" --print-address=3 \
    3>"$dir/address" >"$dir/dbus.log" 2>&1 &
for _ in $(seq 100); do [ -s "$dir/address" ] && break; sleep 0.05; done
[ -s "$dir/address" ] || { echo "assistive_session: the session bus did not start" >&2; cat "$dir/dbus.log" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"

# Switching accessibility on, as a screen reader does, starts the
# accessibility bus; toolkits ask the session bus for its address.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress >/dev/null

if [ "$input_method" = 1 ]; then
    # Mozc is the one input method there is.
    mkdir -p "$XDG_CONFIG_HOME/fcitx5"
    printf '[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=mozc\n[Groups/0/Items/0]\nName=mozc\n[GroupOrder]\n0=Default\n' \
        >"$XDG_CONFIG_HOME/fcitx5/profile"
    marked fcitx5 --disable=all --enable=dbus,dbusfrontend,xcb,keyboard,mozc --keep >"$dir/fcitx5.log" 2>&1 &
    # Asked by name too early, the bus would start a second one.
    on_bus() {
        gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.NameHasOwner org.fcitx.Fcitx5 | grep -q true
    }
    for _ in $(seq 100); do on_bus && break; sleep 0.1; done
    on_bus || { echo "assistive_session: fcitx5 did not start" >&2; cat "$dir/fcitx5.log" >&2; exit 1; }
    export QT_IM_MODULE=fcitx XMODIFIERS=@im=fcitx
fi

marked "$@" &
wait $!
