#!/usr/bin/env bash
# Copy throughput of one 1 GiB file on one disk: Quillmot's own copy (bench_copy, which ends with
# fsync and a rename) against `cp`, and against `cp` followed by an fsync of the copy (`sync
# FILE`), which is the same promise Quillmot's copy gives. Runs alternate between the tools and
# start with the page cache dropped (or, where that is refused, with the source read in).
#   copy.sh WORK [RUNS]
source "$(dirname "$0")/lib.sh"

work=$1
runs=${2:-5}
mkdir -p "$work"
source_file=$work/source.bin target=$work/target.bin
random_file "$source_file" $((1 << 30))

if sync && echo 3 2>/dev/null >/proc/sys/vm/drop_caches; then
    cache_note="page cache dropped before each run"
    start_cold() { sync && echo 3 >/proc/sys/vm/drop_caches; }
else
    cache_note="drop_caches refused: source read into the cache before each run"
    start_cold() { sync && cat "$source_file" >/dev/null; }
fi

copy_cp() { cp -- "$source_file" "$target"; }
copy_cp_fsync() { cp -- "$source_file" "$target" && sync -- "$target"; }
copy_quillmot() { "$BIN/bench_copy" "$source_file" "$target"; }
tools=(copy_quillmot copy_cp copy_cp_fsync)
declare -A label=([copy_quillmot]="$BIN/bench_copy $source_file $target"
    [copy_cp]="cp $source_file $target"
    [copy_cp_fsync]="cp $source_file $target && sync $target")
declare -A times

# time_run TOOL: seconds the copy took, from a fresh target and a cold (or equally warm) cache.
time_run() {
    rm -f -- "$target"
    start_cold
    timed "$1"
}

echo "1 GiB random data, source and copy in $work; $cache_note; $runs runs each, order rotated."
# The disk is still settling the freshly written source for a while; the first copy after that
# is slow whichever tool makes it, so it is made once untimed.
time_run copy_cp_fsync >/dev/null
for ((run = 0; run < runs; run++)); do
    for ((k = 0; k < ${#tools[@]}; k++)); do
        tool=${tools[$(((run + k) % ${#tools[@]}))]}
        times[$tool]+="$(time_run "$tool") "
    done
done
rm -f -- "$target"

declare -A med
for tool in "${tools[@]}"; do
    med[$tool]=$(tr ' ' '\n' <<<"${times[$tool]}" | grep . | median)
    best=$(tr ' ' '\n' <<<"${times[$tool]}" | grep . | sort -g | head -1)
    awk -v m="${med[$tool]}" -v b="$best" -v all="${times[$tool]}" -v cmd="${label[$tool]}" \
        'BEGIN { printf "$ %s\n  median %.3f s = %.0f MiB/s, best %.0f MiB/s   (runs: %s)\n",
                 cmd, m, 1024 / m, 1024 / b, all }'
done
awk -v q="${med[copy_quillmot]}" -v c="${med[copy_cp]}" -v f="${med[copy_cp_fsync]}" 'BEGIN {
    printf "throughput ratio Quillmot / cp:              %.2f\n", c / q
    printf "throughput ratio Quillmot / cp + fsync:      %.2f\n", f / q }'
