#!/bin/bash
# What the tear-off code costs the office, in instructions per generation:
# a figure the host's load does not move, where the bench's milliseconds
# swing by half on a shared machine. The office runs under callgrind
# (Debian's valgrind), once with the code on every generation and once
# without; the warm-up generations are alike in both and cancel out.
#
#   tools/office-instructions.sh [BUILD [RUNS [ROWS]]]
#
# BUILD is the build folder (build), with bench_office_generation built in
# it; RUNS the pairs of generations per office (3, about three minutes
# each); ROWS how many functions to list (25), by what they take more with
# the code, counted with what they call. PELLAMONT_OFFICE, when set, names
# the office's binary (soffice.bin), not a script that starts it.
set -euo pipefail

build=${1:-build}
runs=${2:-3}
rows=${3:-25}
bench="$build/bench/bench_office_generation"
office=${PELLAMONT_OFFICE:-/usr/lib/libreoffice/program/soffice.bin}
[[ -x "$bench" ]] || { echo "build $bench first (ninja -C $build bench_office_generation)" >&2; exit 2; }
for tool in valgrind callgrind_annotate callgrind_control xvfb-run; do
    command -v "$tool" > /dev/null || { echo "$tool is missing (apt-get install valgrind xvfb)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/office" << EOF
#!/bin/sh
exec valgrind --tool=callgrind --vgdb-prefix="$work/vgdb" \\
    --callgrind-out-file="$work/out.\$PELLAMONT_COUNTED.%p" "$office" "\$@"
EOF
chmod +x "$work/office"

for mode in without with; do
    echo "counting $runs pairs of generations $mode the code..." >&2
    # The office's own exit comes too late for callgrind to write its counts,
    # so the bench has them written after its last generation.
    PELLAMONT_COUNTED=$mode PELLAMONT_OFFICE="$work/office" \
        PELLAMONT_BENCH_DUMP="callgrind_control --vgdb-prefix='$work/vgdb' -d > /dev/null" \
        xvfb-run -a "$bench" code "$runs" "$mode" > "$work/$mode.log" 2>&1 ||
        { cat "$work/$mode.log" >&2; exit 1; }
    dumps=("$work"/out."$mode".*.[0-9]*)
    [[ -s "${dumps[0]}" ]] || { echo "no counts were written for $mode" >&2; exit 1; }
    for dump in "${dumps[@]}"; do
        callgrind_annotate --inclusive=yes --threshold=100 "$dump" 2> /dev/null
    done > "$work/$mode.txt"
done

# Each office made 2 x RUNS generations of its kind.
awk -v generations=$((2 * runs)) -v rows="$rows" '
    function count(text) { gsub(",", "", text); return text + 0 }
    # The counts without the code come first and are taken away.
    FNR == 1 { sign = ++files == 1 ? -1 : 1 }
    /PROGRAM TOTALS/ { sum += sign * count($1); next }
    /^ *[0-9,]+ \( *[0-9.]+%\) +/ {
        name = $0
        sub(/^ *[0-9,]+ \( *[0-9.]+%\) +/, "", name)
        sub(/ \[.*$/, "", name)
        sub(/^\?\?\?:/, "", name)
        # Unnamed code, and recursive calls (a name, a quote and a depth),
        # which callgrind counts again at each depth.
        if (name ~ /^0x/ || name ~ /'"'"'[0-9]+$/) next
        cost[name] += sign * count($1)
    }
    END {
        printf "the code adds %.1f M instructions per generation in all\n", sum / generations / 1e6
        sorted = "sort -gr | head -n " rows
        for (name in cost)
            printf "%8.1f M  %s\n", cost[name] / generations / 1e6, substr(name, 1, 110) | sorted
    }' "$work/without.txt" "$work/with.txt"
