#!/usr/bin/env bash
# Without GLX (as on remote displays) the game left to choose races a lap with the usual frames; with Qt's
# OpenGL on X off too (Qt may still reach OpenGL through EGL), it says once that it paints raster.
set -euo pipefail
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }
test_program="${TAVRELO_BUILD_DIR:?the build folder}/tests/tst_window_play"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-no-glx.XXXXXX")
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp -extension GLX 3>"$work/displayfd" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
    for pid in ${wm_pid:-} "$xvfb_pid"; do [ "$pid" -gt 0 ] && kill -0 "$pid" 2>/dev/null && kill "$pid"; done
    rm -rf "$work"
}
trap cleanup EXIT
read -r -t 20 number <"$work/displayfd" || fail "Xvfb did not start"
export DISPLAY=":$number"
matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
sleep 0.5 # a window manager just up may not yet honour full screen

# The lap; then how often the fall-back to raster was said must match $1.
lap() {
    env QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work" "${@:2}" "$test_program" \
        a_lap_is_driven_with_the_mouse_on_every_course:Primus 2>"$work/errors" ||
        fail "the lap without GLX (${*:2}) failed: $(cat "$work/errors")"
    said=$(grep -c '^tavrelo: .*; drawing with the raster engine$' "$work/errors" || true)
    [[ "$said" =~ ^$1$ ]] || fail "the fall-back to raster was said $said times: $(cat "$work/errors")"
}
lap '[01]'
lap 1 QT_XCB_GL_INTEGRATION=none
echo "PASS: without GLX, and without any OpenGL, the game raced a lap"
