#!/usr/bin/env bash
# A large save in the running program: a 1 GiB file written into a watched folder (cp of random
# data), timed from the end of the write until the program reported the copy, beside `cp` of the
# same file followed by `sync FILE`. Meanwhile the program's answer time is taken.
#   bigsave.sh WORK [RUNS]
source "$(dirname "$0")/lib.sh"

work=$1
runs=${2:-3}
home=$work/home
mkdir -p "$work"
source_file=$work/source.bin
random_file "$source_file" $((1 << 30))
rm -rf "$home" "$work/src" "$work/dst"
mkdir -p "$work/src/Big"
trap stop_started EXIT

new_home "$home"
echo "$work/src/Big" | store_associations "$home/.config" "$(volume_name "$work")" 1 1 "$work/dst"
start_quillmot "$home" bigsave
wait_for 60 printed "$home" "watches open" || {
    echo "the program did not open its watches" >&2
    exit 1
}
copied() { grep -c '  Success' "$home/stdout.txt" || true; }
all_copied() { (($(copied) >= $1)); }

echo "\$ $QUILLMOT nowin   # a folder association of $work/src/Big"
quillmot=() cp_sync=()
for ((run = 1; run <= runs; run++)); do
    before=$(copied)
    cp -- "$source_file" "$work/src/Big/big.bin"
    t0=$(now_seconds)
    ((run > 1)) || answers_during "during a 1 GiB copy" 8 250
    POLL=0.02 wait_for 300 all_copied $((before + 1)) || echo "no copy after 300 s" >&2
    quillmot+=("$(seconds_since "$t0")")
    ((run > 1)) || answers_taken 8 250
    cmp -s "$source_file" "$work/dst/Big/big.bin" || echo "the copy differs from its source" >&2
    rm -f "$work/cp.bin"
    cp_sync+=("$(timed eval "cp -- '$source_file' '$work/cp.bin' && sync -- '$work/cp.bin'")")
    rm -f "$work/cp.bin"
done
q=$(printf '%s\n' "${quillmot[@]}" | median)
c=$(printf '%s\n' "${cp_sync[@]}" | median)
echo "  save to copy reported: median $q s (runs: ${quillmot[*]}); the settle time is in it"
echo "\$ cp $source_file $work/cp.bin && sync $work/cp.bin"
echo "  median $c s (runs: ${cp_sync[*]})"
awk -v q="$q" -v c="$c" 'BEGIN { printf "1 GiB save in the running program / (cp + sync): %.2f\n", q / c }'
rm -rf "$work/src" "$work/dst"
