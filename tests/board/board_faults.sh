#!/usr/bin/env bash
# The board under load when things go wrong, each case bounded in time:
#   kill      the board killed with SIGKILL under load: after a restart every lap that got a 201 is there
#   disk      its SQLite on a full file system: 507 or 503, no crash, nothing half-written, and on again once freed
#   postgres  two boards on one PostgreSQL that is stopped and started under load: 503 meanwhile, both recover
#             by themselves and neither crashes
#   boards    eight boards on one PostgreSQL under load, four connections each: no error, no lap missing, no
#             more connections than a default PostgreSQL's hundred, /healthz 200 all along
# Exits 77 (skipped) only when what the case needs was not given: a PostgreSQL (scripts/test starts one) or the
# right to mount a small file system.
set -uo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
skip() {
    printf 'SKIP: %s\n' "$*" >&2
    exit 77
}

board_exe=${TAVRELO_BOARD_EXE:?TAVRELO_BOARD_EXE names tavrelo-board}
load_exe=${TAVRELO_BOARD_LOAD_EXE:?TAVRELO_BOARD_LOAD_EXE names board_load}
source "${TAVRELO_SOURCE_DIR:?}/scripts/lib.sh"
case=${1:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-faults.XXXXXX")
boards=()
cleanup() {
    local pid
    for pid in "${boards[@]}"; do
        [ "$pid" -gt 0 ] && kill -0 "$pid" 2>/dev/null && kill "$pid" && wait "$pid"
    done
    mountpoint -q "$work/disk" && umount "$work/disk"
    rm -rf "$work"
}
trap cleanup EXIT

status_of() { http_status "$@"; }

# A board on a free port with the options given; sets port and pid.
start() {
    TAVRELO_BOARD_LOG=$work/board.log start_board "$board_exe" --threads 8 "$@" ||
        fail "the board did not start: $(tail -3 "$work/board.log")"
    port=$TAVRELO_BOARD_PORT pid=$TAVRELO_BOARD_PID
    boards+=("$pid")
}

running() { [ "$1" -gt 0 ] && kill -0 "$1" 2>/dev/null; }

count_of() {
    local count
    count=$(sed -n "s/^answers:.* $1=\([0-9]*\).*/\1/p" "$2")
    echo "${count:-0}"
}

case "$case" in
kill)
    mkdir -p "$work/data"
    start --data "$work/data"
    "$load_exe" --url "http://127.0.0.1:$port" --clients 16 --seconds 5 --laps 40 --seed 11 --ids "$work/ids" \
        >"$work/load.txt" 2>&1 &
    load=$!
    # Killed while new laps are still being stored, a second after the clients start.
    for _ in $(seq 600); do
        grep -q '^started' "$work/load.txt" && break
        sleep 0.1
    done
    sleep 1
    running "$pid" || fail "the board is not running under load"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    wait "$load"
    stored=$(wc -l <"$work/ids")
    [ "$stored" -gt 0 ] || fail "no lap got a 201 before the kill: $(cat "$work/load.txt")"
    start --data "$work/data"
    "$load_exe" --url "http://127.0.0.1:$port" --check "$work/ids" >"$work/check.txt" 2>&1 ||
        fail "laps answered 201 are gone after SIGKILL: $(cat "$work/check.txt")"
    echo "PASS: killed under load with SIGKILL; after the restart all $stored laps answered 201 are there"
    ;;
