#!/bin/sh
# The whole-pedigree model (--whole-pedigrees): its time and memory on
# three-generation pedigrees, and the level of its simulation test under the
# null hypothesis.
#
#   bench/whole_pedigrees.sh [--level N] [--simulated K] [--workdir DIR]
#
# Timing case: 300 pedigrees, each of two grandparents absent from the file,
# their typed child, that child's typed partner and their four typed
# children; 12 alleles at each locus; 10 % of the typed individuals written
# with one locus unknown ("? ?"); 5 initial conditions, no simulated sample.
# Prints wall time, processor time and peak resident memory (from
# /usr/bin/time) against the targets of 10 s and 500 MB.
#
# --level N: also analyse N data sets drawn in linkage and Hardy-Weinberg
# equilibrium (40 such pedigrees of 2 or 3 children, a fifth of the parent
# places absent, 3 alleles at each locus, 10 % of the typed individuals with
# one locus unknown), each with K simulated samples [99], and print how many
# P-values fall at or below 0.05, with a 95 % (Wilson) interval for the level.
#
# Environment: BUILD_DIR (default build), JOBS (default 2), TOVAQUOR_THREADS
# (default 1). The program and the generator are built there in Release when
# missing.
set -eu

level=0
simulated=99
workdir=""
while [ $# -gt 0 ]; do
    case "$1" in
    --level) level=$2; shift 2 ;;
    --simulated) simulated=$2; shift 2 ;;
    --workdir) workdir=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
    esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build=$root/$build ;; esac
if [ ! -x "$build/app/tovaquor" ] || [ ! -x "$build/bench/tovaquor_generate" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j "${JOBS:-2}" --target tovaquor tovaquor_generate >/dev/null
fi
program=$build/app/tovaquor
generate=$build/bench/tovaquor_generate
if [ -z "$workdir" ]; then
    workdir=$(mktemp -d)
    trap 'rm -rf "$workdir"' EXIT
fi
mkdir -p "$workdir"
cd "$workdir"
export TOVAQUOR_THREADS=${TOVAQUOR_THREADS:-1}

"$generate" --seed 22 --generations 3 --families 300 --sibs 4 --untyped-share 0 \
    --singles 0 --alleles 12 --ld moderate --missing-locus 0.1 --initial 5 --simulated 0 \
    --output timing.mbd
/usr/bin/time -f "%e %U %S %M" -o timing.time "$program" --whole-pedigrees timing 22 \
    >timing.out 2>timing.err
read -r wall user sys rss <timing.time
echo "timing case: 300 three-generation pedigrees, 12 alleles per locus, 5 initial conditions"
awk -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" 'BEGIN {
    printf "  wall %.2f s, processor %.2f s, peak memory %.1f MB (targets: 10 s, 500 MB)\n",
        w, u + s, r / 1024 }'

[ "$level" -gt 0 ] || exit 0
rejected=0
valid=0
i=1
while [ "$i" -le "$level" ]; do
    "$generate" --seed "$((1000 + i))" --generations 3 --families 40 --sibs 2-3 \
        --untyped-share 0.2 --singles 0 --alleles 3 --ld none --missing-locus 0.1 \
        --initial 2 --simulated "$simulated" --output level.mbd
    "$program" --whole-pedigrees level "$i" >level.out 2>level.err || true
    p=$(sed -n 's/^P(Rand. logLhood ratio >= Obs. logLhood ratio) = *//p' level.mbr)
    if [ -n "$p" ]; then
        valid=$((valid + 1))
        if awk -v p="$p" 'BEGIN { exit !(p <= 0.05) }'; then
            rejected=$((rejected + 1))
        fi
    fi
    i=$((i + 1))
done
echo "level: $rejected of $valid data sets drawn under the null have P <= 0.05 ($simulated simulated samples each)"
awk -v x="$rejected" -v n="$valid" 'BEGIN {
    if (n == 0) exit
    z = 1.959964; p = x / n
    c = (p + z * z / (2 * n)) / (1 + z * z / n)
    h = z * sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n)
    printf "  estimated level %.3f, 95 %% interval %.3f to %.3f\n", p, c - h, c + h }'
