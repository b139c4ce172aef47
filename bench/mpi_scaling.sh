#!/bin/sh
# The 200-simulated-sample case of run.sh (1000 families of 1 to 4 sibs, 30 %
# of parents untyped, 50 singles, 6 alleles per locus, 5 initial conditions)
# run by tovaquor on 1 and 2 threads and by tovaquor-mpi on 1, 2 and 3 ranks
# of one thread each; every report must match the one-thread report byte for
# byte (times masked). Prints wall and processor time per run, and the
# processor time per simulated sample from which the scaling estimate of
# docs/cluster.md is worked out (with the per-sample costs of rank 0 and of
# the ranks from tovaquor_bench's BM_PredictForAnotherRank,
# BM_DrawForAnotherRank and BM_AnalyseDrawnSample).
#
#   bench/mpi_scaling.sh [--samples N] [--threads "1 2"] [--ranks "1 2 3"] [--repeat N]
#
# Environment: BUILD_DIR (default build-mpi), configured with -DTOVAQUOR_MPI=ON
# and built in Release when missing.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build-mpi}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
samples=200
threads="1 2"
ranks="1 2 3"
repeat=1
while [ $# -gt 0 ]; do
    case $1 in
    --samples) samples=$2; shift ;;
    --threads) threads=$2; shift ;;
    --ranks) ranks=$2; shift ;;
    --repeat) repeat=$2; shift ;;
    *) echo "mpi_scaling.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
if [ ! -x "$build_dir/cluster/tovaquor-mpi" ]; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTOVAQUOR_MPI=ON >/dev/null
    cmake --build "$build_dir" -j 2 --target tovaquor tovaquor-mpi tovaquor_generate >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build_dir/bench/tovaquor_generate" --seed 2026 --families 1000 --sibs 1-4 --untyped-share 0.3 \
    --singles 50 --alleles 6 --ld moderate --simulated "$samples" --initial 5 \
    --output "$work/data.mbd"
mask() { sed -E 's/Total computing time : [0-9]+ ms//' "$1"; }
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1

# run NAME THREADS COMMAND...: the smallest wall and processor times of
# --repeat runs in a folder of its own; the report must match the first run's.
run() {
    name=$1 n_threads=$2
    shift 2
    dir=$work/$(echo "$name" | tr ' ' _)
    mkdir "$dir"
    cp "$work/data.mbd" "$dir/"
    best_w='' best_c=''
    i=0
    while [ "$i" -lt "$repeat" ]; do
        i=$((i + 1))
        (cd "$dir" && TOVAQUOR_THREADS=$n_threads /usr/bin/time -f '%e %U %S' -o time.txt \
            "$@" data 2026 >/dev/null 2>&1)
        read -r w u s <"$dir/time.txt"
        c=$(echo "$u + $s" | bc)
        if [ -z "$best_w" ] || [ "$(echo "$w < $best_w" | bc)" = 1 ]; then best_w=$w; fi
        if [ -z "$best_c" ] || [ "$(echo "$c < $best_c" | bc)" = 1 ]; then best_c=$c; fi
    done
    printf '%-22s %8s %8.2f\n' "$name" "$best_w" "$best_c"
    if [ -f "$work/reference.mbr" ]; then
        mask "$dir/data.mbr" >"$work/a"
        cmp -s "$work/a" "$work/reference.mbr" || { echo "report differs: $name" >&2; exit 1; }
    else
        mask "$dir/data.mbr" >"$work/reference.mbr"
        cp "$dir/mirbo.log" "$work/reference.log"
        one_cpu=$best_c
    fi
}

printf '%-22s %8s %8s\n' run wall_s cpu_s
for t in $threads; do
    run "tovaquor $t thread(s)" "$t" "$build_dir/app/tovaquor"
done
for n in $ranks; do
    run "tovaquor-mpi -np $n" 1 mpirun -np "$n" "$build_dir/cluster/tovaquor-mpi"
done
# One sample's analysis: the one-thread run less the observed sample's, over the samples.
observed_ms=$(awk '/^Computing sample lnLHood/ { getline; sub(/.*done in /, ""); print $1; exit }' \
    "$work/reference.log")
echo "observed sample EM: ${observed_ms} ms (wall clock)"
awk "BEGIN { printf \"one-thread processor ms per simulated sample: %.1f\n\", \
    $one_cpu * 1000 / $samples }"
