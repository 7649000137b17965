#!/usr/bin/env bash
# The game on an X server without OpenGL (no GLX, as on many remote displays):
# left to choose, it paints through the raster engine, says once why, and
# races a whole lap with the same frames as anywhere else.
set -euo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
command -v Xvfb >/dev/null || fail "Xvfb is missing: install the Debian package xvfb"
command -v matchbox-window-manager >/dev/null || fail "install the Debian package matchbox-window-manager"
test_program="${TAVRELO_BUILD_DIR:?the build folder}/tests/tst_window_play"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-no-glx.XXXXXX")
xvfb_pid=""
wm_pid=""
cleanup() {
    local pid
    for pid in "$wm_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && [ "$pid" -gt 0 ]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp -extension GLX 3>"$work/displayfd" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$work/displayfd" || fail "Xvfb did not start"
export DISPLAY=":$number"
matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work" "$test_program" \
    a_lap_is_driven_with_the_mouse_on_every_course:Primus 2>"$work/errors" ||
    fail "the lap without GLX failed: $(cat "$work/errors")"
said=$(grep -c '^tavrelo: .*; drawing with the raster engine$' "$work/errors" || true)
[ "$said" = 1 ] || fail "the fall-back to raster was said $said times: $(cat "$work/errors")"
echo "PASS: without GLX the game chose raster, said why once and raced a lap"
