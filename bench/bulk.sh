#!/usr/bin/env bash
# A bulk arrival: an archive of FILES small files (100,000, 100 to a folder) unpacked into a
# folder that a recursive folder association of the running program watches, timed from the start
# of the unpacking until the program reported every copy. Beside it, in the same run, `rsync -a`
# of the unpacked tree to a fresh folder on the same disk followed by `sync`.
#   bulk.sh WORK [FILES]
source "$(dirname "$0")/lib.sh"

work=$1
files=${2:-100000}
home=$work/home
trap stop_started EXIT

archive=$work/tree-$files.tar
if [[ ! -f $archive ]]; then
    rm -rf "$work/make"
    for ((f = 0; f * 100 < files; f++)); do
        mkdir -p "$work/make/tree/d$((f % 10))/f$f"
        (cd "$work/make/tree/d$((f % 10))/f$f" && for ((n = 0; n < 100 && f * 100 + n < files; n++)); do
            printf 'file %d of folder %d\n' "$n" "$f" >"n$n.txt"
        done)
    done
    tar -C "$work/make" -cf "$archive" tree
    rm -rf "$work/make"
fi
rm -rf "$home" "$work/src" "$work/dst" "$work/rsync"
mkdir -p "$work/src/Inbox"
new_home "$home"
echo "$work/src/Inbox" | store_associations "$home/.config" "$(volume_name "$work")" 1 1 "$work/dst"
start_quillmot "$home" bulk
wait_for 60 printed "$home" "watches open" || {
    echo "the program did not open its watches" >&2
    exit 1
}
sync

echo "\$ $QUILLMOT nowin   # a recursive folder association of $work/src/Inbox"
echo "\$ tar -C $work/src/Inbox -xf $archive   # $files files in $(((files + 99) / 100)) folders"
t0=$(now_seconds)
tar -C "$work/src/Inbox" -xf "$archive"
unpacked=$(seconds_since "$t0")
all_copied() { (($(grep -c '  Success' "$home/stdout.txt") >= files)); }
if POLL=0.1 wait_for 1800 all_copied; then quillmot=$(seconds_since "$t0"); else quillmot="over 1800"; fi
copies=$(find "$work/dst" -type f | wc -l)
others=$(grep -vc '  Success\|^Quillmot: ' "$home/stdout.txt" || true)
echo "  unpacked in $unpacked s; all $files reported copied after $quillmot s;" \
    "$copies copies in the destination; $others other results"
sync

echo "\$ rsync -a $work/src/Inbox/ $work/rsync/ && sync"
rsync_time=$(timed eval "rsync -a '$work/src/Inbox/' '$work/rsync/' && sync")
echo "  $rsync_time s"
echo "result: $files files unpacked into a watched folder, all backed up in $quillmot s [<= 60 s]"
awk -v q="$quillmot" -v r="$rsync_time" 'BEGIN { printf "bulk arrival / (rsync -a + sync): %.1f\n", q / r }'
rm -rf "$work/src" "$work/dst" "$work/rsync"
