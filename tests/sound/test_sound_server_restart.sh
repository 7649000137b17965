#!/usr/bin/env bash
# A sound server that goes away mid-game (restarted): the game plays on, says so once, plays through the
# server again once it is back, and ends with status 0.
set -euo pipefail
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
exe=${TAVRELO_EXE:?the built tavrelo}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-restarted.XXXXXX")
source "${TAVRELO_SOURCE_DIR:?the source folder}/scripts/lib.sh"
game=""
cleanup() {
    if [ -n "$game" ] && [ "$game" -gt 0 ] && kill -0 "$game" 2>/dev/null; then
        kill "$game"
    fi
    stop_display
    stop_sound
    rm -rf "$work"
}
trap cleanup EXIT
start_display 800x480
sleep 0.5 # a window manager just up may not yet honour full screen
mkdir -p "$work/pulse" "$work/config"
start_sound "$work/pulse"

# The game's stream on the server, within seconds.
playing() {
    local _
    for _ in $(seq 80); do
        [ "$(pactl list short sink-inputs 2>/dev/null | wc -l)" -eq 1 ] && return 0
        sleep 0.1
    done
    return 1
}
env QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "$exe" 2>"$work/errors" &
game=$!
[ "$game" -gt 0 ] || fail "the game did not start"
playing || fail "the game's sound never reached the server: $(cat "$work/errors")"
stop_sound keep
sleep 1
kill -0 "$game" 2>/dev/null || fail "the game ended when the server went away: $(cat "$work/errors")"
start_sound "$work/pulse"
playing || fail "the game did not play through the server when it came back: $(cat "$work/errors")"

window=$(xdotool search --onlyvisible --pid "$game" --name '^Tavrelo$' 2>/dev/null | head -n 1 || true)
[ -n "$window" ] || fail "no window"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
xdotool key --clearmodifiers Escape
status=0
for _ in $(seq 100); do
    kill -0 "$game" 2>/dev/null || break
    sleep 0.1
done
wait "$game" || status=$?
game=""
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/errors")"
said=$(grep -ciE 'sound|audio|pulse|stream' "$work/errors" || true)
[ "$said" -eq 1 ] || fail "the lost server was said $said times: $(cat "$work/errors")"
echo "PASS: the game played on through a restart of the sound server and played through it again"
