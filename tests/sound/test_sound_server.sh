#!/usr/bin/env bash
# Without a sound server, and with one restarted mid-game, the game plays on: one line on standard error
# each time, a race past the time it tries again, the server used again once it is back, and status 0.
set -euo pipefail
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
exe=${TAVRELO_EXE:?the built tavrelo}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-server.XXXXXX")
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
mkdir -p "$work/run" "$work/pulse"
chmod 700 "$work/run"

# start_game NAME [VARIABLE=VALUE...]: the game, its errors in $work/NAME, and its window.
start_game() {
    env QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" "${@:2}" "$exe" 2>"$work/$1" &
    game=$!
    [ "$game" -gt 0 ] || fail "the game did not start"
    window=""
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --pid "$game" --name '^Tavrelo$' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && return 0
        sleep 0.1
    done
    fail "no window: $(cat "$work/$1")"
}
key() {
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$1"
}
# end_game NAME: Escape from the menu ends it with status 0, having said one line about the sound.
end_game() {
    key Escape
    for _ in $(seq 100); do
        kill -0 "$game" 2>/dev/null || break
        sleep 0.1
    done
    local status=0
    wait "$game" || status=$?
    game=""
    [ "$status" -eq 0 ] || fail "$1: exit status $status: $(cat "$work/$1")"
    said=$(grep -ciE 'sound|audio|pulse|stream' "$work/$1" || true)
    [ "$said" -eq 1 ] || fail "$1: the sound's trouble was said $said times: $(cat "$work/$1")"
}
# The game's stream on the server, within seconds.
playing() {
    for _ in $(seq 80); do
        [ "$(pactl list short sink-inputs 2>/dev/null | wc -l)" -eq 1 ] && return 0
        sleep 0.1
    done
    return 1
}

# A server named where none listens, and a runtime folder of its own: nothing to find, nothing to start.
start_game none XDG_RUNTIME_DIR="$work/run" PULSE_SERVER="unix:$work/run/none"
key Return
sleep 4 # past the first try again, which stays quiet
kill -0 "$game" 2>/dev/null || fail "the game ended without a sound server: $(cat "$work/none")"
key Escape
sleep 1 # the menu's QUIT waits half a second after a race
end_game none
grep -q '^tavrelo: warning: .*playing on without sound$' "$work/none" || fail "no warning: $(cat "$work/none")"

start_sound "$work/pulse"
start_game restarted
playing || fail "the game's sound never reached the server: $(cat "$work/restarted")"
stop_sound keep
sleep 1
kill -0 "$game" 2>/dev/null || fail "the game ended when the server went away: $(cat "$work/restarted")"
start_sound "$work/pulse"
playing || fail "the game did not play through the server when it came back: $(cat "$work/restarted")"
end_game restarted
echo "PASS: the game played on without a sound server and through a restart of one, and played through it again"
