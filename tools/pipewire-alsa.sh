#!/usr/bin/env bash
# Unpacks Debian's pipewire-alsa, of the installed PipeWire's version, into
# DIR for the test lab's PipeWire desktop session (tools/session.sh). It is
# not installed: it conflicts with pulseaudio, which the lab needs as well.
# Nothing to do where it is installed or already unpacked.
# Usage: tools/pipewire-alsa.sh DIR
set -euo pipefail
dir=${1:?usage: tools/pipewire-alsa.sh DIR}
plugin=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)/alsa-lib/libasound_module_pcm_pipewire.so
dpkg-query -W -f='${Status}' pipewire-alsa 2>/dev/null | grep -q '^install ok installed' && exit 0
version=$(dpkg-query -W -f='${Version}' pipewire 2>/dev/null) ||
    { echo "pipewire-alsa: PipeWire is not installed (tools/setup.sh test)" >&2; exit 1; }
[ -f "$dir/$version/$plugin" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
download() { (cd "$work" && apt-get download -qq "pipewire-alsa=$version" >/dev/null 2>&1); }
if ! download; then
    # The package lists may not know this version yet.
    if [ "$(id -u)" -eq 0 ]; then apt-get update -qq; else sudo -n apt-get update -qq; fi && download ||
        { echo "pipewire-alsa: could not download pipewire-alsa $version" >&2; exit 1; }
fi
rm -rf "$dir"
mkdir -p "$dir/$version"
dpkg-deb -x "$work"/pipewire-alsa_*.deb "$dir/$version"
[ -f "$dir/$version/$plugin" ] || { echo "pipewire-alsa: the package has no $plugin" >&2; exit 1; }
