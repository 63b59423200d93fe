#!/usr/bin/env bash
# Runs a command beside a private Wine: its own prefix (made on first use and
# kept for the next run), no display, no menu entries or downloads, and its
# wineserver ended afterwards whatever the command's outcome. The command
# finds the loader in PELMORA_WINE; Wine itself is started with
# LC_ALL=ja_JP.UTF-8 (so that its ANSI code page is 932) by whoever calls it.
# The Windows program PELMORA_WINE_PROGRAM names is copied into the prefix,
# and the variable names the copy.
#   wine_session.sh PREFIX COMMAND...
set -euo pipefail
prefix=$(realpath -m "$1")
shift
# Where that locale is not installed Wine reads file names as ASCII: in a
# checkout whose path is not, the prefix is kept in the temporary folder.
ascii() { ! printf '%s' "$1" | LC_ALL=C grep -q '[^ -~]'; }
if ! ascii "$prefix"; then
    prefix=${TMPDIR:-/tmp}/pelmora-wine-$(id -u)-$(printf '%s' "$prefix" | md5sum | cut -c1-12)
fi
loader=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
for program in "$loader" "$server"; do
    [ -x "$program" ] || { echo "wine_session: $program is missing (Debian package wine64)" >&2; exit 1; }
done

export WINEPREFIX=$prefix WINEDEBUG=-all PELMORA_WINE=$loader
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=$prefix.home
# Debian 13's Wine 10 aborts at start ("double free or corruption", "free():
# invalid pointer") whenever TMPDIR is set, even to /tmp.
unset TMPDIR
unset DISPLAY WAYLAND_DISPLAY
trap '"$server" -k 2>/dev/null || true' EXIT

# A prefix that an interrupted first start left half made is made again.
if [ ! -f "$prefix/.made" ]; then
    rm -rf "$prefix" "$HOME"
    mkdir -p "$HOME"
    echo "wine_session: making a Wine prefix in $prefix (once, some 15 s)"
    LC_ALL=ja_JP.UTF-8 "$loader" wineboot --init >"$prefix.log" 2>&1 \
        || { echo "wine_session: wineboot failed:" >&2; cat "$prefix.log" >&2; exit 1; }
    "$server" -w
    touch "$prefix/.made"
fi
if [ -n "${PELMORA_WINE_PROGRAM:-}" ]; then
    cp "$PELMORA_WINE_PROGRAM" "$prefix/drive_c/"
    export PELMORA_WINE_PROGRAM=$prefix/drive_c/${PELMORA_WINE_PROGRAM##*/}
fi
"$@"
