#!/usr/bin/env bash
# Installs the Debian packages of a list (tools/packages.txt unless another
# is named) that are missing. Safe to run again: with everything present it
# only checks.
set -euo pipefail
list=$(realpath "${1:-$(dirname "$0")/packages.txt}")
mapfile -t wanted < <(grep -v -e '^#' -e '^$' "$list")
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install packages" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Another installation under way (a desktop's updater, a second set-up) holds
# the lock for a while: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" apt-get "${wait_lock[@]}" update -qq
"${sudo[@]}" apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
