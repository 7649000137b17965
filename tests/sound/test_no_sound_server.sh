#!/usr/bin/env bash
# Without a sound server the game plays on silent: it says so in one line on standard error, runs a race
# past the time it tries the server again, and ends with status 0 when the player quits.
set -euo pipefail
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
exe=${TAVRELO_EXE:?the built tavrelo}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-silent.XXXXXX")
source "${TAVRELO_SOURCE_DIR:?the source folder}/scripts/lib.sh"
game=""
cleanup() {
    if [ -n "$game" ] && [ "$game" -gt 0 ] && kill -0 "$game" 2>/dev/null; then
        kill "$game"
    fi
    stop_display
    rm -rf "$work"
}
trap cleanup EXIT
start_display 800x480
sleep 0.5 # a window manager just up may not yet honour full screen

# A server named where none listens, and a runtime folder of its own: nothing to find, nothing to start.
mkdir -p "$work/run" "$work/config"
chmod 700 "$work/run"
env QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
    PULSE_SERVER="unix:$work/run/none" "$exe" 2>"$work/errors" &
game=$!
[ "$game" -gt 0 ] || fail "the game did not start"
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$game" --name '^Tavrelo$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window: $(cat "$work/errors")"
key() {
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$1"
}
key Return
# Past the first try again of the server, which must stay quiet.
sleep 4
kill -0 "$game" 2>/dev/null || fail "the game ended without a sound server: $(cat "$work/errors")"
key Escape
sleep 1 # the menu's QUIT waits half a second after a race
key Escape
status=0
for _ in $(seq 100); do
    kill -0 "$game" 2>/dev/null || break
    sleep 0.1
done
wait "$game" || status=$?
game=""
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/errors")"
said=$(grep -ciE 'sound|audio|pulse' "$work/errors" || true)
[ "$said" -eq 1 ] || fail "the missing server was said $said times: $(cat "$work/errors")"
grep -q '^tavrelo: warning: .*playing on without sound$' "$work/errors" ||
    fail "no warning of the game's own: $(cat "$work/errors")"
echo "PASS: without a sound server the game raced, said so once and ended with status 0"
