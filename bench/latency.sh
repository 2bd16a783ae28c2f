#!/usr/bin/env bash
# Save-to-copy latency: Quillmot (a file association and a recursive folder association) beside
# inotifywait piped to cp, lsyncd with default.rsync and lsyncd with default.direct (cp), all
# with no added delay, all running at once on their own copies of the same small files.
#   latency.sh WORK [SAVES]
source "$(dirname "$0")/lib.sh"

work=$1
saves=${2:-20}
rm -rf "$work"
src=$work/src dst=$work/dst home=$work/home
trap stop_started EXIT

# Each tool gets a folder holding one file (q-file: the file association's folder) and a folder
# tree of 20 files (q-folder); doc.txt is the file that is saved.
for tool in q i l d; do
    mkdir -p "$src/$tool-file" "$src/$tool-folder/sub"
    echo first >"$src/$tool-file/doc.txt"
    echo first >"$src/$tool-folder/doc.txt"
    for n in 1 2 3 4 5 6 7 8 9; do echo "file $n" >"$src/$tool-folder/f$n.txt"; done
    for n in 1 2 3 4 5 6 7 8 9 10; do echo "file $n" >"$src/$tool-folder/sub/g$n.txt"; done
done

new_home "$home"
config=$home/.config
add_association "$config" "$src/q-file/doc.txt" 0 0
add_destination "$config" "$src/q-file/doc.txt" "$dst/quillmot"
add_association "$config" "$src/q-folder" 1 1
add_destination "$config" "$src/q-folder" "$dst/quillmot"
start_quillmot "$home" latency

mkdir -p "$dst/inotify"
for kind in file folder; do
    cp -r "$src/i-$kind" "$dst/inotify/"
    setsid "$ROOT/bench/inotify_copy.sh" "$src/i-$kind" "$dst/inotify/i-$kind" &
    STARTED_PIDS+=("-$!")
done

cat >"$work/lsyncd.lua" <<EOF
settings { nodaemon = true, insist = true, logfile = "$work/lsyncd.log" }
sync { default.rsync, source = "$src/l-file", target = "$dst/lsyncd-rsync/l-file", delay = 0 }
sync { default.rsync, source = "$src/l-folder", target = "$dst/lsyncd-rsync/l-folder", delay = 0 }
sync { default.direct, source = "$src/d-file", target = "$dst/lsyncd-direct/d-file", delay = 0 }
sync { default.direct, source = "$src/d-folder", target = "$dst/lsyncd-direct/d-folder", delay = 0 }
EOF
mkdir -p "$dst/lsyncd-rsync" "$dst/lsyncd-direct"
lsyncd "$work/lsyncd.lua" >/dev/null 2>&1 &
STARTED_PIDS+=("$!")
# A save made before Quillmot has opened its watches is never seen; let start-up finish.
wait_until_quiet "$QM_PID" 1 30

echo "Tools: $QUILLMOT nowin (one process, both associations); $ROOT/bench/inotify_copy.sh;"
echo "       lsyncd $work/lsyncd.lua (delay = 0)"
echo "Latency = close of the save -> the copy holds the new content. One warm-up save first."
target() { echo "$1=$src/$2/doc.txt:$dst/$3/$2/doc.txt"; }
show "$BIN/bench_latency" "$saves" 1500 \
    "$(target quillmot-file q-file quillmot)" \
    "$(target inotifywait+cp-file i-file inotify)" \
    "$(target lsyncd-rsync-file l-file lsyncd-rsync)" \
    "$(target lsyncd-direct-file d-file lsyncd-direct)" \
    "$(target quillmot-folder q-folder quillmot)" \
    "$(target inotifywait+cp-folder i-folder inotify)" \
    "$(target lsyncd-rsync-folder l-folder lsyncd-rsync)" \
    "$(target lsyncd-direct-folder d-folder lsyncd-direct)"
echo "Quillmot reported $(grep -c 'Success' "$home/stdout.txt" || true) successful copies" \
    "and $(grep -vc 'Success' "$home/stdout.txt" || true) other results."
