#!/bin/sh
# Peak memory of tovaquor-data on large inputs: a pedigree file of one line of
# about 50 MB (12.5 million markers), then the same with a marker map naming
# them, and a data file whose three announced records are followed by 50 MB
# that the analysis never reads. The readers keep only the columns and
# records they use, so the peak should stay far below the size of the input.
#
#   bench/convert_memory.sh [--bin-dir DIR] [--workdir DIR]
#
# Prints one line per case: case, status, wall seconds, peak resident KiB
# (from /usr/bin/time -v).
set -eu
bin_dir=build/datatool
workdir=$(mktemp -d)
while [ $# -gt 0 ]; do
    case $1 in
    --bin-dir) bin_dir=$2; shift 2 ;;
    --workdir) workdir=$2; shift 2 ;;
    *) echo "usage: $0 [--bin-dir DIR] [--workdir DIR]" >&2; exit 1 ;;
    esac
done
tool=$(cd "$bin_dir" && pwd)/tovaquor-data
mkdir -p "$workdir"
cd "$workdir"

markers=12500000
awk -v n=$markers 'BEGIN { printf "f a 0 0 1 -9"; for (m = 1; m <= n; m++) printf " 1 2"; printf "\n" }' > wide.ped
awk -v n=$markers 'BEGIN { for (m = 1; m <= n; m++) printf "1 m%d 0\n", m }' > names.map
awk 'BEGIN { printf "1 0 1\n3\nS\nP 0 0\n1 1\n1 2\nQ 0 0\n1 1\n2 2\nC P Q\n1 1\n1 2\n";
             for (i = 0; i < 7000000; i++) printf "unread\n" }' > tail.mbd

measure() {
    name=$1
    shift
    status=0
    /usr/bin/time -v -o time.txt "$@" > /dev/null 2>&1 || status=$?
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.txt)
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
    printf '%s\t%s\t%s\t%s\n' "$name" "$status" "$wall" "$rss"
}

printf 'case\tstatus\twall\tpeak_KiB\n'
measure "ped, one line of $(du -m wide.ped | cut -f1) MB, numbered markers" \
    "$tool" convert wide.ped --loci 1,$markers -o out.mbd
rm -f out.mbd
measure "the same with a map of $(du -m names.map | cut -f1) MB, markers by name" \
    "$tool" convert wide.ped --map names.map --loci m1,m$markers -o out.mbd
measure "check of a $(du -m tail.mbd | cut -f1) MB data file that holds 3 records" \
    "$tool" check tail.mbd
