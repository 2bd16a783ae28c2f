# Reads the benchmark drivers' output and prints the figures that have targets, with the ratios
# to the tools compared against.

# bench_latency's table: name saves median p10 p90 max missed
/^Tree: / { tree = $2 }
$1 ~ /-tree$/ && $3 ~ /ms$/ {
    median[$1 "@" tree] = $3 + 0
    missed[$1 "@" tree] = $7
    trees[tree] = 1
}
$1 ~ /-(file|folder)$/ && $3 ~ /ms$/ {
    median[$1] = $3 + 0
    missed[$1] = $7
}
/^scan pass, default timing/ { in_scan = 1 }
in_scan && /^  wall/ { scan_wall = $2; scan_pauses = $7 }
in_scan && /^  CPU/ { scan_cpu_per_file = $6; in_scan = 0 }
/^catch-up, default timing/ { in_catchup = 1 }
in_catchup && /^  wall/ { catchup_wall = $2; catchup_pauses = $7 + $12 }
in_catchup && /^  CPU/ { catchup_cpu = $6; in_catchup = 0 }
/^throughput ratio Quillmot \/ cp:/ { copy_ratio = $NF }
/^throughput ratio Quillmot \/ cp \+ fsync:/ { copy_ratio_fsync = $NF }
/^  utime\+stime/ { idle_percent = $10 }
/^median .* per save, 5 versions kept/ { versions_save = $2 }
/^save with 5 versions \/ \(cp \+ sync\):/ { versions_ratio = $NF }
/^burst \/ single:/ { burst_ratio = $NF }
/^[0-9]+ folders saved at once:/ { burst_folders = $1 }
/^\$ .*quillmot nowin   #/ { idle_folders = $5 }
/^owner check / { owner_check = owner_check $0 "\n" }

# bench_tree's lines with a target: "  what   value unit  [<= target unit]"
/\[<= [0-9]+ (ms|MB)\]/ {
    tree_lines[++tree_count] = $0
}

function verdict(ok) { return ok ? "meets" : "MISSES" }

# One save-to-copy figure against its target, then the tools compared against: `what` says what
# was saved into, `suffix` ends each tool's name in the table ("-file", "-tree@20000").
function latency_line(what, suffix, target, tool_names,    q, others, count, i, tool) {
    q = "quillmot" suffix
    if (!(q in median))
        return
    printf "save-to-copy, %s: %7.1f ms [< %d ms] %s", what, median[q], target,
           verdict(median[q] < target)
    if (missed[q] > 0)
        printf ", %d saves missed", missed[q]
    printf "\n"
    count = split(tool_names, others, " ")
    for (i = 1; i <= count; i++) {
        tool = others[i] suffix
        if (tool in median && median[tool] > 0)
            printf "    %-16s %7.1f ms   Quillmot takes %.1f times as long\n", others[i],
                   median[tool], median[q] / median[tool]
    }
}

END {
    latency_line("file   association", "-file", 250, "inotifywait+cp lsyncd-rsync lsyncd-direct")
    latency_line("folder association", "-folder", 800, "inotifywait+cp lsyncd-rsync lsyncd-direct")
    for (t in trees)
        latency_line("tree of " t " files", "-tree@" t, 800, "inotifywait+cp lsyncd-direct")
    if (scan_cpu_per_file != "")
        printf "scan pass CPU per file visited: %s us [< 20 us] %s; wall %s s, of it fixed pauses %s s\n",
               scan_cpu_per_file, verdict(scan_cpu_per_file < 20), scan_wall, scan_pauses
    if (catchup_cpu != "")
        printf "catch-up CPU per file per destination: %s us [<= 15 us] %s; wall %s s, of it pauses and tick gaps %s s\n",
               catchup_cpu, verdict(catchup_cpu <= 15), catchup_wall, catchup_pauses
    if (copy_ratio != "")
        printf "1 GiB copy throughput / (cp + fsync): %s [>= 0.95] %s; / cp: %s [>= 0.9] %s\n",
               copy_ratio_fsync, verdict(copy_ratio_fsync >= 0.95), copy_ratio,
               verdict(copy_ratio >= 0.9)
    if (versions_save != "")
        printf "one save of 256 MiB with 5 versions: %s s, %s times cp + sync\n", versions_save,
               versions_ratio
    if (idle_percent != "")
        printf "idle with %s watched folders: %s %% of one core [< 0.5 %%] %s\n", idle_folders,
               idle_percent, verdict(idle_percent < 0.5)
    if (burst_ratio != "")
        printf "%s folders saved at once / one folder alone: %s times as long (one pause serves them all)\n",
               burst_folders, burst_ratio
    if (owner_check != "")
        printf "%s", owner_check
    for (i = 1; i <= tree_count; i++) {
        line = tree_lines[i]
        match(line, /\[<= [0-9]+/)
        target = substr(line, RSTART + 4, RLENGTH - 4) + 0
        match(line, /[0-9.]+ +(ms|MiB)/)
        value = substr(line, RSTART, RLENGTH) + 0
        sub(/^ +/, "", line)
        printf "%s %s\n", line, verdict(value <= target)
    }
}
