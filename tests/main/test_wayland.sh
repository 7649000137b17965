#!/usr/bin/env bash
# The game on Wayland: under a headless weston it starts, races and quits with
# status 0, as on X11. That compositor has no input seat, so the game is driven
# in-process by its QtTest (start, held press, race "QUIT", menu "QUIT").
set -euo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
command -v weston >/dev/null || fail "weston is missing: install the Debian package weston"
test_program="${TAVRELO_BUILD_DIR:?the build folder}/tests/tst_window_play"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-wayland.XXXXXX")
chmod 700 "$work"
XDG_RUNTIME_DIR="$work" weston --backend=headless-backend.so --socket=tavrelo --idle-time=0 >"$work/log" 2>&1 &
weston_pid=$!
trap 'kill $weston_pid 2>/dev/null; wait $weston_pid 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -S "$work/tavrelo" ] || sleep 0.1
done
[ -S "$work/tavrelo" ] || fail "weston did not start: $(cat "$work/log")"

# No X display, and the platform named alone: Qt stops rather than fall back to X11.
env -u DISPLAY XDG_RUNTIME_DIR="$work" WAYLAND_DISPLAY=tavrelo QT_QPA_PLATFORM=wayland XDG_CONFIG_HOME="$work" \
    "$test_program" start_hold_and_quit_with_the_mouse || fail "the game on Wayland ended with status $?"
echo "PASS: the game started, raced and quit with status 0 on Wayland"
