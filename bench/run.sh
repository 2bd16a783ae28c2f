#!/usr/bin/env bash
# Builds Quillmot in release mode in build-bench and runs its benchmarks, printing every figure
# under the command that produced it, then a summary against the targets.
#   bench/run.sh [NAME...]   (all when none is named; the names are listed under "case" below)
# QUILLMOT_BENCH_DIR sets the scratch folder (default build-bench/bench-work); it must be on the
# disk under test, so not on a tmpfs. Needs about 3 GiB there. QUILLMOT_BENCH_BUILD names a build
# folder to use as it is configured instead of build-bench (its programs and benchmarks are
# built there). Run as root to drop the page cache between copy runs, to freeze a loop-mounted
# disk and to install the tools compared against when missing.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD=${QUILLMOT_BENCH_BUILD:-$ROOT/build-bench}
BUILD=$(cd "$ROOT" && mkdir -p "$BUILD" && cd "$BUILD" && pwd)
WORK=${QUILLMOT_BENCH_DIR:-$BUILD/bench-work}
cd "$ROOT"
all=(latency tree20k tree100k scan catchup copy versions tree idle burst layout bigsave startcatchup
    many bulk hung-sshfs hung-fsfreeze restore)
selected=("$@")
((${#selected[@]})) || selected=("${all[@]}")

install_missing_tools() {
    local missing=() tool
    for tool in inotifywait:inotify-tools lsyncd:lsyncd rsync:rsync; do
        command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
    done
    ((${#missing[@]})) || return 0
    echo "Installing the tools compared against: ${missing[*]}"
    local sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

section() { printf '\n== %s\n' "$*"; }

install_missing_tools
mkdir -p "$WORK"
if [[ -z ${QUILLMOT_BENCH_BUILD:-} ]]; then
    section "Build (release)"
    echo "\$ cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMOT_TESTS=OFF"
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMOT_TESTS=OFF >/dev/null
else
    section "Build ($BUILD as configured: $(grep -m1 '^CMAKE_BUILD_TYPE' "$BUILD/CMakeCache.txt"))"
fi
targets=(quillmot $(cd bench && ls bench_*.cpp | sed 's/\.cpp$//'))
echo "\$ cmake --build $BUILD --target ${targets[*]}"
if ! cmake --build "$BUILD" --target "${targets[@]}" >"$WORK/build.log" 2>&1; then
    cat "$WORK/build.log"
    exit 1
fi
tail -1 "$WORK/build.log"
echo "Machine: $(nproc) cores, $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg);" \
    "commit $(git rev-parse --short HEAD 2>/dev/null || echo '?')$([[ -z $(git status --porcelain 2>/dev/null) ]] || echo ' + uncommitted files');" \
    "scratch $WORK ($(stat -f -c %T "$WORK"))"

log=$WORK/run.log
: >"$log"
for bench in "${selected[@]}"; do
    case $bench in
    latency)
        section "1. Save-to-copy latency, 20 saves each"
        cmd=(bench/latency.sh "$WORK/latency" 20)
        ;;
    tree20k)
        section "1b. Save-to-copy latency in a folder tree of 20,000 files in 200 folders"
        cmd=(bench/latency_tree.sh "$WORK/tree" 20000 200 5)
        ;;
    tree100k)
        section "1c. Save-to-copy latency in a folder tree of 100,000 files in 1,000 folders"
        cmd=(bench/latency_tree.sh "$WORK/tree" 100000 1000 5)
        ;;
    scan)
        section "2. Walk for lost events over 10,000 files in 100 folders (visit only, nothing copied)"
        cmd=("$BUILD/bench/bench_scan" "$WORK/scan/tree" "$WORK/scan/copies" 10000 100 3)
        ;;
    catchup)
        section "3. Catch-up over 100,000 unchanged files in 1,000 folders (compared, none copied)"
        cmd=("$BUILD/bench/bench_catchup" "$WORK/catchup/tree" "$WORK/catchup/copies" 100000 1000 1)
        ;;
    copy)
        section "4. Copying one 1 GiB file"
        cmd=(bench/copy.sh "$WORK/copy" 5)
        ;;
    versions)
        section "5. One save of a 256 MiB file with 5 previous versions kept"
        cmd=(bench/versions.sh "$WORK/versions" 5)
        ;;
    tree)
        section "6. Main window with 10,000 associations in 500 folders"
        cmd=("$BUILD/bench/bench_tree" "$WORK/maintree" 10000 500 5)
        ;;
    idle)
        section "7. Idle with 300 watched folders"
        cmd=(bench/idle.sh "$WORK/idle" 300 20)
        ;;
    burst)
        section "8. One file saved in each of 300 folder associations at once, beside one alone"
        cmd=(bench/burst.sh "$WORK/burst" 300 3)
        ;;
    bigsave)
        section "9. A 1 GiB file saved into a watched folder of the running program"
        cmd=(bench/bigsave.sh "$WORK/copy" 3)
        ;;
    startcatchup)
        section "10. Start-up catch-up of 50,000 new files"
        cmd=(bench/startup.sh catchup "$WORK/startcatchup" 50000)
        ;;
    many)
        section "11. Start with 100,000 file associations"
        cmd=(bench/startup.sh many "$WORK/many" 100000)
        ;;
    bulk)
        section "12. 100,000 small files unpacked into a watched folder"
        cmd=(bench/bulk.sh "$WORK/bulk" 100000)
        ;;
    hung-sshfs | hung-fsfreeze)
        section "13. One of two destinations hung: ${bench#hung-}"
        cmd=(bench/hung.sh "${bench#hung-}" "$WORK/$bench" 5)
        ;;
    layout)
        section "14. Finding the copies and versions in the destinations, and the owner check of a copy"
        cmd=("$BUILD/bench/bench_layout" "$WORK/layout" 9)
        ;;
    restore)
        section "15. Restores: one file's copies listed, the restore window on 20,000 files, a folder restore"
        cmd=(bench/restore.sh "$WORK/restore" 5)
        ;;
    *)
        echo "unknown benchmark: $bench (${all[*]})" >&2
        exit 2
        ;;
    esac
    echo "\$ ${cmd[*]}"
    "${cmd[@]}" 2>&1 | tee -a "$log" || echo "(ended with status ${PIPESTATUS[0]})"
done
rm -rf "$WORK/copy" "$WORK/versions" "$WORK/tree" "$WORK/many" "$WORK/bulk" "$WORK/restore" # large files, trees

section "Summary (medians; targets in brackets)"
awk -f bench/summary.awk "$log"
