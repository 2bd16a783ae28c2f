#!/usr/bin/env bash
# One destination hung, the other healthy: a folder association with two destinations, one on a
# disk that stops answering, one local. After one save has reached both, the disk is hung and
# SAVES saves follow, 2.5 s apart: each is timed until the local copy holds it. Then SIGTERM, timed
# until the program's own work is over (its main thread ended) and until the process is gone: a
# thread stuck in the kernel keeps the process until the disk answers again.
#   hung.sh sshfs|fsfreeze WORK [SAVES]
#     sshfs     an sshfs share whose sshd (on a loopback port) is stopped with SIGSTOP
#     fsfreeze  a loop-mounted ext4 image frozen with fsfreeze (needs root)
source "$(dirname "$0")/lib.sh"

kind=$1
work=$2
saves=${3:-5}
home=$work/home
rm -rf "$work"
mkdir -p "$work/src/Docs"

hang=() release=() cleanup=()
case $kind in
sshfs)
    share=$work/share
    "$ROOT/tests/support/sshfs-share.sh" mount "$share" || {
        echo "skipped: no sshfs share can be made here"
        exit 0
    }
    hung_disk=$share/mnt
    hang=("$ROOT/tests/support/sshfs-share.sh" stop "$share")
    release=("$ROOT/tests/support/sshfs-share.sh" continue "$share")
    cleanup=("$ROOT/tests/support/sshfs-share.sh" unmount "$share")
    ;;
fsfreeze)
    [[ $(id -u) -eq 0 ]] || {
        echo "skipped: fsfreeze and loop mounts need root"
        exit 0
    }
    mkfs.ext4 -q -F -L QMHUNG "$work/disk.img" 64M
    mkdir -p "$work/disk"
    mount -o loop "$work/disk.img" "$work/disk"
    hung_disk=$work/disk
    hang=(fsfreeze -f "$hung_disk")
    release=(fsfreeze -u "$hung_disk")
    cleanup=(umount -d "$hung_disk")
    ;;
*)
    echo "usage: $0 sshfs|fsfreeze WORK [SAVES]" >&2
    exit 2
    ;;
esac
finish() {
    stop_started
    "${release[@]}" 2>/dev/null || true
    "${cleanup[@]}" 2>/dev/null || true
}
trap finish EXIT

new_home "$home"
echo "$work/src/Docs" | store_associations "$home/.config" "$(volume_name "$work")" 1 1 "$work/local"
crlf "$hung_disk/backup" "$work/src/Docs" "$(volume_name "$hung_disk")" >>"$home/.config/Quillmot/usrdatad"
start_quillmot "$home" "hung-$kind"
wait_for 60 printed "$home" "watches open" || {
    echo "the program did not open its watches" >&2
    exit 1
}
echo first >"$work/src/Docs/a.txt"
wait_for 30 holds "$hung_disk/backup/Docs/a.txt" first || echo "the first save did not reach $hung_disk" >&2

echo "\$ $QUILLMOT nowin   # destinations $work/local and $hung_disk/backup ($kind)"
echo "\$ ${hang[*]}"
"${hang[@]}"
times=()
for ((i = 1; i <= saves; i++)); do
    content="save $i"
    echo "$content" >"$work/src/Docs/a.txt"
    t0=$(now_seconds)
    if wait_for 30 holds "$work/local/Docs/a.txt" "$content"; then
        times+=("$(seconds_since "$t0")")
    else
        times+=(30)
        echo "save $i did not reach $work/local in 30 s" >&2
    fi
    sleep 2.5
done
worst=$(printf '%s\n' "${times[@]}" | sort -g | tail -1)
echo "saves to the local destination: ${times[*]} s"
echo "result: $kind hung, worst save to the healthy destination $worst s [<= 2 s]"

# The program's own end: its main thread is gone (a zombie at most) once the exit is done.
main_ended() {
    local state
    state=$(cut -d' ' -f3 "/proc/$QM_PID/task/$QM_PID/stat" 2>/dev/null)
    [[ -z $state || $state == [ZX] ]]
}
t0=$(now_seconds)
kill -TERM "$QM_PID"
if wait_for 30 main_ended; then ended=$(seconds_since "$t0"); else ended="over 30"; fi
if wait_for 1 eval '! kill -0 '"$QM_PID"' 2>/dev/null'; then gone=$(seconds_since "$t0"); else gone=""; fi
echo "result: $kind hung, SIGTERM to the end of the program's work $ended s [<= 5 s]"
if [[ -n $gone ]]; then
    echo "  the process was gone after $gone s"
else
    echo "  the process stays until the disk answers, held by a thread stuck in the kernel:"
    grep -H . /proc/"$QM_PID"/task/*/wchan 2>/dev/null | sed 's/^/    /' || true
    "${release[@]}"
    release=(true)
    wait_for 30 eval '! kill -0 '"$QM_PID"' 2>/dev/null' && echo "  gone once the disk answered"
fi
wait "$QM_PID" 2>/dev/null
echo "  exit status $?; stores written: $(ls "$home/.config/Quillmot" | tr '\n' ' ')"
STARTED_PIDS=()
