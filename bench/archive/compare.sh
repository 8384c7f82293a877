#!/bin/sh
# Whole-program comparison of Tar with the tools a user would otherwise run, in one run and on
# the same files: extraction against bsdtar -xzf and tar -xzf, the counting pass against
# bsdtar's extraction, and the tree copy against cp -r. Prints each wall time (best of the
# runs) and peak resident memory, and the ratios against the references.
#
#   bench/archive/compare.sh <build directory> [work directory] [files] [megabytes] [runs]
#
# The build directory is one configured with -DORVEX_BUILD_BENCHMARKS=ON and bench-tar built.
# The work directory (default: a new one under /tmp) needs the tree's size about six times per
# run, since nothing is deleted while the programs are timed.
set -eu

keep=${2:-}
build=${1:?usage: compare.sh <build directory> [work directory] [files] [megabytes] [runs]}
build=$(cd "$build" && pwd)
work=${2:-$(mktemp -d /tmp/orvex-tar-bench.XXXXXX)}
files=${3:-20000}
megabytes=${4:-200}
runs=${5:-3}
driver="$build/bench/archive/bench-tar"

for tool in bsdtar tar cp /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "compare.sh: $tool is missing" >&2; exit 1; }
done
[ -x "$driver" ] || { echo "compare.sh: $driver is not built" >&2; exit 1; }

here=$(cd "$(dirname "$0")" && pwd)
. "$here/measure.sh"

mkdir -p "$work"
cd "$work"

# Every run writes to a new directory and nothing is deleted until the end: a deletion's work
# (the disk's discards above all) would otherwise fall on whichever program runs next.
echo "Generating $files files, $megabytes MB, in $work/tree"
rm -rf tree small
"$driver" generate tree "$files" "$megabytes"
"$driver" generate small $((files / 10)) $((megabytes / 10))
tar -czf suite.tgz -C tree .
tar -czf small.tgz -C small .
entries=$("$driver" count suite.tgz)
smallEntries=$("$driver" count small.tgz)
echo "Archive: $(du -m suite.tgz | cut -f1) MB compressed, $entries entries, $(du -sm tree | cut -f1) MB unpacked"
echo

rm -rf out
for run in $(seq "$runs"); do
    for name in bsdtar tar count extract small; do mkdir -p "out/$run/$name"; done
    measure bsdtar bsdtar -xzf suite.tgz -C "out/$run/bsdtar"
    measure tar tar -xzf suite.tgz -C "out/$run/tar"
    measure count "$driver" count suite.tgz
    measure extract "$driver" extract suite.tgz "out/$run/extract" "$entries"
    measure small "$driver" extract small.tgz "out/$run/small" "$smallEntries"
    measure cp cp -r tree "out/$run/cp"
    measure copy "$driver" copy tree "out/$run/copy" "$entries"
done
rm -rf out

printf '%-34s %8s %10s\n' "" "seconds" "peak KiB"
printf '%-34s %8s %10s\n' "bsdtar -xzf" "$bsdtarTime" "$bsdtarKib"
printf '%-34s %8s %10s\n' "tar -xzf" "$tarTime" "$tarKib"
printf '%-34s %8s %10s\n' "Tar::countEntries" "$countTime" "$countKib"
printf '%-34s %8s %10s\n' "Tar::extract" "$extractTime" "$extractKib"
printf '%-34s %8s %10s\n' "Tar::extract, a tenth of the tree" "$smallTime" "$smallKib"
printf '%-34s %8s %10s\n' "cp -r" "$cpTime" "$cpKib"
printf '%-34s %8s %10s\n' "Tar::copyTree" "$copyTime" "$copyKib"
echo
echo "extract / bsdtar -xzf:       $(ratio "$extractTime" "$bsdtarTime")   (goal at most 1.10)"
echo "extract / tar -xzf:          $(ratio "$extractTime" "$tarTime")"
echo "countEntries / bsdtar -xzf:  $(ratio "$countTime" "$bsdtarTime")   (goal under 0.50)"
echo "copyTree / cp -r:            $(ratio "$copyTime" "$cpTime")   (goal at most 1.20)"
echo "extract peak memory, whole tree / a tenth: $(ratio "$extractKib" "$smallKib")   (goal: about 1)"

if [ -z "$keep" ]; then
    rm -rf "$work"
fi
