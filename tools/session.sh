#!/usr/bin/env bash
# Runs a command inside a private, headless desktop session: a virtual X
# display and a sound server whose default sink is a null sink named "null":
# PulseAudio, or with PELMORA_SOUND_SERVER=pipewire, PipeWire with
# WirePlumber and pipewire-pulse on a D-Bus session bus of its own, ALSA's
# default reaching it through its own plug-in as on a PipeWire desktop
# (where PulseAudio, whose ALSA file would claim the default, is not
# installed), or with PELMORA_SOUND_SERVER=pipewire-pulse the same servers
# reached through the pulse plug-in and pipewire-pulse, or with
# PELMORA_SOUND_SERVER=none (the default where PulseAudio is not installed)
# none at all, so that nothing sounds. All are stopped afterwards, whatever
# the command's outcome. With the display, the command sees DISPLAY,
# PULSE_SERVER and, with a server, PELMORA_NULL_MONITOR (the sink's monitor
# source, for recording what played) and PELMORA_SOUND_SERVER_PIDS (the
# server's processes, for stopping them).
set -euo pipefail
run_dir=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-session.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$run_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export XDG_RUNTIME_DIR=$run_dir
chmod 700 "$run_dir"

# -noreset: a server that resets as its last client leaves turns away those
# connecting meanwhile (1 in 20 beside two busy loops), which a starting
# program takes for no display at all.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$run_dir/display" 2>"$run_dir/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$run_dir/display" ] && break; sleep 0.05; done
[ -s "$run_dir/display" ] || { echo "session: Xvfb did not start" >&2; cat "$run_dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$run_dir/display")"

mkdir -p "$run_dir/pulse" "$run_dir/home"
printf 'autospawn = no\n' >"$run_dir/client.conf"
export PULSE_CLIENTCONFIG=$run_dir/client.conf
export PULSE_SERVER=unix:$run_dir/pulse/native
export PULSE_RUNTIME_PATH=$run_dir/pulse
export PULSE_STATE_PATH=$run_dir/pulse
wait_for_server() {
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return; sleep 0.05; done
    echo "session: $1 did not start" >&2
    cat "$run_dir"/*.log >&2
    exit 1
}
# ALSA's configuration as a PipeWire desktop has it: the system's, less
# PulseAudio's file, so that pipewire-alsa's default holds. Where pipewire-alsa
# is not installed (the lab has pulseaudio, which conflicts with it), its
# files come from the copy tools/pipewire-alsa.sh unpacked into
# PELMORA_PIPEWIRE_ALSA; without one the session is skipped (exit 77), or
# under make test fails.
desktop_alsa() {
    local conf=$run_dir/alsa/conf.d unpacked plugin
    mkdir -p "$conf"
    for file in /etc/alsa/conf.d/*.conf; do
        [ "${file##*/}" = 99-pulse.conf ] || ln -s "$file" "$conf/"
    done
    if [ ! -e /etc/alsa/conf.d/99-pipewire-default.conf ]; then
        unpacked=${PELMORA_PIPEWIRE_ALSA:-}/$(dpkg-query -W -f='${Version}' pipewire)
        plugin=$(find "$unpacked" -name libasound_module_pcm_pipewire.so 2>/dev/null || true)
        if [ -z "${PELMORA_PIPEWIRE_ALSA:-}" ] || [ -z "$plugin" ]; then
            echo "skipped: no pipewire-alsa for the PipeWire desktop session (tools/pipewire-alsa.sh unpacks one)"
            [ "${PELMORA_REQUIRE_ALL:-0}" = 1 ] && { echo "FAIL: make test unpacks it"; exit 1; }
            exit 77
        fi
        printf 'pcm_type.pipewire { lib "%s" }\nctl_type.pipewire { lib "%s" }\n' \
            "$plugin" "${plugin/pcm_pipewire/ctl_pipewire}" >"$conf/49-pipewire-plugin.conf"
        ln -s "$unpacked"/usr/share/alsa/alsa.conf.d/*.conf "$conf/"
    fi
    sed "s|\"/etc/alsa/conf.d\"|\"$conf\"|" /usr/share/alsa/alsa.conf >"$run_dir/alsa/alsa.conf"
    grep -q "\"$conf\"" "$run_dir/alsa/alsa.conf" ||
        { echo "session: /usr/share/alsa/alsa.conf does not read /etc/alsa/conf.d" >&2; exit 1; }
    export ALSA_CONFIG_PATH=$run_dir/alsa/alsa.conf
}
server=${PELMORA_SOUND_SERVER:-$(command -v pulseaudio >/dev/null && echo pulseaudio || echo none)}
case $server in
none)
    "$@"
    exit
    ;;
pulseaudio)
    HOME=$run_dir/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        --disallow-exit --log-target=file:"$run_dir/pulse.log" \
        -L "module-native-protocol-unix socket=$run_dir/pulse/native" \
        -L "module-null-sink sink_name=null norewinds=1" 2>>"$run_dir/pulse.log" &
    pids+=($!)
    server_pids=$!
    wait_for_server PulseAudio
    ;;
pipewire | pipewire-pulse)
    # WirePlumber finds its peers on the session bus; the servers keep their
    # state in the private home.
    dbus-daemon --session --nofork --address="unix:path=$run_dir/bus" >"$run_dir/dbus.log" 2>&1 &
    pids+=($!)
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$run_dir/bus
    for _ in $(seq 100); do [ -S "$run_dir/bus" ] && break; sleep 0.05; done
    HOME=$run_dir/home pipewire >"$run_dir/pipewire.log" 2>&1 &
    pids+=($!)
    server_pids=$!
    for _ in $(seq 100); do [ -S "$run_dir/pipewire-0" ] && break; sleep 0.05; done
    HOME=$run_dir/home wireplumber >"$run_dir/wireplumber.log" 2>&1 &
    pids+=($!)
    server_pids+=" $!"
    HOME=$run_dir/home pipewire-pulse >"$run_dir/pipewire-pulse.log" 2>&1 &
    pids+=($!)
    server_pids+=" $!"
    wait_for_server pipewire-pulse
    # Just after pipewire-pulse first answers, loading the sink can still
    # fail ("Not supported", seen once in a clean CI run); it is tried again.
    for _ in $(seq 100); do
        pactl load-module module-null-sink sink_name=null >/dev/null 2>&1 && break
        sleep 0.05
    done
    pactl list short sinks | grep -q null ||
        { echo "session: PipeWire made no null sink" >&2; cat "$run_dir"/*.log >&2; exit 1; }
    if [ "$server" = pipewire ]; then desktop_alsa; fi
    ;;
*)
    echo "session: PELMORA_SOUND_SERVER is pulseaudio, pipewire, pipewire-pulse or none, not $PELMORA_SOUND_SERVER" >&2
    exit 2
    ;;
esac
# pipewire-pulse refuses the default ("Not supported") until WirePlumber has
# made its metadata, which may come after the sink; it is tried again, and
# the last try says why it failed.
set_default_sink() {
    for _ in $(seq 99); do pactl set-default-sink null 2>/dev/null && return; sleep 0.05; done
    pactl set-default-sink null
}
set_default_sink
export PELMORA_NULL_MONITOR=null.monitor
export PELMORA_SOUND_SERVER_PIDS=$server_pids

"$@"
