#!/usr/bin/env bash
# Installs Pelmora for the player who runs it, without root:
#   tools/install.sh BUILD        the program folder from a build, a menu entry and the icon
#   tools/install.sh --uninstall  all of that again, except the player's record
# The program keeps its record (date.ini) in its own folder, so the folder
# lives in the player's data folder, and neither installing again nor
# uninstalling ever touches the record.
set -euo pipefail

# A relative XDG_DATA_HOME is to be ignored, as an unset one.
data=${XDG_DATA_HOME:-}
[[ $data == /* ]] || data=$HOME/.local/share
data=$(realpath -m "$data")
folder=$data/pelmora
record=$folder/date.ini
# What installing put in the folder and beside it (as ../applications/...,
# ../icons/...), so that uninstalling removes only that.
manifest=$folder/.installed-files
entry=$data/applications/org.pelmora.Pelmora.desktop
hicolor=$data/icons/hicolor
# What older versions put beside the folder without listing it: the entry
# under its old name, which the new one replaces, and the icons.
old_entry=applications/pelmora.desktop
unlisted=("$old_entry" icons/hicolor/{32x32,48x48,64x64}/apps/pelmora.png icons/hicolor/scalable/apps/pelmora.svg)

fail() { echo "install: $*" >&2; exit 1; }

# The program's path as a quoted argument of the entry's Exec key: escaped
# once for the quotes, then once more as a string value.
exec_argument() {
    local s=$1
    s=${s//\\/\\\\} s=${s//\"/\\\"} s=${s//\`/\\\`} s=${s//\$/\\\$}
    s=${s//\\/\\\\}
    printf '"%s"' "$s"
}

# Menus re-read the folders when these caches are refreshed. An icon cache
# is only refreshed where one exists: a new one would hide icons other
# programs add later without refreshing it.
refresh_menus() {
    if command -v update-desktop-database >/dev/null; then
        update-desktop-database -q "$data/applications" || true
    fi
    [ -d "$hicolor" ] || return 0
    touch "$hicolor"
    if [ -e "$hicolor/icon-theme.cache" ] && command -v gtk-update-icon-cache >/dev/null; then
        gtk-update-icon-cache -q -f -t "$hicolor" || true
    fi
}

install_pelmora() {
    local build
    build=$(realpath "$1")
    [ -x "$build/bin/pelmora" ] || fail "no program in $build/bin: build it first (make install does)"
    # Launchers take % for a field code even inside quotes, and CMake takes \
    # for a separator.
    [[ $folder != *[%\\$'\n']* ]] ||
        fail "cannot install in $folder: a % or \\ or line break there breaks the launcher; set XDG_DATA_HOME to another folder"

    cmake --install "$build" --prefix "$folder" >/dev/null
    # The files CMake installed, relative to the folder, and the menu's files
    # from the build's share/; the list grows over upgrades, so that
    # uninstalling also removes what older versions brought. CMake's own list
    # ends without a line break.
    local installed path line
    installed=$(while IFS= read -r path || [ -n "$path" ]; do
        path=${path#"$folder"/}
        printf '%s\n' "${path#./}"
    done <"$build/install_manifest.txt"
        cd "$build/share" && find icons applications -type f -printf '../%p\n')
    { printf '%s\n' "$installed"; [ ! -e "$manifest" ] || cat "$manifest"; } | sort -u >"$manifest.new"
    mv "$manifest.new" "$manifest"

    while IFS= read -r path; do
        install -D -m 644 "$build/share/$path" "$data/$path"
    done < <(cd "$build/share" && find icons -type f)
    # The shared entry, started by this copy's path.
    mkdir -p "$(dirname "$entry")"
    while IFS= read -r line; do
        [[ $line != Exec=* ]] || line="Exec=$(exec_argument "$folder/pelmora")"
        printf '%s\n' "$line"
    done <"$build/share/applications/${entry##*/}" >"$entry.new"
    mv "$entry.new" "$entry"
    rm -f "${data:?}/$old_entry"
    refresh_menus

    echo "Pelmora is installed in $folder and listed in the desktop's application menu."
    echo "The record is $record; installing again keeps it."
}

uninstall_pelmora() {
    if [ -e "$manifest" ]; then
        local path
        while IFS= read -r path; do
            case $path in "" | date.ini) ;; *) rm -f "$folder/$path" ;; esac
        done <"$manifest"
        rm -f "$manifest"
        find "$folder" -mindepth 1 -depth -type d -empty -delete
        rmdir "$folder" 2>/dev/null || true
    fi
    for path in "${unlisted[@]}"; do rm -f "$data/$path"; done
    refresh_menus

    echo "Pelmora is uninstalled."
    if [ -e "$record" ]; then
        echo "The record is kept: $record"
    fi
}

case ${1:-} in
    --uninstall) uninstall_pelmora ;;
    "" | -*) fail "usage: tools/install.sh BUILD | tools/install.sh --uninstall" ;;
    *) install_pelmora "$1" ;;
esac
