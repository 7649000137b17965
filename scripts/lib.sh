# Shared steps of the project's scripts: install what is missing, build, and
# give a headless machine a display. Sourced, not run.

TAVRELO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TAVRELO_BUILD="${TAVRELO_BUILD:-$TAVRELO_ROOT/build}"

say() { printf '%s\n' "$*" >&2; }
die() {
    say "error: $*"
    exit 1
}

# Debian packages the game, its tests and its checks need: both Qt versions,
# since the tests build the game with each, and Wayland for the test there.
TAVRELO_PACKAGES=(cmake g++ make pkg-config qtbase5-dev libqt5opengl5-dev qt6-base-dev libqt6opengl6-dev
    libgl1-mesa-dri fonts-dejavu-core xvfb xauth matchbox-window-manager x11-utils imagemagick xdotool
    desktop-file-utils dpkg-dev libxml2-utils lintian appstream man-db libbenchmark-dev hyperfine clang-14
    libclang-rt-14-dev weston qtwayland5 qt6-wayland qt6-multimedia-dev qtmultimedia5-dev libqt5multimedia5-plugins
    pulseaudio pulseaudio-utils sox)

# Installs the packages named that are not installed yet, as root or through
# sudo; says clearly what to do when neither is possible.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    command -v apt-get >/dev/null || die "apt-get not found: install these packages by hand: ${missing[*]}"
    local run=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
            run=(sudo)
        elif command -v sudo >/dev/null && [ -t 0 ]; then
            run=(sudo)
        else
            die "missing packages (${missing[*]}) and no root rights: run as root, or install them with: sudo apt-get install ${missing[*]}"
        fi
    fi
    say "Installing: ${missing[*]}"
    "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >&2 ||
        die "apt-get update failed; check the network or the package sources"
    "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2 ||
        die "apt-get install failed for: ${missing[*]}"
}

# Configures (once) and builds into $TAVRELO_BUILD; later runs are incremental.
# With no arguments the build uses the default Qt (CMakeLists.txt, TAVRELO_QT).
build_project() {
    local extra=("$@")
    if [ ! -f "$TAVRELO_BUILD/CMakeCache.txt" ] || [ ${#extra[@]} -gt 0 ]; then
        cmake -S "$TAVRELO_ROOT" -B "$TAVRELO_BUILD" -DCMAKE_BUILD_TYPE=Release "${extra[@]}" >&2 ||
            die "cmake configure failed"
    fi
    cmake --build "$TAVRELO_BUILD" -j"$(nproc)" >&2 || die "build failed"
}

# Starts Xvfb and a window manager when there is no display; sets DISPLAY.
# The servers end with the calling script.
TAVRELO_XVFB_PID=""
TAVRELO_WM_PID=""
stop_display() {
    local pid
    for pid in "$TAVRELO_WM_PID" "$TAVRELO_XVFB_PID"; do
        [ -n "$pid" ] && [ "$pid" -gt 0 ] && kill -0 "$pid" 2>/dev/null && kill "$pid"
    done
    TAVRELO_WM_PID=""
    TAVRELO_XVFB_PID=""
}
# A second argument "-extension" starts the server without GLX, as remote displays are.
start_display() {
    local size="${1:-800x480}"
    local glx="${2:-+extension}"
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp "$glx" GLX 3>"$fifo" >/dev/null 2>&1 &
    TAVRELO_XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || die "Xvfb did not start"
    rm -f "$fifo"
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY
    matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
    TAVRELO_WM_PID=$!
    # Full screen needs the window manager to be up before the game starts.
    local i
    for i in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    say "warning: window manager not confirmed on $DISPLAY"
}

# Starts a PulseAudio daemon of the tests' own, on a null sink whose monitor the
# tests record (parec), and points PULSE_SERVER at it: the tests never play on,
# or record from, the user's own sound. As root the daemon runs with a warning.
TAVRELO_PULSE_PID=""
TAVRELO_PULSE_DIR=""
# "keep" leaves the folder for a server started again in it.
stop_sound() {
    local pid=$TAVRELO_PULSE_PID
    if [ -n "$pid" ] && [ "$pid" -gt 0 ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    fi
    [ "${1:-}" = keep ] || [ -z "$TAVRELO_PULSE_DIR" ] || rm -rf "$TAVRELO_PULSE_DIR"
    TAVRELO_PULSE_PID=""
    TAVRELO_PULSE_DIR=""
    unset PULSE_SERVER
}
# A folder given is used again: a server started anew where the last one was.
start_sound() {
    TAVRELO_PULSE_DIR=${1:-$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-pulse.XXXXXX")}
    local dir=$TAVRELO_PULSE_DIR
    # The socket is open to every user: the tests that drop root play through it too.
    mkdir -p "$dir/home" "$dir/public"
    chmod 711 "$dir"
    chmod 755 "$dir/public"
    env HOME="$dir/home" XDG_RUNTIME_DIR="$dir/home" PULSE_RUNTIME_PATH="$dir/home/run" \
        PULSE_STATE_PATH="$dir/home/state" \
        pulseaudio --system=false --daemonize=no --exit-idle-time=-1 -n --realtime=no --high-priority=no \
        --use-pid-file=no --log-target=stderr \
        --load="module-null-sink sink_name=tavrelo_null rate=48000 channels=1" \
        --load="module-native-protocol-unix socket=$dir/public/native auth-anonymous=1" >"$dir/log" 2>&1 &
    TAVRELO_PULSE_PID=$!
    export PULSE_SERVER="unix:$dir/public/native"
    local i
    for i in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    cat "$dir/log" >&2
    die "PulseAudio did not start"
}

have_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
}

# The Qt major version a configured build folder uses.
build_qt_version() {
    sed -n 's/^TAVRELO_QT:[A-Z]*=//p' "$1/CMakeCache.txt"
}
