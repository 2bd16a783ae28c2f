#!/usr/bin/env bash
# Idle cost: Quillmot running hidden with 100 recursive folder associations, each its own folder
# with a sub-folder, and nothing changing. Once start-up has settled, the processor time it takes
# over a minute is read from /proc/PID/stat (utime + stime) and, finer, /proc/PID/schedstat.
#   idle.sh WORK [FOLDERS] [SECONDS]
source "$(dirname "$0")/lib.sh"

work=$1
folders=${2:-100}
seconds=${3:-60}
rm -rf "$work"
home=$work/home
trap stop_started EXIT

new_home "$home"
for ((i = 0; i < folders; i++)); do
    folder=$work/src/folder$i
    mkdir -p "$folder/sub"
    for n in 1 2 3; do echo "file $n" >"$folder/f$n.txt"; done
    echo "deeper" >"$folder/sub/g.txt"
    add_association "$home/.config" "$folder" 1 1
    add_destination "$home/.config" "$folder" "$work/dst"
done
start_quillmot "$home" idle
pid=$QM_PID
wait_until_quiet "$pid" 5 60
watches=$(find "/proc/$pid/fd" -lname 'anon_inode:inotify' 2>/dev/null | wc -l)
ticks_per_second=$(getconf CLK_TCK)

ticks0=$(cpu_ticks "$pid") ns0=$(on_cpu_ns "$pid")
switches0=$(wake_ups "$pid") threads=$(find "/proc/$pid/task" -mindepth 1 -maxdepth 1 | wc -l)
echo "\$ $QUILLMOT nowin   # $folders folder associations, $watches inotify instances, $threads threads"
echo "\$ sleep $seconds   # between two reads of /proc/$pid/stat and /proc/$pid/task/*/schedstat"
sleep "$seconds"
ticks1=$(cpu_ticks "$pid") ns1=$(on_cpu_ns "$pid")
switches1=$(wake_ups "$pid")

awk -v t=$((ticks1 - ticks0)) -v hz="$ticks_per_second" -v ns=$((ns1 - ns0)) -v s="$seconds" \
    -v w=$((switches1 - switches0)) 'BEGIN {
    printf "  utime+stime %d ticks (%.2f s) in %d s = %.3f %% of one core\n", t, t / hz, s, 100 * t / hz / s
    printf "  schedstat on-CPU %.3f s in %d s = %.3f %% of one core\n", ns / 1e9, s, 100 * ns / 1e9 / s
    printf "  %.1f wake-ups per second (voluntary context switches, all threads)\n", w / s }'
