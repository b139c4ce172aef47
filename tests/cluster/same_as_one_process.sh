#!/bin/sh
# Runs a data file with tovaquor on one thread and with tovaquor-mpi on NP
# ranks (THREADS threads each), and compares report, console, log and exit
# status byte for byte, computing times masked.
# Usage: same_as_one_process.sh TOVAQUOR TOVAQUOR_MPI MPIEXEC NP THREADS DATA.mbd SEED [OPTION...]
# Options go to both programs. Every file the one-process run writes is
# compared, and the MPI run must write no other.
set -u
one=$1 mpi=$2 mpiexec=$3 np=$4 threads=$5 data=$6 seed=$7
shift 7
base=$(basename "$data" .mbd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/one" "$work/mpi"
cp "$data" "$work/one/" && cp "$data" "$work/mpi/"

(cd "$work/one" && TOVAQUOR_THREADS=1 "$one" "$@" "$base" "$seed" >console.txt 2>errors.txt; echo $? >status.txt)
# Root may start ranks here (CI runs as root); extra ranks share the cores.
(cd "$work/mpi" && OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 \
  OMPI_MCA_rmaps_base_oversubscribe=1 TOVAQUOR_THREADS="$threads" \
  timeout 300 "$mpiexec" -np "$np" "$mpi" "$@" "$base" "$seed" >console.txt 2>errors.txt
  echo $? >status.txt)

mask() { sed -E 's/Total computing time : [0-9]+ ms//; s/done in -?[0-9]+ ms//' "$1"; }
failed=0
for f in $(cd "$work/one" && ls | grep -v '^errors.txt$'); do
  if ! mask "$work/one/$f" >"$work/a" 2>/dev/null || ! mask "$work/mpi/$f" >"$work/b" 2>/dev/null \
     || ! cmp -s "$work/a" "$work/b"; then
    echo "$base: $f differs with $np ranks and $threads threads"
    diff "$work/a" "$work/b" | head -n 20
    failed=1
  fi
done
if [ "$(ls "$work/mpi")" != "$(ls "$work/one")" ]; then
  echo "$base: the ranks wrote other files: $(ls "$work/mpi")"
  failed=1
fi
# A successful job says on standard error what one process says: the summary.
[ "$(cat "$work/mpi/status.txt")" = 0 ] && ! cmp -s "$work/one/errors.txt" "$work/mpi/errors.txt" && {
  echo "$base: standard error of a successful job differs:"
  diff "$work/one/errors.txt" "$work/mpi/errors.txt" | head -n 20; failed=1; }
exit $failed
