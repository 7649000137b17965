#!/usr/bin/env bash
# The game on an X server without GLX, as on many remote displays: left to
# choose, it races a whole lap with the same frames as anywhere else. Qt may
# still reach a software OpenGL there through EGL; with Qt's OpenGL on X turned
# off as well, no context can be made at all, and the game says so once and
# paints through the raster engine.
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
# A window manager just up may not yet honour a request for full screen.
sleep 0.5

# The lap, with the fall-back to raster said this many times.
lap() {
    local times=$1
    shift
    env QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work" "$@" "$test_program" \
        a_lap_is_driven_with_the_mouse_on_every_course:Primus 2>"$work/errors" ||
        fail "the lap without GLX ($*) failed: $(cat "$work/errors")"
    said=$(grep -c '^tavrelo: .*; drawing with the raster engine$' "$work/errors" || true)
    if [ "$times" = 0-1 ]; then
        [ "$said" -le 1 ] || fail "the fall-back to raster was said $said times: $(cat "$work/errors")"
    else
        [ "$said" = "$times" ] || fail "the fall-back to raster was said $said times, not $times: $(cat "$work/errors")"
    fi
}
lap 0-1
lap 1 QT_XCB_GL_INTEGRATION=none
echo "PASS: without GLX, and without any OpenGL, the game raced a lap"
