#!/usr/bin/env bash
# Many folders saved at once: FOLDERS recursive folder associations, all backed up into one
# destination folder, one file saved in each of them as fast as a shell can, in the running
# program. Timed from the first save until every copy is reported; beside it, in the same run,
# one file saved in one of those folders alone. Meanwhile the program's answer time is taken.
#   burst.sh WORK [FOLDERS] [ROUNDS]
source "$(dirname "$0")/lib.sh"

work=$1
folders=${2:-300}
rounds=${3:-3}
rm -rf "$work"
home=$work/home
trap stop_started EXIT

new_home "$home"
for ((i = 0; i < folders; i++)); do
    mkdir -p "$work/src/f$i"
    echo "$work/src/f$i"
done | store_associations "$home/.config" "$(volume_name "$work")" 1 1 "$work/dst"
start_quillmot "$home" burst
wait_for 120 printed "$home" "watches open" || {
    echo "the program did not open its watches" >&2
    exit 1
}

copied() { grep -c '  Success' "$home/stdout.txt" || true; }
all_copied() { (($(copied) >= $1)); }

# save_in COUNT ROUND: saves ROUND's content in the first COUNT folders; prints the seconds from
# the first save until the program reported each copy.
save_in() {
    local count=$1 round=$2 before t0 i
    before=$(copied)
    t0=$(now_seconds)
    for ((i = 0; i < count; i++)); do
        echo "round $round" >"$work/src/f$i/saved.txt"
    done
    wait_for 60 all_copied $((before + count)) || echo "not all copied after 60 s: " >&2
    seconds_since "$t0"
}

echo "\$ $QUILLMOT nowin   # $folders recursive folder associations, one destination folder"
alone=() together=()
for ((round = 1; round <= rounds; round++)); do
    alone+=("$(save_in 1 "$round-alone")")
    ((round > 1)) || answers_during "during a burst of $folders saves" 8 100
    together+=("$(save_in "$folders" "$round")")
    ((round > 1)) || answers_taken 8 100
done
for ((i = 0; i < folders; i++)); do
    holds "$work/dst/f$i/saved.txt" "round $rounds" || {
        echo "f$i: the copy does not hold the last save" >&2
        exit 1
    }
done
median_alone=$(printf '%s\n' "${alone[@]}" | median)
median_together=$(printf '%s\n' "${together[@]}" | median)
echo "one folder saved:         median $median_alone s   (rounds: ${alone[*]})"
echo "$folders folders saved at once: median $median_together s   (rounds: ${together[*]})"
awk -v a="$median_alone" -v t="$median_together" -v n="$folders" 'BEGIN {
    printf "burst / single: %.2f\n", t / a
    printf "result: %d folders saved at once, all copied in %.2f s [<= 3 s]\n", n, t }'
