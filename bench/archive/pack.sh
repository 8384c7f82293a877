#!/bin/sh
# Whole-program comparison of orvex-pack -z with the packers a user would otherwise run,
# tar -czf and bsdtar -czf, on the large tree of the extraction benchmark, in one run: wall time
# (best of the runs, the programs taking turns), peak resident memory, archive size, and the
# ratios against tar -czf.
#
#   bench/archive/pack.sh <build directory> [work directory] [files] [megabytes] [runs]
#
# The build directory is one configured with -DORVEX_BUILD_BENCHMARKS=ON, with bench-tar and
# orvex-pack built. On a disk whose speed wanders, give a work directory on tmpfs (/dev/shm).
set -eu

build=${1:?usage: pack.sh <build directory> [work directory] [files] [megabytes] [runs]}
build=$(cd "$build" && pwd)
keep=${2:-}
work=${2:-$(mktemp -d /tmp/orvex-pack-bench.XXXXXX)}
files=${3:-20000}
megabytes=${4:-200}
runs=${5:-3}
generator="$build/bench/archive/bench-tar"
pack="$build/archive/pack/orvex-pack"

for tool in bsdtar tar /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "pack.sh: $tool is missing" >&2; exit 1; }
done
for program in "$generator" "$pack"; do
    [ -x "$program" ] || { echo "pack.sh: $program is not built" >&2; exit 1; }
done

here=$(cd "$(dirname "$0")" && pwd)
. "$here/measure.sh"

mkdir -p "$work"
cd "$work"

echo "Generating $files files, $megabytes MB, in $work/tree"
rm -rf tree
"$generator" generate tree "$files" "$megabytes"
echo "Tree: $(du -sm tree | cut -f1) MB"
echo

for run in $(seq "$runs"); do
    rm -f tar.tgz bsdtar.tgz pack.tgz
    measure tar tar -czf tar.tgz -C tree .
    measure bsdtar bsdtar -czf bsdtar.tgz -C tree .
    measure pack "$pack" -z pack.tgz tree
done

tarSize=$(stat -c %s tar.tgz)
bsdtarSize=$(stat -c %s bsdtar.tgz)
packSize=$(stat -c %s pack.tgz)

# The packed archive must hold the tree: every file, the same bytes.
mkdir -p check
tar -xzf pack.tgz -C check
if ! diff -r tree check >/dev/null; then
    echo "pack.sh: orvex-pack's archive does not unpack to the tree" >&2
    exit 1
fi

printf '%-20s %8s %10s %12s\n' "" "seconds" "peak KiB" "bytes"
printf '%-20s %8s %10s %12s\n' "tar -czf" "$tarTime" "$tarKib" "$tarSize"
printf '%-20s %8s %10s %12s\n' "bsdtar -czf" "$bsdtarTime" "$bsdtarKib" "$bsdtarSize"
printf '%-20s %8s %10s %12s\n' "orvex-pack -z" "$packTime" "$packKib" "$packSize"
echo
echo "time, orvex-pack / tar -czf:     $(ratio "$packTime" "$tarTime" 4)   (goal at most 1.10)"
echo "size, orvex-pack / tar -czf:     $(ratio "$packSize" "$tarSize" 4)   (goal at most 1.0000)"
echo "time, orvex-pack / bsdtar -czf:  $(ratio "$packTime" "$bsdtarTime" 4)"
echo "size, orvex-pack / bsdtar -czf:  $(ratio "$packSize" "$bsdtarSize" 4)"

if [ -z "$keep" ]; then
    rm -rf "$work"
fi
