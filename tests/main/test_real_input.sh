#!/usr/bin/env bash
# Plays the built game through the X server as a person would: real clicks,
# a held button and a held arrow key from xdotool, checked on screenshots of
# the screen. Then closes it through the window manager. Both ways out must end the program
# cleanly, the course raced last must open the next run, and standard error
# stays quiet: no debug line, no warning.
#
# Uses $DISPLAY when set; otherwise starts its own Xvfb and window manager.
set -euo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
note() { printf '%s\n' "$*" >&2; }
need() { command -v "$1" >/dev/null || fail "$1 is missing: install the Debian package $2"; }

exe=${TAVRELO_EXE:-${1:-}}
if [ -z "$exe" ] || [ ! -x "$exe" ]; then
    fail "TAVRELO_EXE must name the built tavrelo (got '$exe')"
fi
need xdotool xdotool
need import imagemagick
need compare imagemagick
need convert imagemagick
need xdpyinfo x11-utils

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-input.XXXXXX")
game_pid=""
xvfb_pid=""
wm_pid=""
button_held=false
key_held=false
cleanup() {
    local pid
    # A button or key left down on a shared display would confuse whatever runs next.
    if $button_held; then
        xdotool mouseup 1 || true
    fi
    if $key_held; then
        xdotool keyup Up || true
    fi
    for pid in "$game_pid" "$wm_pid" "$xvfb_pid"; do
        if [ -n "$pid" ]; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    need Xvfb xvfb
    need matchbox-window-manager matchbox-window-manager
    need xprop x11-utils
    mkfifo "$work/displayfd"
    Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp -noreset +extension GLX 3>"$work/displayfd" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 20 number <"$work/displayfd" || fail "Xvfb did not start"
    export DISPLAY=":$number"
    matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
    wm_pid=$!
    # Full screen needs the window manager to be up before the game starts.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    note "running on our own Xvfb $DISPLAY"
fi
unset WAYLAND_DISPLAY
xdpyinfo >/dev/null 2>&1 || fail "cannot reach the X display $DISPLAY"

read -r screen_w screen_h < <(xdotool getdisplaygeometry)
[ "$screen_w" -ge "$screen_h" ] || fail "the screen ${screen_w}x${screen_h} is upright; these checks expect a wide one"
mid_x=$((screen_w / 2))
mid_y=$((screen_h / 2))

# Where things are on a wide screen: the craft sits at a fifth of the width on
# the middle line, facing right; the hint's letters start at seven tenths of the
# height; the course caption ends a line's height above the middle, a few
# pixels above the box of "Start a new game".
press_x=$((screen_w / 5 + 140))
hint_area="370x20+30+$((screen_h * 7 / 10 - 4))"
caption_area="400x22+$((mid_x - 200))+$((mid_y - 35))"
clock_area="200x24+0+0"
quit_at="20 $((screen_h - 12))"
next_at="$((screen_w - 35)) $mid_y"
text_colour='rgb(160,250,190)'

settings_home=$work/config
mkdir -p "$settings_home" "$work/runtime"
chmod 700 "$work/runtime"
settings_file=$settings_home/Norvikk/Tavrelo.ini
preferences_file=$settings_home/Norvikk/Tavrelo-preferences.ini

# Takes a screenshot and prints its file name.
shot() {
    local file
    file=$(mktemp --suffix=.png "$work/shot-XXXXXX")
    import -window root "$file" || fail "cannot take a screenshot of $DISPLAY"
    printf '%s\n' "$file"
}

# How many pixels of the area (WxH+X+Y) are within a few per cent of a colour.
colour_count() {
    convert "$1" -crop "$2" +repage -fuzz 8% -fill 'rgb(255,0,255)' -opaque "$3" \
        -fill black +opaque 'rgb(255,0,255)' -fill white -opaque 'rgb(255,0,255)' \
        -format '%[fx:round(mean*w*h)]' info:
}
# Number of pixels that differ between two images of the same size.
differing() {
    local out
    out=$(compare -metric AE -fuzz 3% "$@" null: 2>&1 || true)
    [[ $out =~ ^[0-9]+$ ]] || fail "compare could not compare $*: $out"
    printf '%s\n' "$out"
}

# Polls a condition for up to the given number of seconds.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    while ! "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

game_alive() { kill -0 "$game_pid" 2>/dev/null; }

game_log=""
window=""
find_window() {
    game_alive || fail "the game ended on its own: $(cat "$game_log")"
    window=$(xdotool search --onlyvisible --pid "$game_pid" --name '^Tavrelo$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ]
}
full_screen() {
    xdotool getwindowgeometry "$window" | grep -q "Geometry: ${screen_w}x${screen_h}\$"
}
start_game() {
    game_log=$1
    XDG_CONFIG_HOME=$settings_home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb "$exe" 2>"$game_log" &
    game_pid=$!
    window=""
    wait_for 30 find_window || fail "no visible window titled Tavrelo within 30 s"
    wait_for 10 full_screen || fail "the window does not cover the screen: $(xdotool getwindowgeometry "$window")"
}

# The process's exit status once it has ended, within the given seconds.
ended_with=""
wait_for_exit() {
    local seconds=$1 waited=0
    while game_alive; do
        # Tenths of a second, so that short limits can be met exactly.
        [ $waited -lt $((seconds * 10)) ] || return 1
        sleep 0.1
        waited=$((waited + 1))
    done
    ended_with=0
    wait "$game_pid" || ended_with=$?
    game_pid=""
}

click() {
    # shellcheck disable=SC2086 # the point is two words on purpose
    xdotool mousemove $1 click 1
}

# Standard error is for what a player must know: a clean run says nothing there.
check_quiet_start() {
    ! grep -q -e '^Options path' -e '^tavrelo: warning' "$1" || fail "the game wrote to standard error: $(cat "$1")"
}

# The box round the bright text of the caption area, as WxH+X+Y. Behind the
# menu the fade plane keeps everything else dark.
caption_box() {
    convert "$1" -crop "$caption_area" +repage -channel G -separate +channel -threshold 60% -format '%@' info: 2>/dev/null
}
# The menu is up once the caption area holds one line of text, the same on
# two screenshots running; its width then tells the courses apart.
caption=""
caption_width=0
menu_settled() {
    local box
    box=$(caption_box "$(shot)")
    if [[ $box =~ ^([0-9]+)x([0-9]+)\+ ]] && [ "${BASH_REMATCH[1]}" -ge 50 ] &&
        [ "${BASH_REMATCH[2]}" -le 16 ] && [ "$box" = "$caption" ]; then
        caption_width=${BASH_REMATCH[1]}
        return 0
    fi
    caption=$box
    return 1
}

# --- First run: a race, a course change and the menu's QUIT. ---

start_game "$work/stderr-1.txt"
wait_for 30 menu_settled || fail "the menu with its course caption did not appear (caption area: $caption)"
first_width=$caption_width

click "$mid_x $mid_y"
race_start=""
hint_shown() {
    race_start=$(shot)
    [ "$(colour_count "$race_start" "$hint_area" "$text_colour")" -gt 100 ]
}
wait_for 20 hint_shown || fail "no hint 'Press and hold...' after clicking 'Start a new game'"

# Hold in front of the craft until the hint fades, for three seconds at least.
button_held=true
xdotool mousemove "$press_x" "$mid_y" mousedown 1
held_from=$SECONDS
driven=""
hint_gone() {
    driven=$(shot)
    [ "$(colour_count "$driven" "$hint_area" "$text_colour")" -eq 0 ]
}
wait_for 20 hint_gone || fail "the hint stayed on screen while the button was held"
held=$((SECONDS - held_from))
[ $held -ge 3 ] || sleep $((3 - held))
driven=$(shot)
xdotool mouseup 1
button_held=false
[ "$(colour_count "$driven" "$hint_area" "$text_colour")" -eq 0 ] || fail "the hint came back during the race"
moved=$(differing "$race_start" "$driven")
[ "$moved" -gt $((screen_w * screen_h / 10)) ] ||
    fail "the view hardly changed while the craft was driven ($moved pixels differ)"
[ "$(differing -extract "$clock_area" "$race_start" "$driven")" -gt 0 ] || fail "the race clock did not run"

click "$quit_at"
caption=""
wait_for 30 menu_settled || fail "the race's QUIT did not bring the menu back (caption area: $caption)"
if [ $((caption_width - first_width)) -lt -2 ] || [ $((caption_width - first_width)) -gt 2 ]; then
    fail "the menu came back with another caption: $caption_width pixels wide, not $first_width"
fi

click "$next_at"
# "Secundus" is longer than "Primus".
caption_changed() {
    menu_settled && [ $((caption_width - first_width)) -gt 4 ]
}
wait_for 30 caption_changed || fail "'>>>' did not change the course caption ($caption_width pixels wide, was $first_width)"
second_width=$caption_width

# A race on Secundus, left at once: the next run opens on it.
click "$mid_x $mid_y"
wait_for 20 hint_shown || fail "no race after clicking 'Start a new game' on Secundus"
click "$quit_at"
caption=""
wait_for 30 menu_settled || fail "the race's QUIT on Secundus did not bring the menu back (caption area: $caption)"
# The menu's QUIT waits half a second after a race.
sleep 0.6
click "$quit_at"
wait_for_exit 1 || fail "the game was still running a second after the menu's QUIT"
[ "$ended_with" -eq 0 ] || fail "the game ended with status $ended_with after the menu's QUIT: $(cat "$work/stderr-1.txt")"
check_quiet_start "$work/stderr-1.txt"
# Nothing was won: the records file is not even made; the course raced last is a preference.
[ ! -e "$settings_file" ] || fail "races without a finish wrote the records file: $(cat "$settings_file")"
grep -qx 'last_course=1' "$preferences_file" || fail "the preferences do not keep Secundus: $(cat "$preferences_file" 2>&1)"

# --- Second run: closed through the window manager. ---

start_game "$work/stderr-2.txt"
caption=""
wait_for 30 menu_settled || fail "the menu did not appear on the second start (caption area: $caption)"
if [ $((caption_width - second_width)) -lt -2 ] || [ $((caption_width - second_width)) -gt 2 ]; then
    fail "the second run opened on another course than Secundus, raced last: $caption_width pixels wide, not $second_width"
fi
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
# Alt+F4 asks the window manager to close the focused window, as a user does.
xdotool key --clearmodifiers alt+F4
wait_for_exit 10 || fail "closing the window (Alt+F4 through the window manager) did not end the game"
[ "$ended_with" -eq 0 ] || fail "the game ended with status $ended_with after its window was closed: $(cat "$work/stderr-2.txt")"
check_quiet_start "$work/stderr-2.txt"

# --- Third run: Escape, the keyboard's way to the same two QUITs. ---

start_game "$work/stderr-3.txt"
caption=""
wait_for 30 menu_settled || fail "the menu did not appear on the third start (caption area: $caption)"
click "$mid_x $mid_y"
wait_for 20 hint_shown || fail "no race after clicking 'Start a new game' on the third start"
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
# The arrows drive through the window system's own key events: Up held drives the craft.
xdotool keydown --clearmodifiers Up
key_held=true
wait_for 20 hint_gone || fail "the hint stayed on screen while Up was held"
sleep 2
driven=$(shot)
xdotool keyup Up
key_held=false
moved=$(differing "$race_start" "$driven")
[ "$moved" -gt $((screen_w * screen_h / 10)) ] ||
    fail "the view hardly changed while Up was held ($moved pixels differ)"
# Held past the keyboard's repeat delay, Escape acts once: the race ends, the game goes on.
xdotool keydown --clearmodifiers Escape
sleep 1.5
xdotool keyup Escape
caption=""
wait_for 30 menu_settled || fail "Escape in a race did not bring the menu back (caption area: $caption)"
game_alive || fail "Escape held down in a race ended the game"
xdotool key --clearmodifiers Escape
wait_for_exit 2 || fail "the game was still running after Escape in the menu"
[ "$ended_with" -eq 0 ] || fail "the game ended with status $ended_with after Escape: $(cat "$work/stderr-3.txt")"

# The command line, as desktop programs answer it, without a display.
version=$(DISPLAY= "$exe" --version) || fail "tavrelo --version failed"
[[ "$version" =~ ^tavrelo\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "tavrelo --version printed '$version'"
# Read whole before searching: grep -q leaving early would end the game by SIGPIPE, a failure under pipefail.
help=$(DISPLAY= "$exe" --help) || fail "tavrelo --help failed"
grep -q -- '--version' <<<"$help" || fail "tavrelo --help does not list its options"
help_all=$(DISPLAY= "$exe" --help-all) || fail "tavrelo --help-all failed"
grep -q -- '-platform' <<<"$help_all" || fail "tavrelo --help-all does not list Qt's options"
# Wrong usage is told in one line, with no display to open.
for wrong in --no-such-option "--renderer bogus" "-platform xcb --window extra"; do
    status=0
    # shellcheck disable=SC2086
    env -u DISPLAY -u WAYLAND_DISPLAY "$exe" $wrong 2>"$work/usage.txt" || status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l <"$work/usage.txt")" -eq 1 ] ||
        fail "tavrelo $wrong without a display ended with status $status: $(cat "$work/usage.txt")"
done
status=0
"$exe" --renderer vulkan 2>"$work/renderer.txt" || status=$?
[ "$status" -eq 2 ] && grep -q 'auto, opengl or raster' "$work/renderer.txt" ||
    fail "tavrelo --renderer vulkan ended with status $status: $(cat "$work/renderer.txt")"

echo "PASS: raced, changed course and quit through the window and with Escape; closing the window ends the game cleanly"