disk)
    mkdir -p "$work/disk"
    mount -t tmpfs -o size=3m,mode=0700 tmpfs "$work/disk" 2>/dev/null || skip "cannot mount a small tmpfs here"
    start --data "$work/disk"
    "$load_exe" --url "http://127.0.0.1:$port" --clients 4 --seconds 2 --seed 21 --ids "$work/ids" >"$work/before.txt" 2>&1 ||
        fail "the first laps were not stored: $(cat "$work/before.txt")"
    # Every byte left taken, then laps sent that need room.
    dd if=/dev/zero of="$work/disk/filler" bs=16k >/dev/null 2>&1
    "$load_exe" --url "http://127.0.0.1:$port" --clients 8 --seconds 3 --seed 22 --ids "$work/ids" >"$work/full.txt" 2>&1
    full=$(($(count_of 507 "$work/full.txt") + $(count_of 503 "$work/full.txt")))
    [ "$full" -gt 0 ] || fail "no 507 or 503 on a full disk: $(cat "$work/full.txt")"
    # The operator is told: /healthz says why, and the log says it once.
    health=$(http_get "$port" /healthz)
    [ "${health%%$'\n'*}" = 503 ] && [[ "$health" == *"writes fail: the storage is full"* ]] ||
        fail "/healthz on a full disk answered: $health; $(cat "$work/full.txt") $(cat "$work/board.log")"
    [ "$(grep -c 'writes fail' "$work/board.log")" = 1 ] || fail "the log does not say once that writes fail: $(cat "$work/board.log")"
    [ "$(count_of none "$work/full.txt")" = 0 ] || fail "requests went unanswered on a full disk: $(cat "$work/full.txt")"
    running "$pid" || fail "the board ended on a full disk"
    [ "$(status_of "$port" /api/v1/courses/2/laps)" = 200 ] || fail "the standings are not read on a full disk"
    rm -f "$work/disk/filler"
    "$load_exe" --url "http://127.0.0.1:$port" --clients 4 --seconds 2 --seed 23 --ids "$work/ids" >"$work/after.txt" 2>&1 ||
        fail "laps are not stored again once there is room: $(cat "$work/after.txt")"
    [ "$(count_of 507 "$work/after.txt")" = 0 ] || fail "still 507 with room: $(cat "$work/after.txt")"
    [ "$(status_of "$port" /healthz)" = 200 ] || fail "/healthz does not say 200 once there is room again"
    [ "$(grep -c 'writes work again' "$work/board.log")" = 1 ] || fail "the log does not say once that writes work again"
    "$load_exe" --url "http://127.0.0.1:$port" --check "$work/ids" >"$work/check.txt" 2>&1 ||
        fail "laps answered 201 are gone: $(cat "$work/check.txt")"
    kill "$pid"
    wait "$pid"
    # Nothing half-written: the file is sound, and it holds exactly the laps answered 201.
    report=$(/usr/bin/python3 - "$work/disk/board.sqlite" <<'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
print(db.execute("PRAGMA integrity_check").fetchone()[0], db.execute("SELECT COUNT(*) FROM laps").fetchone()[0])
EOF
    )
    [ "$report" = "ok $(sort -u "$work/ids" | wc -l)" ] ||
        fail "after a full disk the database reads '$report', with $(sort -u "$work/ids" | wc -l) laps answered 201"
    echo "PASS: on a full disk $full submissions got 507 or 503 ($(grep ^answers "$work/full.txt")), the board kept answering, and the database is sound with every lap answered 201"
    ;;
