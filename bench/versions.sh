#!/usr/bin/env bash
# One save of a 256 MiB file to a destination keeping 5 previous versions, every version already
# there (bench_versions, through the copy engine), beside `cp` of the same file followed by an
# fsync of the copy (`sync FILE`), which is the least any safe copy costs.
#   versions.sh WORK [RUNS]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build-bench}
source "$ROOT/bench/lib.sh"

work=$1
runs=${2:-5}
mkdir -p "$work"
source_file=$work/source.bin
if [[ $(stat -c %s "$source_file" 2>/dev/null || echo 0) -ne $((256 << 20)) ]]; then
    head -c $((256 << 20)) /dev/urandom >"$source_file"
fi

echo "256 MiB random data in $work, 5 versions kept; $runs timed saves after the versions are filled."
show "$BIN/bench_versions" "$source_file" "$work/dest" 5 "$runs" | tee "$work/quillmot.txt"
quillmot=$(awk '/^median/ { print $2 }' "$work/quillmot.txt")

times=()
for ((run = 0; run < runs; run++)); do
    rm -f -- "$work/cp.bin"
    t0=$(now_seconds)
    cp -- "$source_file" "$work/cp.bin" && sync -- "$work/cp.bin"
    t1=$(now_seconds)
    times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
done
rm -f -- "$work/cp.bin"
cp_sync=$(printf '%s\n' "${times[@]}" | median)
echo "\$ cp $source_file $work/cp.bin && sync $work/cp.bin"
echo "  median $cp_sync s   (runs: ${times[*]})"
awk -v q="$quillmot" -v c="$cp_sync" 'BEGIN {
    printf "save with 5 versions / (cp + sync):  %.2f\n", q / c }'
