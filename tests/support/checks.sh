# The checks and program handling that the shell tests share; sourced.
failed=0
fail() { echo "FAIL: $*"; failed=1; }
expect() { local what=$1; shift; "$@" || fail "$what"; }

# A program the launcher started is not our child and may never be reaped:
# it has ended once it is gone or a zombie.
ended() {
    local state
    state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
    [ "$state" = Z ]
}
# Ends a program as the desktop does and waits until it has.
end_program() {
    kill -TERM "$1"
    for _ in $(seq 100); do ended "$1" && return 0; sleep 0.1; done
    fail "pelmora did not end on SIGTERM"
    return 1
}
