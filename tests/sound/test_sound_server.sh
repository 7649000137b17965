#!/usr/bin/env bash
# Without a sound server, and with one restarted mid-game, the game plays on: one line on standard error
# each time, a race past the time it tries again, the server used again once it is back, and status 0.
# The server away for 1, 3 and 10 s, in the menu and in a race: the engine is heard again within 3 s of
# its return, and the game says the loss and the return in a line each; a stalled server does not hold it.
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
# end_game NAME [LINES]: Escape from the menu ends it with status 0, having said LINES (1) about the sound.
end_game() {
    key Escape
    # A minute: a slow machine or a sanitizer's build is not a game held by its sound.
    for _ in $(seq 600); do
        kill -0 "$game" 2>/dev/null || break
        sleep 0.1
    done
    ! kill -0 "$game" 2>/dev/null || fail "$1: the game did not end on Escape: $(cat "$work/$1")"
    local status=0
    wait "$game" || status=$?
    game=""
    [ "$status" -eq 0 ] || fail "$1: exit status $status: $(cat "$work/$1")"
    said=$(grep -ciE 'sound|audio|pulse|stream' "$work/$1" || true)
    [ "$said" -eq "${2:-1}" ] || fail "$1: the sound's trouble was said $said times: $(cat "$work/$1")"
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

# heard_within SECONDS: the sink's monitor, recorded from now until SECONDS have passed, holds the engine in
# its last quarter second (a recorder that starts late on a busy machine records less, never later). A
# recorder refused by a server just up is started again, until the time is up.
heard_within() {
    local until left
    until=$(($(date +%s%N) / 1000000 + $1 * 1000))
    : >"$work/heard.raw"
    while left=$((until - $(date +%s%N) / 1000000)) && [ "$left" -gt 100 ]; do
        timeout "$(awk -v ms="$left" 'BEGIN { print ms / 1000 }')" parec --device=@DEFAULT_MONITOR@ --format=s16le \
            --rate=48000 --channels=1 --latency-msec=10 --raw >"$work/heard.raw" 2>>"$work/parec.log" && true
        [ $? -eq 124 ] && break
        sleep 0.1
    done
    local rms
    rms=$(sox -t raw -r 48000 -e signed -b 16 -c 1 "$work/heard.raw" -n reverse trim 0 0.25 stat 2>&1 |
        sed -n 's/^RMS *amplitude: *//p')
    echo "${rms:-none} in $(($(stat -c %s "$work/heard.raw") / 96)) ms recorded"
    awk -v rms="${rms:-0}" 'BEGIN { exit !(rms > 0.003) }'
}

start_sound "$work/pulse"
start_game restarted
playing || fail "the game's sound never reached the server: $(cat "$work/restarted")"
outages=0
for away in 1 3 10; do
    for where in menu race; do
        [ "$where" = race ] && key Return
        sleep 0.5
        stop_sound keep
        sleep "$away"
        kill -0 "$game" 2>/dev/null || fail "the game ended when the server went away: $(cat "$work/restarted")"
        start_sound "$work/pulse"
        # In the menu nothing idles: the race started as the server returns is what is heard.
        [ "$where" = menu ] && key Return
        rms=$(heard_within 3) ||
            fail "away $away s in the $where: the engine not heard within 3 s of the return (RMS $rms): $(cat "$work/restarted" "$work/parec.log")"
        echo "away $away s in the $where: RMS $rms, 3 s after the return"
        key Escape
        sleep 1 # the menu's QUIT waits half a second after a race
        outages=$((outages + 1))
    done
done
lost=$(grep -c '^tavrelo: warning: sound lost (.*); playing on without it$' "$work/restarted" || true)
back=$(grep -c '^tavrelo: sound back$' "$work/restarted" || true)
[ "$lost" -eq "$outages" ] && [ "$back" -eq "$outages" ] ||
    fail "$outages outages said lost $lost times and back $back times: $(cat "$work/restarted")"
# A server that stalls (its sink suspended) holds neither the game nor its end.
pactl suspend-sink @DEFAULT_SINK@ 1
sleep 0.5
end_game restarted $((2 * outages))
echo "PASS: the game played on without a sound server, came back through $outages restarts of one, and said so"
