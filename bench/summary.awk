# Reads the benchmark drivers' output and prints the figures that have targets, with the ratios
# to the tools compared against.

# bench_latency's table: name saves median p10 p90 max missed
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

# bench_tree's lines with a target: "  what   value unit  [<= target unit]"
/\[<= [0-9]+ (ms|MB)\]/ {
    tree_lines[++tree_count] = $0
}

function verdict(ok) { return ok ? "meets" : "MISSES" }

function latency_line(kind, target,    q, others, tool) {
    q = "quillmot-" kind
    if (!(q in median))
        return
    printf "save-to-copy, %-6s association: %7.1f ms [< %d ms] %s", kind, median[q], target,
           verdict(median[q] < target)
    if (missed[q] > 0)
        printf ", %d saves missed", missed[q]
    printf "\n"
    split("inotifywait+cp lsyncd-rsync lsyncd-direct", others, " ")
    for (i = 1; i <= 3; i++) {
        tool = others[i] "-" kind
        if (tool in median && median[tool] > 0)
            printf "    %-16s %7.1f ms   Quillmot takes %.1f times as long\n", others[i],
                   median[tool], median[q] / median[tool]
    }
}

END {
    latency_line("file", 250)
    latency_line("folder", 800)
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
    if (idle_percent != "")
        printf "idle with 100 watched folders: %s %% of one core [< 0.5 %%] %s\n", idle_percent,
               verdict(idle_percent < 0.5)
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
