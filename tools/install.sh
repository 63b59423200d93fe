#!/usr/bin/env bash
# Installs Pelmora for the player who runs it, without root:
#   tools/install.sh BUILD        the program folder from a build, a menu entry and the icon
#   tools/install.sh --uninstall  all of that again, except the player's record
# The program keeps its record (date.ini) in its own folder, so the folder
# lives in the player's data folder, and neither installing again nor
# uninstalling ever touches the record.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# A relative XDG_DATA_HOME is to be ignored, as an unset one.
data=${XDG_DATA_HOME:-}
[[ $data == /* ]] || data=$HOME/.local/share
data=$(realpath -m "$data")
folder=$data/pelmora
record=$folder/date.ini
# What installing put in the folder, so that uninstalling removes only that.
manifest=$folder/.installed-files
entry=$data/applications/pelmora.desktop
hicolor=$data/icons/hicolor
declare -A icons=(
    [32x32/apps/pelmora.png]=$here/../assets/pictures/icon.png
    [48x48/apps/pelmora.png]=$here/../assets/icons/icon-48.png
    [64x64/apps/pelmora.png]=$here/../assets/icons/icon-64.png
    [scalable/apps/pelmora.svg]=$here/icon.svg
)

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
    # The files CMake installed, relative to the folder; the list grows over
    # upgrades, so that uninstalling also removes what older versions brought.
    # CMake's own list ends without a line break.
    local installed
    installed=$(while IFS= read -r path || [ -n "$path" ]; do
        path=${path#"$folder"/}
        printf '%s\n' "${path#./}"
    done <"$build/install_manifest.txt")
    { printf '%s\n' "$installed"; [ ! -e "$manifest" ] || cat "$manifest"; } | sort -u >"$manifest.new"
    mv "$manifest.new" "$manifest"

    local icon
    for icon in "${!icons[@]}"; do
        install -D -m 644 "${icons[$icon]}" "$hicolor/$icon"
    done
    mkdir -p "$(dirname "$entry")"
    cat >"$entry.new" <<EOF
[Desktop Entry]
Type=Application
Name=Pelmora
Comment=Ear training: hear a piano note and find it on the keyboard
Comment[ja]=ピアノの音を聞いて鍵盤で当てる音感トレーニング
Keywords=ear training;piano;note;quiz;
Keywords[ja]=音感;ピアノ;音当て;クイズ;
Exec=$(exec_argument "$folder/pelmora")
Icon=pelmora
Terminal=false
Categories=Education;Music;
StartupWMClass=pelmora
EOF
    mv "$entry.new" "$entry"
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
    local icon
    for icon in "${!icons[@]}"; do rm -f "$hicolor/$icon"; done
    rm -f "$entry"
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
