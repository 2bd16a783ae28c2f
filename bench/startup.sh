#!/usr/bin/env bash
# The running program at start-up, measured from outside:
#   startup.sh catchup WORK [FILES]        a folder association of FILES small files (50,000)
#       whose destination is empty, so that the start-up catch-up copies every one;
#   startup.sh many WORK [ASSOCIATIONS]    ASSOCIATIONS file associations (100,000), 100 to a
#       folder, all up to date: when the watches are open, whether a save made 5 s later is
#       copied, and how soon SIGTERM ends the program.
# Both take the program's answer time from the moment it is started.
source "$(dirname "$0")/lib.sh"

kind=$1
work=$2
# Answer samples 250 ms apart from the moment of the start: 40 cover the start of 100,000
# associations and the seconds after it, not only its first two.
ANSWER_SAMPLES=${ANSWER_SAMPLES:-40}
home=$work/home
trap stop_started EXIT

# make_files ROOT COUNT PER_FOLDER: COUNT small files, PER_FOLDER to a folder, made once.
make_files() {
    local root=$1 count=$2 per=$3 f n
    [[ -f $root.made-$count ]] && return
    rm -rf "$root"
    for ((f = 0; f * per < count; f++)); do
        mkdir -p "$root/d$((f % 10))/f$f"
        (cd "$root/d$((f % 10))/f$f" && for ((n = 0; n < per && f * per + n < count; n++)); do
            printf 'file %d\n' "$n" >"n$n.txt"
        done)
    done
    touch "$root.made-$count"
}

# start_timed NAME: starts the program in $home; sets OPENED to the seconds until its watches
# were open.
start_timed() {
    local t0
    t0=$(now_seconds)
    start_quillmot "$home" "$1"
    answers_during "during the start ($1)" "$ANSWER_SAMPLES" 250
    wait_for 600 printed "$home" "watches open" || echo "watches not open after 600 s" >&2
    OPENED=$(seconds_since "$t0")
    # On a shared machine the wall time is also the others' load; the processor time is its own.
    OPENED_CPU=$(awk -v t="$(cpu_ticks "$QM_PID")" -v hz="$(getconf CLK_TCK)" \
        'BEGIN { printf "%.2f", t / hz }')
}

catchup() {
    local files=${1:-50000} t0 done_at
    make_files "$work/src" "$files" 100
    rm -rf "$home" "$work/dst"
    new_home "$home"
    echo "$work/src" | store_associations "$home/.config" "$(volume_name "$work")" 1 1 "$work/dst"
    echo "\$ $QUILLMOT nowin   # one folder association of $files files, its destination empty"
    t0=$(now_seconds)
    start_timed catchup
    caught_up() { (($(grep -c '  Success' "$home/stdout.txt") >= files)); }
    POLL=0.1 wait_for 1200 caught_up || echo "catch-up not done after 1200 s" >&2
    done_at=$(seconds_since "$t0")
    answers_taken "$ANSWER_SAMPLES" 250
    echo "watches open after $OPENED s ($OPENED_CPU s of processor time);" \
        "every file copied $done_at s after the start"
    echo "copies in the destination: $(find "$work/dst" -type f | wc -l) of $files"
    echo "result: catch-up of $files new files at start-up, copied in $done_at s"
}

many() {
    local count=${1:-100000} saved stopped rss content file folder
    if [[ ! -f $work/store.made-$count ]]; then
        make_files "$work/src" "$count" 100
        rm -rf "$work/config"
        new_home "$work/config"
        find "$work/src" -type f | sort |
            store_associations "$work/config/.config" "$(volume_name "$work")" 0 0 "$work/dst"
        # Every association up to date: a file's copy lies in the folder named as its own.
        mkdir -p "$work/dst-ready"
        for folder in "$work"/src/d*/f*; do cp -a "$folder" "$work/dst-ready/"; done
        touch "$work/store.made-$count"
    fi
    rm -rf "$home" "$work/dst"
    cp -a "$work/config" "$home"
    cp -a "$work/dst-ready" "$work/dst"
    echo "\$ $QUILLMOT nowin   # $count file associations in $((count / 100)) folders, up to date"
    start_timed many
    answers_taken "$ANSWER_SAMPLES" 250
    rss=$(awk '/^VmRSS/ { printf "%.0f", $2 / 1024 }' "/proc/$QM_PID/status")
    echo "result: $count associations, watches open after $OPENED s [<= 5 s];" \
        "$OPENED_CPU s of processor time; resident $rss MiB"
    sleep 5
    file=$(find "$work/src/d9" -type f -print -quit)
    content="saved at $(now_seconds)"
    echo "$content" >"$file"
    local t0
    t0=$(now_seconds)
    if wait_for 60 holds "$work/dst/$(basename "$(dirname "$file")")/${file##*/}" "$content"; then
        saved=$(seconds_since "$t0")
    else
        saved="none in 60"
    fi
    echo "result: a save 5 s after the watches opened, copied in $saved s [<= 2 s]"
    stopped=$(stop_timed "$QM_PID")
    echo "result: SIGTERM to the end of the program, $stopped s [<= 5 s]"
}

case $kind in
catchup) catchup "${3:-}" ;;
many) many "${3:-}" ;;
*)
    echo "usage: $0 catchup|many WORK [COUNT]" >&2
    exit 2
    ;;
esac
