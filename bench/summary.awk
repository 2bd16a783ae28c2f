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
/^throughput ratio Quillmot \/ cp:/ { copy_ratio = $NF }
/^throughput ratio Quillmot \/ cp \+ fsync:/ { copy_ratio_fsync = $NF }
/^median .* per save, 5 versions kept/ { versions_save = $2 }
/^save with 5 versions \/ \(cp \+ sync\):/ { versions_ratio = $NF }
/^burst \/ single:/ { burst_ratio = $NF }
/^1 GiB save in the running program \/ \(cp \+ sync\):/ { bigsave_ratio = $NF }
/^owner check / { owner_check = owner_check $0 "\n" }
/^bulk arrival \/ \(rsync -a \+ sync\):/ { bulk_ratio = $NF }

# The drivers' own lines with a target: "result: what ... value unit [<= target unit]"
/^result: / {
    line = $0
    sub(/^result: /, "", line)
    results[++result_count] = line
}
# bench_answer's: "worst answer LABEL: N ms"
/^ *worst answer / {
    line = $0
    sub(/^ */, "", line)
    results[++result_count] = line " [<= 100 ms]"
}

# bench_tree's lines with a target: "  what   value unit  [<= target unit]"
!/^result: / && /\[<= [0-9]+ (ms|MB)\]/ {
    tree_lines[++tree_count] = $0
}

function verdict(ok) { return ok ? "meets" : "MISSES" }

# A line whose target is in brackets ("[<= 5 s]", "[>= 0.95]"), with the verdict on the number
# that stands last before the bracket.
function result_verdict(line,    head, value, target, op) {
    if (!match(line, /\[(<=|>=) [0-9.]+/))
        return line
    op = substr(line, RSTART + 1, 2)
    target = substr(line, RSTART + 4, RLENGTH - 4) + 0
    head = substr(line, 1, RSTART - 1)
    if (!match(head, /[0-9.]+[^0-9.]*$/))
        return line " MISSES (no figure)"
    value = substr(head, RSTART) + 0
    return line " " verdict(op == "<=" ? value <= target : value >= target)
}

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
    latency_line("file   association", "-file", 800, "inotifywait+cp lsyncd-rsync lsyncd-direct")
    latency_line("folder association", "-folder", 800, "inotifywait+cp lsyncd-rsync lsyncd-direct")
    for (t in trees)
        latency_line("tree of " t " files", "-tree@" t, 800, "inotifywait+cp lsyncd-direct")
    if (copy_ratio != "")
        printf "1 GiB copy throughput / (cp + fsync): %s [>= 0.95] %s; / cp: %s [>= 0.9] %s\n",
               copy_ratio_fsync, verdict(copy_ratio_fsync >= 0.95), copy_ratio,
               verdict(copy_ratio >= 0.9)
    if (versions_save != "")
        printf "one save of 256 MiB with 5 versions: %s s, %s times cp + sync [<= 1.1] %s\n",
               versions_save, versions_ratio, verdict(versions_ratio <= 1.1)
    if (bigsave_ratio != "")
        printf "1 GiB save in the running program: %s times cp + sync (the settle time included)\n",
               bigsave_ratio
    if (burst_ratio != "")
        printf "folders saved at once / one folder alone: %s times as long\n", burst_ratio
    if (bulk_ratio != "")
        printf "bulk arrival: %s times rsync -a + sync\n", bulk_ratio
    for (i = 1; i <= result_count; i++)
        print result_verdict(results[i])
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
