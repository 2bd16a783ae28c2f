#!/usr/bin/env bash
# A bulk arrival: an archive of FILES small files (100,000, 100 to a folder) unpacked into a
# folder that a recursive folder association of the running program watches, timed from the start
# of the unpacking until the program reported every copy. Beside it, in the same run and on the
# same disk, `rsync -a` of the unpacked tree to a fresh folder followed by `sync`.
#   bulk.sh WORK [FILES] [ROUNDS]
# As root, each round runs on a fresh ext4 file system made for it in WORK and loop-mounted: a
# disk that just had hundreds of thousands of files removed makes every new file slow to
# allocate, whoever writes it.
source "$(dirname "$0")/lib.sh"

work=$1
files=${2:-100000}
rounds=${3:-1}
trap 'stop_started; [[ -z ${disk:-} ]] || umount -d "$disk" 2>/dev/null || true' EXIT

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

# fresh_disk: WORK/fs, a new ext4 file system with room for three copies of the tree, when root.
fresh_disk() {
    [[ $(id -u) -eq 0 ]] && command -v mkfs.ext4 >/dev/null || {
        echo "$work"
        return
    }
    disk=$work/fs
    umount -d "$disk" 2>/dev/null || true
    rm -f "$work/fs.img"
    truncate -s $((files / 25 + 512))M "$work/fs.img"
    mkfs.ext4 -q -F -i 4096 -L QMBULK "$work/fs.img"
    mkdir -p "$disk"
    mount -o loop "$work/fs.img" "$disk"
    echo "$disk"
}

quillmot_times=() rsync_times=()
for ((round = 1; round <= rounds; round++)); do
    at=$(fresh_disk)
    [[ $at == "$work" ]] || disk=$at
    home=$at/home
    rm -rf "$home" "$at/src" "$at/dst" "$at/rsync"
    mkdir -p "$at/src/Inbox"
    new_home "$home"
    echo "$at/src/Inbox" | store_associations "$home/.config" "$(volume_name "$at")" 1 1 "$at/dst"
    start_quillmot "$home" bulk
    wait_for 60 printed "$home" "watches open" || {
        echo "the program did not open its watches" >&2
        exit 1
    }
    sync

    echo "\$ $QUILLMOT nowin   # a recursive folder association of $at/src/Inbox ($(stat -f -c %T "$at"), load $(cut -d' ' -f1 /proc/loadavg))"
    echo "\$ tar -C $at/src/Inbox -xf $archive   # $files files in $(((files + 99) / 100)) folders"
    t0=$(now_seconds)
    # The window's thread hands every copy on and hears every result: how long it keeps the user
    # waiting meanwhile, in the first round.
    ((round > 1)) || answers_during "during a bulk arrival of $files files" 8 500
    tar -C "$at/src/Inbox" -xf "$archive"
    unpacked=$(seconds_since "$t0")
    all_copied() { (($(grep -c '  Success' "$home/stdout.txt") >= files)); }
    if POLL=0.1 wait_for 1800 all_copied; then quillmot=$(seconds_since "$t0"); else quillmot="over 1800"; fi
    ((round > 1)) || answers_taken 8 500
    copies=$(find "$at/dst" -type f | wc -l)
    others=$(grep -vc '  Success\|^Quillmot: ' "$home/stdout.txt" || true)
    echo "  unpacked in $unpacked s; all $files reported copied after $quillmot s;" \
        "$copies copies in the destination; $others other results"
    stop_started
    sync

    echo "\$ rsync -a $at/src/Inbox/ $at/rsync/ && sync   # load $(cut -d' ' -f1 /proc/loadavg)"
    rsync_time=$(timed eval "rsync -a '$at/src/Inbox/' '$at/rsync/' && sync")
    echo "  $rsync_time s"
    quillmot_times+=("$quillmot") rsync_times+=("$rsync_time")
    rm -rf "$at/src" "$at/dst" "$at/rsync" "$home"
done
quillmot=$(printf '%s\n' "${quillmot_times[@]}" | median)
rsync_time=$(printf '%s\n' "${rsync_times[@]}" | median)
echo "result: $files files unpacked into a watched folder, all backed up in $quillmot s [<= 60 s]"
awk -v q="$quillmot" -v r="$rsync_time" 'BEGIN { printf "bulk arrival / (rsync -a + sync): %.1f\n", q / r }'
