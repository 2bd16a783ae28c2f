#!/usr/bin/env bash
# Save-to-copy latency in a large recursive folder association: FILES small files spread over
# FOLDERS folders, one file saved deep in the tree. Quillmot beside inotifywait piped to cp and
# lsyncd with default.direct (delay 0), each on its own copy of the same tree, all running at once.
#   latency_tree.sh WORK FILES FOLDERS [SAVES]
source "$(dirname "$0")/lib.sh"

work=$1
files=$2
folders=$3
saves=${4:-5}
rm -rf "$work"
src=$work/src dst=$work/dst home=$work/home
trap stop_started EXIT

# One tree, copied for each tool with its times, so that every tool starts from a destination
# that is already up to date (lsyncd's start-up sync then has nothing to copy).
per_folder=$(((files + folders - 1) / folders))
make_tree() {
    local tree=$1 f n
    for ((f = 0; f < folders; f++)); do
        mkdir -p "$tree/d$((f % 10))/f$f"
        (cd "$tree/d$((f % 10))/f$f" && for ((n = 0; n < per_folder; n++)); do
            printf 'file %d\n' "$n" >"n$n.txt"
        done)
    done
    echo first >"$tree/d9/f$((folders - 1))/doc.txt"
}
make_tree "$src/q-tree"
for tool in i d; do cp -a "$src/q-tree" "$src/$tool-tree"; done
for tool in q i d; do
    mkdir -p "$dst/$tool"
    cp -a "$src/$tool-tree" "$dst/$tool/"
done

new_home "$home"
add_association "$home/.config" "$src/q-tree" 1 1
add_destination "$home/.config" "$src/q-tree" "$dst/q"
start_quillmot "$home" tree
setsid "$ROOT/bench/inotify_copy.sh" "$src/i-tree" "$dst/i/i-tree" &
STARTED_PIDS+=("-$!")
cat >"$work/lsyncd.lua" <<EOF2
settings { nodaemon = true, insist = true, logfile = "$work/lsyncd.log" }
sync { default.direct, source = "$src/d-tree", target = "$dst/d/d-tree", delay = 0 }
EOF2
lsyncd "$work/lsyncd.lua" >/dev/null 2>&1 &
STARTED_PIDS+=("$!")
wait_until_quiet "$QM_PID" 2 120

deep=d9/f$((folders - 1))/doc.txt
echo "Tree: $files files in $folders folders (+ 10 parents); the saved file is $deep"
echo "Tools: $QUILLMOT nowin; $ROOT/bench/inotify_copy.sh; lsyncd $work/lsyncd.lua (delay = 0)"
target() { echo "$1=$src/$2/$deep:$dst/$3/$2/$deep"; }
show "$BIN/bench_latency" "$saves" 1500 \
    "$(target quillmot-tree q-tree q)" \
    "$(target inotifywait+cp-tree i-tree i)" \
    "$(target lsyncd-direct-tree d-tree d)"
echo "Quillmot reported $(grep -c 'Success' "$home/stdout.txt" || true) successful copies" \
    "and $(grep -vc 'Success' "$home/stdout.txt" || true) other results;" \
    "inotify instances: $(find "/proc/$QM_PID/fd" -lname 'anon_inode:inotify' | wc -l)"
