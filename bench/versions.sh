#!/usr/bin/env bash
# One save of a 256 MiB file to a destination keeping 5 previous versions, every version already
# there (bench_versions, through the copy engine), beside `cp` of the same file followed by an
# fsync of the copy (`sync FILE`), which is the least any safe copy costs.
#   versions.sh WORK [RUNS]
source "$(dirname "$0")/lib.sh"

work=$1
runs=${2:-5}
mkdir -p "$work"
source_file=$work/source.bin
random_file "$source_file" $((256 << 20))

echo "256 MiB random data in $work, 5 versions kept; $runs timed saves after the versions are filled."
show "$BIN/bench_versions" "$source_file" "$work/dest" 5 "$runs" | tee "$work/quillmot.txt"
quillmot=$(awk '/^median/ { print $2 }' "$work/quillmot.txt")

copy_and_sync() { cp -- "$source_file" "$work/cp.bin" && sync -- "$work/cp.bin"; }
times=()
for ((run = 0; run < runs; run++)); do
    rm -f -- "$work/cp.bin"
    times+=("$(timed copy_and_sync)")
done
rm -f -- "$work/cp.bin"
cp_sync=$(printf '%s\n' "${times[@]}" | median)
echo "\$ cp $source_file $work/cp.bin && sync $work/cp.bin"
echo "  median $cp_sync s   (runs: ${times[*]})"
awk -v q="$quillmot" -v c="$cp_sync" 'BEGIN {
    printf "save with 5 versions / (cp + sync):  %.2f\n", q / c }'
