#!/bin/sh
# The 200-simulated-sample case of run.sh (1000 families of 1 to 4 sibs, 30 %
# of parents untyped, 50 singles, 6 alleles per locus, 5 initial conditions)
# run by tovaquor on one thread and by tovaquor-mpi on 1 and 2 ranks of one
# thread each; the reports must match byte for byte (times masked). Prints
# wall and processor time per run, and the per-sample time and the gather
# cost from which the scaling estimate of docs/cluster.md is worked out.
#
#   bench/mpi_scaling.sh [--samples N] [--ranks "1 2"]
#
# Environment: BUILD_DIR (default build-mpi), configured with -DTOVAQUOR_MPI=ON
# and built in Release when missing.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build-mpi}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
samples=200
ranks="1 2"
while [ $# -gt 0 ]; do
    case $1 in
    --samples) samples=$2; shift ;;
    --ranks) ranks=$2; shift ;;
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
export TOVAQUOR_THREADS=1

printf '%-16s %8s %8s\n' run wall_s cpu_s
mkdir "$work/one"
cp "$work/data.mbd" "$work/one/"
(cd "$work/one" && /usr/bin/time -f '%e %U %S' -o time.txt "$build_dir/app/tovaquor" data 2026 >/dev/null 2>&1)
read -r w u s <"$work/one/time.txt"
printf '%-16s %8s %8.2f\n' "tovaquor" "$w" "$(echo "$u + $s" | bc)"
# One sample's analysis: the whole run less the observed sample's, over the samples.
observed_ms=$(awk '/^Computing sample lnLHood/ { getline; sub(/.*done in /, ""); print $1; exit }' \
    "$work/one/mirbo.log")
for n in $ranks; do
    dir=$work/np$n
    mkdir "$dir"
    cp "$work/data.mbd" "$dir/"
    (cd "$dir" && /usr/bin/time -f '%e %U %S' -o time.txt \
        mpirun -np "$n" "$build_dir/cluster/tovaquor-mpi" data 2026 >/dev/null 2>&1)
    read -r w u s <"$dir/time.txt"
    printf '%-16s %8s %8.2f\n' "tovaquor-mpi -np $n" "$w" "$(echo "$u + $s" | bc)"
    mask "$dir/data.mbr" >"$work/a"
    mask "$work/one/data.mbr" >"$work/b"
    cmp -s "$work/a" "$work/b" || { echo "report differs with $n ranks" >&2; exit 1; }
done
echo "observed sample EM: ${observed_ms} ms"
