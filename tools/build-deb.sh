#!/usr/bin/env bash
# Builds the Debian package with dpkg-buildpackage from a copy of this
# checkout in BUILD/deb/src, so that the package, the .changes file and
# everything debhelper leaves behind land in BUILD/deb and nothing in the
# checkout. The copy is the checkout as it is now, committed or not, without
# what git ignores (the builds). The last line says where the package is.
# Usage: tools/build-deb.sh BUILD
set -euo pipefail
source=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: tools/build-deb.sh BUILD" >&2; exit 2; }
mkdir -p "$1"
out=$(realpath "$1")/deb
rm -rf "$out"
mkdir -p "$out/src"

# The build folder itself is never copied, wherever it is.
build=$(realpath --relative-to="$source" "$1")
files() {
    if git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$source" ls-files -z --cached --others --exclude-standard
    else
        (cd "$source" && find . \( -path ./.git -o -path ./build -o -path './build-*' \) -prune -o ! -type d -print0)
    fi
}
files | while IFS= read -r -d '' file; do
    file=${file#./}
    # A file deleted but not yet committed is not part of the sources.
    [[ -e $source/$file && $file != "$build"/* ]] && printf '%s\0' "$file"
done | tar -C "$source" --null -T - -cf - | tar -C "$out/src" -xf -

cd "$out/src"
log=$out/build.log
if ! DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b -Jauto >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "build-deb: dpkg-buildpackage failed; the whole log is $log" >&2
    exit 1
fi
version=$(dpkg-parsechangelog -S Version)
deb=$out/pelmora_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).deb
[ -f "$deb" ] || { echo "build-deb: no $deb after the build" >&2; exit 1; }
echo "$deb"
