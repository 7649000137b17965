#!/usr/bin/env bash
# The game on Wayland: under a headless weston it starts, races and quits with
# status 0, as it does on X11. Weston's headless backend has no input seat, so
# the game is driven in-process by its QtTest (start, held press, race "QUIT",
# menu "QUIT").
set -euo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
command -v weston >/dev/null || fail "weston is missing: install the Debian package weston"
build=${TAVRELO_BUILD_DIR:?TAVRELO_BUILD_DIR must name the build folder}
test_program="$build/tests/tst_window_play"
[ -x "$test_program" ] || fail "$test_program is not built"

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-wayland.XXXXXX")
chmod 700 "$work"
weston_pid=""
cleanup() {
    if [ -n "$weston_pid" ]; then
        kill "$weston_pid" 2>/dev/null || true
        wait "$weston_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" weston --backend=headless-backend.so --socket=tavrelo-test --idle-time=0 \
    >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$work/runtime/tavrelo-test" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
[ -S "$work/runtime/tavrelo-test" ] || {
    cat "$work/weston.log" >&2
    fail "weston did not start"
}

# No X display, and the platform named alone: Qt stops rather than fall back to X11.
status=0
env -u DISPLAY XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY=tavrelo-test QT_QPA_PLATFORM=wayland \
    XDG_CONFIG_HOME="$work/config" "$test_program" start_hold_and_quit_with_the_mouse >"$work/test.log" 2>&1 ||
    status=$?
cat "$work/test.log"
[ "$status" -eq 0 ] || fail "the game on Wayland ended with status $status"
echo "PASS: the game started, raced and quit with status 0 on Wayland"