postgres)
    [ -n "${TAVRELO_TEST_POSTGRES:-}" ] && [ -n "${TAVRELO_TEST_PGDATA:-}" ] ||
        skip "no PostgreSQL was started (scripts/test starts one and sets TAVRELO_TEST_POSTGRES)"
    socket=${TAVRELO_TEST_POSTGRES##*host=}
    database=board_faults_$$
    "$TAVRELO_PG_BIN/createdb" -h "$socket" -U tavrelo "$database" || fail "createdb failed"
    url="postgresql://tavrelo@localhost/$database?host=$socket"
    start --database "$url"
    first=$pid first_port=$port
    start --database "$url"
    "$load_exe" --url "http://127.0.0.1:$first_port" --url "http://127.0.0.1:$port" --clients 16 --seconds 9 \
        --seed 31 --ids "$work/ids" >"$work/load.txt" 2>&1 &
    load=$!
    # The load races its laps before it sends any: built with a sanitizer on a busy machine that took longer than
    # the whole outage, which then came and went before the first request. The outage starts once it sends.
    for _ in $(seq 1200); do
        grep -q '^started' "$work/load.txt" && break
        running "$load" || break
        sleep 0.1
    done
    grep -q '^started' "$work/load.txt" || fail "the load did not start sending: $(cat "$work/load.txt")"
    sleep 2
    postgres_ctl -m fast stop || fail "PostgreSQL did not stop"
    sleep 1
    down=$(status_of "$port" /healthz)
    sleep 1
    postgres_ctl start || fail "PostgreSQL did not start again"
    wait "$load"
    unavailable=$(count_of 503 "$work/load.txt")
    [ "$down" = 503 ] || fail "/healthz answered $down with PostgreSQL stopped"
    [ "$unavailable" -gt 0 ] || fail "no 503 while PostgreSQL was stopped: $(cat "$work/load.txt")"
    running "$first" && running "$pid" || fail "a board ended when PostgreSQL stopped"
    [ "$(status_of "$first_port" /healthz)" = 200 ] && [ "$(status_of "$port" /healthz)" = 200 ] ||
        fail "the boards did not recover"
    "$load_exe" --url "http://127.0.0.1:$first_port" --url "http://127.0.0.1:$port" --clients 8 --seconds 2 \
        --seed 32 --ids "$work/ids" >"$work/after.txt" 2>&1 || fail "laps are lost after the restart: $(cat "$work/after.txt")"
    errors=$(sed -n 's/^| [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | \([0-9]*\) |.*/\1/p' "$work/after.txt")
    [ "$errors" = 0 ] || fail "errors after PostgreSQL came back: $(cat "$work/after.txt")"
    "$load_exe" --url "http://127.0.0.1:$port" --check "$work/ids" >"$work/check.txt" 2>&1 ||
        fail "laps answered 201 are gone: $(cat "$work/check.txt")"
    echo "PASS: PostgreSQL stopped and started under load: $unavailable answers 503 meanwhile, both boards recovered and kept every lap answered 201"
    ;;
boards)
    [ -n "${TAVRELO_TEST_POSTGRES:-}" ] || skip "no PostgreSQL was started (scripts/test starts one and sets TAVRELO_TEST_POSTGRES)"
    socket=${TAVRELO_TEST_POSTGRES##*host=}
    database=board_eight_$$
    "$TAVRELO_PG_BIN/createdb" -h "$socket" -U tavrelo "$database" || fail "createdb failed"
    url="postgresql://tavrelo@localhost/$database?host=$socket"
    urls=()
    ports=()
    for _ in $(seq 8); do
        start --database "$url" --db-connections 4
        urls+=(--url "http://127.0.0.1:$port")
        ports+=("$port")
    done
    "$load_exe" "${urls[@]}" --clients 64 --seconds 8 --seed 41 --ids "$work/ids" >"$work/load.txt" 2>&1 &
    load=$!
    peak=0
    unhealthy=0
    seen=""
    while running "$load"; do
        count=$("$TAVRELO_PG_BIN/psql" -h "$socket" -U tavrelo -d "$database" -Atc \
            "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '$database' AND application_name <> 'psql'
             AND backend_type = 'client backend'" \
            2>/dev/null || echo 0)
        if [ "$count" -gt "$peak" ]; then
            peak=$count
            # What made the peak, should it be too high.
            "$TAVRELO_PG_BIN/psql" -h "$socket" -U tavrelo -d "$database" -Atc \
                "SELECT backend_type, application_name, state, COUNT(*) FROM pg_stat_activity
                 WHERE datname = '$database' GROUP BY 1, 2, 3" >"$work/peak.txt" 2>&1 || true
        fi
        for p in "${ports[@]}"; do
            # An answer other than 200 is a fault; none within status_of's 10 s is a machine too busy to say.
            health=$(status_of "$p" /healthz)
            case "$health" in
            200) ;;
            0 | "") seen="$seen (no answer in 10 s)" ;;
            *) unhealthy=$((unhealthy + 1)) && seen="$seen $health" ;;
            esac
        done
        sleep 0.5
    done
    wait "$load" || fail "laps answered 201 are missing: $(cat "$work/load.txt")"
    errors=$(sed -n 's/^| [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | [^|]* | \([0-9]*\) |.*/\1/p' "$work/load.txt")
    [ "$errors" = 0 ] || fail "errors under load with eight boards: $(cat "$work/load.txt")"
    # Eight boards of four connections each: within a default PostgreSQL's 100. This script's own looks are not
    # counted: on a busy machine the backend of the look before may not have left yet. Nor are the server's own
    # workers: an autovacuum worker shows under the database it cleans, and the load gives it rows to clean.
    [ "$peak" -le 32 ] || fail "$peak connections to the database at the peak, past eight boards' 32:" \
        "$(tr '\n' ' ' <"$work/peak.txt")"
    [ "$unhealthy" = 0 ] || fail "/healthz answered other than 200 $unhealthy times under load:$seen"
    for p in "${ports[@]}"; do
        [ "$(status_of "$p" /healthz)" = 200 ] || fail "/healthz not 200 after the load"
    done
    echo "PASS: eight boards on one PostgreSQL: $(grep '^answers' "$work/load.txt"), at most $peak connections, /healthz 200 all along"
    ;;
*)
    fail "usage: board_faults.sh kill|disk|postgres|boards"
    ;;
esac
