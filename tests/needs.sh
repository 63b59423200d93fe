#!/usr/bin/env bash
# Runs a test that needs Debian packages of the test lab
# (tools/packages-test.txt). Where one is missing the test is skipped
# (exit 77) with the reason; under make test, which installs them all
# (PELMORA_REQUIRE_ALL=1), that is a failure instead.
# Usage: needs.sh PACKAGE... -- COMMAND...
set -uo pipefail
missing=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed' || missing+=("$1")
    shift
done
shift
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: needs ${missing[*]} (tools/setup.sh test installs them)"
    [ "${PELMORA_REQUIRE_ALL:-0}" = 1 ] && { echo "FAIL: make test installs every package a test needs"; exit 1; }
    exit 77
fi
exec "$@"
