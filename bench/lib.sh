# shellcheck shell=bash
# Pieces shared by the benchmark drivers; sourced by them, not run. BUILD (the release build
# folder) may be set by the caller; it defaults to build-bench in the repository.

set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
BIN=$BUILD/bench
QUILLMOT=$BUILD/quillmot
STARTED_PIDS=()

# Prints a command the way a reader would type it, then runs it.
show() {
    echo "\$ $*"
    "$@"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

now_seconds() { echo "${EPOCHREALTIME/,/.}"; }

# timed COMMAND...: runs it and prints the seconds it took, to the millisecond.
timed() {
    local t0 t1
    t0=$(now_seconds)
    "$@"
    t1=$(now_seconds)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

# random_file PATH BYTES: makes PATH hold BYTES random bytes, unless it has that size already.
random_file() {
    if [[ $(stat -c %s "$1" 2>/dev/null || echo 0) -ne $2 ]]; then
        head -c "$2" /dev/urandom >"$1"
    fi
}

# --- Quillmot's store files (usrdatab: 13 lines per association, usrdatad: 3 per destination)

crlf() { printf '%s\r\n' "$@"; }

# The association's accepted source volumes: the drive's name, or two NULs for no name.
volume_list_line() {
    if [[ -z $1 ]]; then printf '\0\0\r\n'; else crlf "$1"; fi
}

# add_association CONFIG SOURCE FOLDER(1/0) RECURSIVE(1/0): enabled, no previous versions.
add_association() {
    local config=$1 source=$2 folder=$3 recursive=$4 volume created
    volume=$("$BIN/bench_volume" "$source")
    created=$(date '+%-d %b %Y %H:%M:%S')
    {
        crlf "$source"
        volume_list_line "$volume"
        crlf "$created" Never Never "$folder" 1 0 0 "$recursive" 0 0 0
    } >>"$config/Quillmot/usrdatab"
}

# add_destination CONFIG SOURCE DESTINATION
add_destination() {
    local config=$1 source=$2 dest=$3
    mkdir -p "$dest"
    crlf "$dest" "$source" "$("$BIN/bench_volume" "$dest")" >>"$config/Quillmot/usrdatad"
}

# new_home DIR: an empty home with an empty Quillmot configuration folder.
new_home() {
    mkdir -p "$1/.config/Quillmot"
    : >"$1/.config/Quillmot/usrdatab"
    : >"$1/.config/Quillmot/usrdatad"
}

# start_quillmot HOME NAME: runs the program hidden on the offscreen platform; sets QM_PID, and
# QM_SOCKET to its single-instance socket (where bench_answer asks it).
start_quillmot() {
    local home=$1 name=$2
    mkdir -p -m 700 "$home/.run"
    QM_SOCKET=$home/.run/quillmot-bench-$$-$name
    (cd "$home" && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$home/.config" HOME="$home" \
        XDG_RUNTIME_DIR="$home/.run" QUILLMOT_INSTANCE_NAME="${QM_SOCKET##*/}" \
        exec "$QUILLMOT" nowin >"$home/stdout.txt" 2>"$home/stderr.txt") &
    QM_PID=$!
    STARTED_PIDS+=("$QM_PID")
}

# seconds_since T0: seconds from T0 (a now_seconds reading) until now, to the millisecond.
seconds_since() { awk -v a="$1" -v b="$(now_seconds)" 'BEGIN { printf "%.3f", b - a }'; }

# wait_for LIMIT COMMAND...: runs COMMAND every POLL seconds (0.005) until it succeeds (true) or
# LIMIT seconds have passed (false).
wait_for() {
    local limit=$1 t0
    shift
    t0=$(now_seconds)
    until "$@"; do
        awk -v a="$t0" -v b="$(now_seconds)" -v l="$limit" 'BEGIN { exit !(b - a < l) }' ||
            return 1
        sleep "${POLL:-0.005}"
    done
}

# printed HOME TEXT: the program started in HOME has printed TEXT.
printed() { grep -qF -- "$2" "$1/stdout.txt" 2>/dev/null; }

# holds FILE CONTENT: FILE exists and holds exactly CONTENT (and a line end).
holds() { [[ -f $1 && $(<"$1") == "$2" ]]; }

# answers_during LABEL [SAMPLES] [GAP_MS]: starts asking the program of QM_SOCKET for its answer
# time in the background; answers_taken prints what it found.
answers_during() {
    "$BIN/bench_answer" "$QM_SOCKET" "${2:-8}" "${3:-250}" "$1" >"$QM_SOCKET.answers" 2>&1 &
    ANSWER_PID=$!
}
answers_taken() {
    wait "$ANSWER_PID" || true
    echo "\$ $BIN/bench_answer $QM_SOCKET ${1:-8} ${2:-250}   # meanwhile, in the background"
    sed 's/^/  /' "$QM_SOCKET.answers"
}

# stop_timed PID: sends SIGTERM and prints the seconds until the process ended (it is killed
# after 60 s, and the figure then says so).
stop_timed() {
    local pid=$1 t0
    t0=$(now_seconds)
    kill -TERM "$pid" 2>/dev/null || true
    if ! wait_for 60 eval '! kill -0 '"$pid"' 2>/dev/null'; then
        kill -KILL "$pid" 2>/dev/null || true
        printf 'not ended after 60 s: killed'
        return
    fi
    wait "$pid" 2>/dev/null || true
    seconds_since "$t0"
}

# volume_name PATH: the volume name Quillmot sees for the disk holding PATH.
volume_name() { "$BIN/bench_volume" "$1"; }

# store_associations CONFIG VOLUME FOLDER(1/0) RECURSIVE(1/0) DEST < SOURCES: one enabled
# association per source path read, each with the destination DEST, written in one go (a
# process per association would take minutes for 100,000).
store_associations() {
    local config=$1 volume=$2 folder=$3 recursive=$4 dest=$5 created dest_volume
    created=$(date '+%-d %b %Y %H:%M:%S')
    dest_volume=$(volume_name "$dest")
    mkdir -p "$dest"
    awk -v vol="$volume" -v created="$created" -v folder="$folder" -v rec="$recursive" \
        -v dest="$dest" -v dvol="$dest_volume" -v b="$config/Quillmot/usrdatab" \
        -v d="$config/Quillmot/usrdatad" 'BEGIN { ORS = "\r\n" }
        {
            print $0 > b
            if (vol == "") printf "%c%c\r\n", 0, 0 > b; else print vol > b
            print created > b; print "Never" > b; print "Never" > b; print folder > b
            print 1 > b; print 0 > b; print 0 > b; print rec > b; print 0 > b; print 0 > b
            print 0 > b
            print dest > d; print $0 > d; print dvol > d
        }'
}

# Stops what this driver started: SIGTERM to each process, or to the process group of one that
# was started in its own session (given as -PGID).
stop_started() {
    local id
    for id in "${STARTED_PIDS[@]}"; do
        kill -TERM -- "$id" 2>/dev/null || true
    done
    for id in "${STARTED_PIDS[@]}"; do
        [[ $id == -* ]] || wait "$id" 2>/dev/null || true
    done
    STARTED_PIDS=()
}

# cpu_ticks PID: utime + stime from /proc/PID/stat, in clock ticks.
cpu_ticks() {
    local stat
    stat=$(<"/proc/$1/stat")
    stat=${stat##*) } # the name in parentheses may hold spaces
    awk '{ print $12 + $13 }' <<<"$stat"
}

# on_cpu_ns PID: time on a processor of all its threads from schedstat, in nanoseconds (finer
# than ticks).
on_cpu_ns() { cat "/proc/$1"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }

# wake_ups PID: voluntary context switches of all its threads.
wake_ups() { cat "/proc/$1"/task/*/status | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }

# wait_until_quiet PID [MIN] [LIMIT]: at least MIN seconds, then until a whole second passes with
# at most one clock tick of CPU use (start-up done, only the idle timer left).
wait_until_quiet() {
    local pid=$1 min=${2:-5} limit=${3:-60} before after waited=0
    sleep "$min"
    before=$(cpu_ticks "$pid")
    while ((waited < limit)); do
        sleep 1
        ((waited += 1))
        after=$(cpu_ticks "$pid")
        ((after - before <= 1)) && return 0
        before=$after
    done
}
