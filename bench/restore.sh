#!/usr/bin/env bash
# Restores: listing one file's copies and the restore window on 20,000 files (bench_restore), then
# a folder restore of those 20,000 files beside `cp -a` of the same backed-up tree and `cp -a`
# followed by a flush of the disk (which a restore does before it reports the files restored),
# the three taking turns run by run so that a change in the machine's load falls on all of them.
#   restore.sh WORK [RUNS]
source "$(dirname "$0")/lib.sh"

work=$1
runs=${2:-5}
mkdir -p "$work"
show "$BIN/bench_restore" "$work" "$runs" window

restore_once() {
    "$BIN/bench_restore" "$work" 1 folder | awk '/^folder restore of/ { print $(NF - 1) }'
}
cp_only() { cp -a -- "$work/tree/d1/src" "$work/cp"; }
cp_sync() { cp -a -- "$work/tree/d1/src" "$work/cp" && sync -f -- "$work/cp"; }
ours=() plain=() synced=()
for ((run = 0; run < runs; run++)); do
    ours+=("$(restore_once)")
    rm -rf -- "$work/cp"
    plain+=("$(timed cp_only)")
    rm -rf -- "$work/cp"
    synced+=("$(timed cp_sync)")
    rm -rf -- "$work/cp"
done
restore=$(printf '%s\n' "${ours[@]}" | median)
cp_median=$(printf '%s\n' "${plain[@]}" | median)
cp_sync_median=$(printf '%s\n' "${synced[@]}" | median)
echo "\$ $BIN/bench_restore $work 1 folder   # listing and restore, in turn with the two below"
echo "  median $restore s   (runs: ${ours[*]})"
echo "\$ cp -a $work/tree/d1/src $work/cp"
echo "  median $cp_median s   (runs: ${plain[*]})"
echo "\$ cp -a $work/tree/d1/src $work/cp && sync -f $work/cp"
echo "  median $cp_sync_median s   (runs: ${synced[*]})"
awk -v r="$restore" -v c="$cp_median" -v s="$cp_sync_median" 'BEGIN {
    printf "folder restore throughput / cp -a:  %.2f [>= 0.8]\n", c / r
    printf "folder restore throughput / (cp -a + sync):  %.2f\n", s / r }'
