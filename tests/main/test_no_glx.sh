#!/usr/bin/env bash
# Without GLX (as on remote displays) the game left to choose races a lap with the usual frames; with Qt's
# OpenGL on X off too (Qt may still reach OpenGL through EGL), it says once that it paints raster.
set -euo pipefail
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }
test_program="${TAVRELO_BUILD_DIR:?the build folder}/tests/tst_window_play"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-no-glx.XXXXXX")
source "${TAVRELO_SOURCE_DIR:?the source folder}/scripts/lib.sh"
trap 'stop_display; rm -rf "$work"' EXIT
# The lap needs the whole 800x480 screen, which only a window manager gives a full-screen window; the lap
# itself waits for the window to get that size.
start_display 800x480 -extension || fail "no window manager came up on $DISPLAY to make the window full screen"

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
