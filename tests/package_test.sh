#!/usr/bin/env bash
# The Debian package as players get it.
#   package_test.sh build BUILD    builds it into BUILD/deb (tools/build-deb.sh)
#                                  and checks it with lintian, appstreamcli and
#                                  desktop-file-validate
#   package_test.sh install BUILD  installs that package with apt, plays it
#                                  through its menu entry as two throwaway
#                                  players, purges it and checks what is left.
#                                  Needs root and a display (tools/session.sh);
#                                  skipped (77) without root. Whatever happens,
#                                  the package is purged and the players removed.
set -uo pipefail
mode=${1:-}
build=$(realpath "${2:-build}")
source=$(cd "$(dirname "$0")/.." && pwd)

. "$source/tests/support/checks.sh"
finish() { [ "$failed" = 0 ] && echo "package_test $mode: all passed"; exit "$failed"; }

check_build() {
    echo "== building the package"
    local deb
    deb=$("$source/tools/build-deb.sh" "$build" | tail -n 1) || exit 1
    echo "$deb"
    echo "== lintian"
    # Named from its own folder: lintian misreads a path that is not ASCII.
    local changes=${deb%.deb}.changes
    (cd "${changes%/*}" && lintian --fail-on error,warning "${changes##*/}") 2>&1 | grep -v 'running with root privileges'
    [ "${PIPESTATUS[0]}" = 0 ] || fail "lintian finds errors or warnings"

    local unpacked=$build/deb/unpacked
    rm -rf "$unpacked"
    dpkg-deb -x "$deb" "$unpacked" || exit 1
    echo "== appstreamcli"
    expect "the metainfo is valid" appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/org.pelmora.Pelmora.metainfo.xml
    local complaints
    complaints=$(desktop-file-validate "$unpacked"/usr/share/applications/org.pelmora.Pelmora.desktop 2>&1)
    expect "the desktop entry is valid: $complaints" [ -z "$complaints" ]
    expect "the launcher on PATH is the program" [ "$(readlink "$unpacked/usr/bin/pelmora")" = ../lib/pelmora/pelmora ]
    rm -rf "$unpacked"
    finish
}

[ "$mode" = build ] && check_build
[ "$mode" = install ] || { echo "usage: package_test.sh build|install BUILD" >&2; exit 2; }

# --- install ------------------------------------------------------------------
if [ "$(id -u)" != 0 ]; then
    echo "package_test install: skipped: installing the package and making throwaway players needs root"
    exit 77
