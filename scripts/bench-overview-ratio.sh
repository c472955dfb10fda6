#!/bin/bash
# The edit with the schedule overview open, this build against another (the previous one), in turns
# in the same run: each turn runs both builds' overview_bench once (which build goes first alternates),
# and the script prints each turn's medians and the median of the per-turn ratios.
#   scripts/bench-overview-ratio.sh NEW_OVERVIEW_BENCH OLD_OVERVIEW_BENCH [TURNS] [EDITS]
# Each run measures EDITS edits (default 21) of the largest schedule with 250 overlapping periods.
set -euo pipefail
new=$1 old=$2 turns=${3:-5} edits=${4:-21}
export QT_QPA_PLATFORM=offscreen
# "edit with the overview open" and "the same edit, no overview": the medians, in milliseconds.
medians() {
    "$1" 1 "$edits" 2>/dev/null | awk '/edit with the overview open/ {e = $(NF-3)} /the same edit, no overview/ {b = $(NF-3)}
                           END {if (e == "" || b == "") exit 1; print e, b}'
}
declare -a ratios bareRatios
for ((t = 1; t <= turns; ++t)); do
    if ((t % 2)); then
        read -r n nb < <(medians "$new")
        read -r o ob < <(medians "$old")
    else
        read -r o ob < <(medians "$old")
        read -r n nb < <(medians "$new")
    fi
    ratios+=("$(echo "$n / $o" | bc -l)") bareRatios+=("$(echo "$nb / $ob" | bc -l)")
    printf 'turn %d: overview open %.1f ms against %.1f ms; no overview %.1f ms against %.1f ms\n' \
        "$t" "$n" "$o" "$nb" "$ob"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
range() { printf '%s\n' "$@" | sort -n | awk 'NR == 1 {lo = $1} {hi = $1} END {printf "%.2fx-%.2fx", lo, hi}'; }
printf 'edit with the overview open, this build / the other: %.2fx (median of %d turns; %s)\n' \
    "$(median "${ratios[@]}")" "$turns" "$(range "${ratios[@]}")"
printf 'the same edit without an overview, this build / the other: %.2fx (%s)\n' \
    "$(median "${bareRatios[@]}")" "$(range "${bareRatios[@]}")"
