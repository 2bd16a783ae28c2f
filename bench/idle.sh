#!/usr/bin/env bash
# Idle cost: Quillmot running hidden with FOLDERS (300) recursive folder associations, each its
# own folder with a sub-folder, and nothing changing. Once start-up has settled, what it takes over
# SECONDS (20) is read from /proc: processor time (utime + stime, and finer, schedstat) and its
# wake-ups (the voluntary context switches of all its threads).
#   idle.sh WORK [FOLDERS] [SECONDS]
source "$(dirname "$0")/lib.sh"

work=$1
folders=${2:-300}
seconds=${3:-20}
rm -rf "$work"
home=$work/home
trap stop_started EXIT

new_home "$home"
for ((i = 0; i < folders; i++)); do
    folder=$work/src/folder$i
    mkdir -p "$folder/sub"
    for n in 1 2 3; do echo "file $n" >"$folder/f$n.txt"; done
    echo "deeper" >"$folder/sub/g.txt"
    echo "$folder"
done | store_associations "$home/.config" "$(volume_name "$work")" 1 1 "$work/dst"
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
    -v w=$((switches1 - switches0)) -v f="$folders" 'BEGIN {
    printf "  utime+stime %d ticks (%.2f s) in %d s = %.3f %% of one core\n", t, t / hz, s, 100 * t / hz / s
    printf "  schedstat on-CPU %.3f s in %d s = %.3f %% of one core\n", ns / 1e9, s, 100 * ns / 1e9 / s
    printf "result: idle with %d watched folders, %.2f wake-ups a second [<= 1 /s]\n", f, w / s }'