fi
[ -n "${DISPLAY:-}" ] || { echo "package_test: needs a display; run it inside tools/session.sh" >&2; exit 1; }
debs=("$build"/deb/pelmora_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "package_test: no package in $build/deb; 'package_test.sh build' makes it" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
apt_get() { apt-get -o DPkg::Lock::Timeout=300 -y -qq "$@"; }
prefix=pelmora-deb-test-
# Holds the test's scratch folder while the package is installed by this
# test, so that a run that was killed is cleaned up by the next one (outside
# BUILD/deb, which each package build makes anew).
marker=$build/package-installed-by-test
for user in $(getent passwd | cut -d: -f1 | grep "^$prefix"); do userdel -r -f "$user" 2>/dev/null; done
if [ -e "$marker" ]; then
    apt_get purge pelmora >/dev/null
    left=$(cat "$marker")
    [[ $left != */pelmora-package.* ]] || rm -rf "$left"
    rm -f "$marker"
fi
if dpkg-query -W -f '${Status}' pelmora 2>/dev/null | grep -q 'ok installed'; then
    echo "package_test install: skipped: pelmora is installed on this machine, and the test would remove it"
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-package.XXXXXX")
chmod 755 "$work"
mkdir -m 755 "$work/homes"
players=()
pid=
cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null
    for user in "${players[@]}"; do userdel -r -f "$user" 2>/dev/null; done
    if [ -e "$marker" ]; then
        apt_get purge pelmora >/dev/null
        rm -f "$marker"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== installing $deb with apt"
echo "$work" >"$marker"
if ! apt_get install "$deb" >"$work/apt.log" 2>&1; then
    # Stale package lists cannot fetch the dependencies.
    apt_get update >/dev/null 2>&1
    apt_get install "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; exit 1; }
fi
dpkg-query -L pelmora >"$work/files"
entry=/usr/share/applications/org.pelmora.Pelmora.desktop
expect "the menu entry is installed" [ -f "$entry" ]
snapshot() (
    cd /usr/lib/pelmora &&
        find . -printf '%M %u:%g %p %l\n' | sort &&
        find . -type f -print0 | sort -z | xargs -0 sha256sum
)
snapshot >"$work/program-before"
expect "the starter record is read-only, so no run, root's neither, changes it" \
    [ "$(stat -c %a /usr/lib/pelmora/date.ini)" = 444 ]

home_of() { getent passwd "$1" | cut -d: -f6; }
record_of() { echo "$(home_of "$1")/.local/share/pelmora/date.ini"; }
record_says() { iconv -f CP932 -t UTF-8 "$(record_of "$1")" 2>/dev/null | grep -q "^$2"$'\r'; }

# The packages that the running program's shared objects come from must all
# be among what the package depends on, however deep; and the pictures are
# compiled in, so no image-format plugin is loaded (one loaded for nothing
# brings its own libraries, PDF's among them).
check_loaded_libraries() {
    local closure lib owner missing=() plugins
    plugins=$(awk '$6 ~ /\/plugins\/imageformats\// { print $6 }' "/proc/$1/maps" | sort -u)
    expect "$2: no image-format plugin is loaded; loaded: $plugins" [ -z "$plugins" ]
    closure=$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
        --no-breaks --no-replaces --no-enhances pelmora | grep -v '^ ' | sed 's/:.*//' | sort -u)
    for lib in $(awk '$6 ~ /\.so/ { print $6 }' "/proc/$1/maps" | sort -u); do
        owner=$(dpkg-query -S "$lib" 2>/dev/null || dpkg-query -S "${lib#/usr}" 2>/dev/null) ||
            { missing+=("$lib (no package)"); continue; }
        owner=${owner%%:*}
        grep -qx "$owner" <<<"$closure" || missing+=("$lib ($owner)")
    done
    expect "$2: everything the program loads comes with its dependencies; not: ${missing[*]}" [ ${#missing[@]} = 0 ]
}

# play USER RUN [NAME]: starts the menu entry as the player; a first run
# registers NAME in the name window. Ends the program once the main window
# shows. The second player's last run is on a screen of twice the pixel density.
play() {
    local user=$1 run=$2 name=${3:-} window title scale=1
    [ "$run" != 3 ] || [ "$user" = "${players[0]}" ] || scale=2
    local runtime=$work/run-$user
    mkdir -p "$runtime" && chown "$user:" "$runtime" && chmod 700 "$runtime"
    (cd / && runuser -u "$user" -- env -i HOME="$(home_of "$user")" USER="$user" LOGNAME="$user" \
        PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR="$runtime" DISPLAY="$DISPLAY" LANG=C.UTF-8 \
        QT_SCALE_FACTOR=$scale gio launch "$entry") >"$work/launch.log" 2>&1 || { fail "$user: the menu entry does not start: $(cat "$work/launch.log")"; return; }
    window=$(timeout 20 xdotool search --sync --onlyvisible --class '^pelmora$' | head -n 1)
    [ -n "$window" ] && pid=$(xdotool getwindowpid "$window") || { fail "$user: no window from the menu entry"; return; }
    expect "$user: the menu entry runs the packaged program as the player" \
        [ "$(readlink "/proc/$pid/exe")" = /usr/lib/pelmora/pelmora -a "$(stat -c %U "/proc/$pid")" = "$user" ]
    title=$(xdotool getwindowname "$window")
    if [ -n "$name" ]; then
        expect "$user: the first run asks for a name, not \"$title\"" [ "$title" = 貴方の名前を入力してください ]
        xdotool mousemove --sync 444 397 click 1 type --delay 20 "$name"
        xdotool mousemove --sync 476 440 click 1  # 保存
    else
        expect "$user: run $run opens the main window, not \"$title\"" [ "$title" = Pelmora ]
    fi
    timeout 10 xdotool search --sync --onlyvisible --name '^Pelmora$' >/dev/null || fail "$user: no main window"
    [ "$run" != 3 ] || check_loaded_libraries "$pid" "$user at ${scale}x"
    end_program "$pid" && pid=
    expect "$user: run $run is counted in the player's own record" record_says "$user" "起動回数=$run"
}

for n in 1 2; do
    user=$prefix$$-$n
    useradd -m -b "$work/homes" -s /bin/sh "$user" || { fail "useradd $user"; exit 1; }
    players+=("$user")
done
# Names in ASCII: xdotool types other characters through a remapped key,
# which the program now and then reads before the new mapping.
names=(Hanako Taro)
echo "== two players, three runs each, by turns"
for run in 1 2 3; do
    for n in 0 1; do
        if [ "$run" = 1 ]; then play "${players[$n]}" "$run" "${names[$n]}"; else play "${players[$n]}" "$run"; fi
    done
done
for n in 0 1; do
    user=${players[$n]}
    expect "$user: the record keeps the player's name: $(iconv -f CP932 -t UTF-8 "$(record_of "$user")")" \
        record_says "$user" "ユーザー=${names[$n]}"
    folder=$(dirname "$(record_of "$user")")
    expect "$user: the record's folder is the player's alone" [ "$(stat -c '%a %U' "$folder")" = "700 $user" ]
    sha256sum "$(record_of "$user")" >>"$work/records"
done
snapshot >"$work/program-after"
expect "the program folder is as installed: $(diff "$work/program-before" "$work/program-after")" \
    cmp -s "$work/program-before" "$work/program-after"

echo "== purging"
apt_get purge pelmora >"$work/apt.log" 2>&1 || fail "apt-get purge: $(cat "$work/apt.log")"
rm -f "$marker"
left=()
while IFS= read -r path; do
    [ -d "$path" ] && [ ! -L "$path" ] && continue  # shared folders such as /usr/share
    [ -e "$path" ] || [ -L "$path" ] && left+=("$path")
done <"$work/files"
[ -e /usr/lib/pelmora ] && left+=(/usr/lib/pelmora)
expect "nothing of the package is left: ${left[*]}" [ ${#left[@]} = 0 ]
expect "both players' records are kept as they were" sha256sum --quiet -c "$work/records"
finish
