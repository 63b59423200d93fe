#!/usr/bin/env bash
# Installs the Debian packages of one or more lists that are missing: the
# names build, headless, deb and test stand for tools/packages-NAME.txt; any other
# argument is a list's path. Safe to run again: with everything present it
# only checks. With --check it installs nothing and fails, saying what to
# install, when something is missing.
# Usage: tools/setup.sh [--check] LIST...
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
check=0
if [ "${1:-}" = --check ]; then check=1; shift; fi
[ $# -gt 0 ] || set -- build
wanted=()
for list in "$@"; do
    case $list in build | headless | deb | test) list=$tools/packages-$list.txt ;; esac
    [ -f "$list" ] || { echo "setup: no package list $list" >&2; exit 2; }
    mapfile -t -O "${#wanted[@]}" wanted < <(grep -v -e '^#' -e '^$' "$list")
done
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

command="apt-get install --no-install-recommends ${missing[*]}"
cannot() {
    echo "setup: Pelmora needs Debian packages that are not installed. As root, run:" >&2
    echo "    apt-get update && $command" >&2
    exit 1
}
[ "$check" = 0 ] || cannot
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    # sudo that may not be used, or can only ask for a password nobody can
    # type, would stop part-way.
    command -v sudo >/dev/null || cannot
    sudo -n true 2>/dev/null || [ -t 0 ] || cannot
    sudo=(sudo env DEBIAN_FRONTEND=noninteractive)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another installation under way (a desktop's updater, a second set-up) holds
# the lock for a while: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" apt-get "${wait_lock[@]}" update -qq || cannot
"${sudo[@]}" apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" || cannot
