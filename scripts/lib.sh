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
    pulseaudio pulseaudio-utils libpulse-dev sox libsdl2-dev
    libmicrohttpd-dev libicu-dev libpq-dev libpng-dev libssl-dev libqt6sql6-sqlite libqt6sql6-psql postgresql-15 chromium chromium-driver python3-selenium)

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
    # -noreset: a server that resets when its last client leaves drops a connection made meanwhile, and
    # the window manager, starting while a probe of the root window disconnects, can be that connection.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset "$glx" GLX 3>"$fifo" >/dev/null 2>&1 &
    TAVRELO_XVFB_PID=$!
    local number
    read -r -t 20 number <"$fifo" || die "Xvfb did not start"
    rm -f "$fifo"
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY
    matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
    TAVRELO_WM_PID=$!
    # Full screen needs the window manager to be up before the game starts. On
    # a loaded machine it may take many seconds: wait for it (a minute at
    # most, while it runs), and return non-zero when it did not come up.
    local i
    for i in $(seq 600); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        kill -0 "$TAVRELO_WM_PID" 2>/dev/null || break
        sleep 0.1
    done
    say "warning: window manager not confirmed on $DISPLAY"
    return 1
}

# Starts a PostgreSQL 15 of its own for the board's tests: initdb in a temporary
# folder, run as the postgres user (when root), listening on a unix socket in
# that folder only. Sets TAVRELO_TEST_POSTGRES (a database URL) and
# TAVRELO_TEST_PGDATA, which the tests that restart it use.
TAVRELO_PG_BIN=/usr/lib/postgresql/15/bin
TAVRELO_PG_DIR=""
postgres_as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}
start_postgres() {
    [ -x "$TAVRELO_PG_BIN/initdb" ] || die "PostgreSQL 15 is missing: install postgresql-15"
    TAVRELO_PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-pg.XXXXXX")
    chmod 755 "$TAVRELO_PG_DIR"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$TAVRELO_PG_DIR"
    postgres_as_owner "$TAVRELO_PG_BIN/initdb" -D "$TAVRELO_PG_DIR/data" -A trust -U tavrelo --no-sync \
        >"$TAVRELO_PG_DIR/initdb.log" 2>&1 || die "initdb failed: $(tail -5 "$TAVRELO_PG_DIR/initdb.log")"
    # In its configuration, so that a restart by the tests listens where the first start did.
    printf "unix_socket_directories = '%s'\nlisten_addresses = ''\nmax_connections = 300\n" "$TAVRELO_PG_DIR" |
        postgres_as_owner tee -a "$TAVRELO_PG_DIR/data/postgresql.conf" >/dev/null
    postgres_as_owner "$TAVRELO_PG_BIN/pg_ctl" -D "$TAVRELO_PG_DIR/data" -l "$TAVRELO_PG_DIR/log" -w -t 60 start >/dev/null ||
        die "PostgreSQL did not start: $(tail -5 "$TAVRELO_PG_DIR/log")"
    postgres_as_owner "$TAVRELO_PG_BIN/createdb" -h "$TAVRELO_PG_DIR" -U tavrelo tavrelo ||
        die "createdb failed"
    export TAVRELO_TEST_POSTGRES="postgresql://tavrelo@localhost/tavrelo?host=$TAVRELO_PG_DIR"
    export TAVRELO_TEST_PGDATA="$TAVRELO_PG_DIR/data"
}
# pg_ctl on the PostgreSQL start_postgres started (restart, stop, start).
postgres_ctl() {
    postgres_as_owner "$TAVRELO_PG_BIN/pg_ctl" -D "$TAVRELO_TEST_PGDATA" -l "$TAVRELO_TEST_PGDATA/../log" -w -t 60 "$@" >/dev/null
}
stop_postgres() {
    [ -n "$TAVRELO_PG_DIR" ] || return 0
    postgres_ctl -m immediate stop
    rm -rf "$TAVRELO_PG_DIR"
    TAVRELO_PG_DIR=""
    unset TAVRELO_TEST_POSTGRES TAVRELO_TEST_PGDATA
}

# One HTTP GET through bash's own socket: the status of the answer, or 0.
http_status() {
    local port=$1 path=$2 line=""
    { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null || {
        echo 0
        return
    }
    printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$path" >&3
    read -r -t 10 line <&3
    exec 3<&-
    line=${line#HTTP/1.1 }
    echo "${line%% *}"
}

# The same GET: the status on the first line, then the body; 0 when nothing answers.
http_get() {
    local port=$1 path=$2 reply status
    { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null || {
        echo 0
        return
    }
    printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$path" >&3
    reply=$(timeout 10 cat <&3)
    exec 3<&-
    status=${reply#HTTP/1.1 }
    echo "${status%% *}"
    echo "${reply#*$'\r\n\r\n'}"
}

# Starts tavrelo-board (the program in $1) on a free port of the loopback with
# the other options given, with no rate limit, and waits until it answers;
# sets TAVRELO_BOARD_PORT and TAVRELO_BOARD_PID. Its log goes to $TAVRELO_BOARD_LOG.
# As root it runs as nobody (the board refuses root), with its data folder given to nobody and the folders
# above it, this script's own temporary ones, opened for it to pass.
start_board() {
    local program=$1
    shift
    if [ "$(id -u)" -eq 0 ]; then
        local previous="" argument folder
        for argument in "$@"; do
            if [ "$previous" = --data ]; then
                mkdir -p "$argument" && chown nobody: "$argument"
                folder=$(dirname "$argument")
                while [ "$folder" != / ] && [ "$folder" != . ]; do
                    chmod o+x "$folder"
                    folder=$(dirname "$folder")
                done
            fi
            previous=$argument
        done
        set -- --user nobody "$@"
    fi
    local _attempt _wait
    for _attempt in 1 2 3 4 5; do
        TAVRELO_BOARD_PORT=$((20000 + RANDOM % 20000))
        "$program" --listen "127.0.0.1:$TAVRELO_BOARD_PORT" --rate 0 "$@" 2>>"${TAVRELO_BOARD_LOG:-/dev/null}" &
        TAVRELO_BOARD_PID=$!
        for _wait in $(seq 50); do
            [ "$(http_status "$TAVRELO_BOARD_PORT" /healthz)" = 200 ] && return 0
            kill -0 "$TAVRELO_BOARD_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$TAVRELO_BOARD_PID" 2>/dev/null && kill "$TAVRELO_BOARD_PID"
    done
    return 1
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
