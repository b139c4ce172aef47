#!/bin/sh
# Every pair of a marker panel: 8 linked markers of 10 alleles, 300 families
# of 2 or 3 sibs whose parents are untyped, 5 % of the children missing one
# marker; converted with tovaquor-data convert --loci all (28 pair samples).
#
#   bench/panels.sh [--repeat N] [--simulated N] [--workdir DIR] [-- OPTIONS]
#
# Runs the 28 pairs without simulated samples on 1, then 2 threads
# (TOVAQUOR_THREADS), checks that report, console and log are the same (times
# masked) and prints the speed-up; then the 28 pairs with N simulated samples
# each (default 100) on 2 threads. OPTIONS after -- go to tovaquor.
#
#   --repeat N     run each case N times and keep the shortest wall time
#   --workdir DIR  where the files go [a temporary folder]
#
# Environment: BUILD_DIR (default build), JOBS (default 2).

set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
jobs=${JOBS:-2}

repeat=1
simulated=100
workdir=
while [ $# -gt 0 ]; do
    case $1 in
    --repeat) repeat=$2; shift ;;
    --simulated) simulated=$2; shift ;;
    --workdir) workdir=$2; shift ;;
    --) shift; break ;;
    -h | --help) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "panels.sh: unknown option $1 (--help lists them)" >&2; exit 2 ;;
    esac
    shift
done

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" -j "$jobs" --target tovaquor tovaquor-data \
    tovaquor_generate_panel >/dev/null
[ -x /usr/bin/time ] || { echo "panels.sh: /usr/bin/time is needed (GNU time)" >&2; exit 2; }
if [ -z "$workdir" ]; then
    workdir=$(mktemp -d "${TMPDIR:-/tmp}/tovaquor-panels.XXXXXX")
    trap 'rm -rf "$workdir"' EXIT
fi
mkdir -p "$workdir"
cd "$workdir"
"$build_dir/bench/tovaquor_generate_panel" --seed 2026 panel
for n in 0 "$simulated"; do
    "$build_dir/datatool/tovaquor-data" convert panel.ped -o "panel$n.mbd" --loci all \
        --simulations "$n" --name Panel >/dev/null
done

# run NAME DATA THREADS [OPTIONS]: the shortest wall time of `repeat` runs, in seconds.
run() {
    name=$1 data=$2 threads=$3
    shift 3
    mkdir -p "$name"
    cp "$data.mbd" "$name/"
    best=
    i=0
    while [ "$i" -lt "$repeat" ]; do
        i=$((i + 1))
        (cd "$name" && TOVAQUOR_THREADS=$threads /usr/bin/time -f '%e %U' -o time.txt \
            "$build_dir/app/tovaquor" "$@" "$data" 2026 >console.txt 2>/dev/null) || true
        read -r wall cpu <"$name/time.txt"
        if [ -z "$best" ] || awk "BEGIN { exit !($wall < $best) }"; then best=$wall; fi
    done
    sed 's/computing time : [0-9]*/computing time : N/' "$name/$data.mbr" >"$name/report.txt"
    sed 's/done in [0-9]* ms/done in N ms/' "$name/mirbo.log" >"$name/log.txt"
    echo "$best"
}

extra="$*"
set --
for option in $extra; do set -- "$@" "$option"; done
one=$(run one panel0 1 "$@")
two=$(run two panel0 2 "$@")
same=identical
for f in report.txt log.txt console.txt; do
    cmp -s "one/$f" "two/$f" || same="DIFFERENT ($f)"
done
echo "28 pairs, no simulated samples: 1 thread $one s, 2 threads $two s"
awk "BEGIN { printf \"Speed-up from 1 to 2 threads: %.2f (outputs $same)\n\", $one / $two }"
sim=$(run sim "panel$simulated" 2 "$@")
echo "28 pairs, $simulated simulated samples each, 2 threads: $sim s"
