# Timing helpers of the archive benchmarks; sourced by compare.sh and pack.sh.

# Times "$@" once and keeps the best wall time in seconds, with that run's peak resident set in
# KiB, in the variables <name>Time and <name>Kib. The runs of the different programs take
# turns, so a slow spell of a shared machine falls on all of them alike.
measure() {
    name=$1
    shift
    sync
    /usr/bin/time -f "%e %M" -o measure.out "$@" >/dev/null
    read -r seconds kib < measure.out
    eval "best=\${${name}Time:-}"
    if [ -z "$best" ] || awk "BEGIN { exit !($seconds < $best) }"; then
        eval "${name}Time=$seconds ${name}Kib=$kib"
    fi
}

# $1 / $2 with $3 decimals (2 when not given).
ratio() {
    awk "BEGIN { printf \"%.${3:-2}f\", $1 / $2 }"
}
