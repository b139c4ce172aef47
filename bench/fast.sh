#!/bin/sh
# Whole-program timings of the default (summed, "fast") engine against the
# listing one (--listed, "exact") on families with absent parents.
#
#   bench/fast.sh [--skip-exact-big] [--repeat N] [--tsv FILE] [--workdir DIR]
#
# Cases: 300 families of 2 sibs with half the parent places absent, no
# singles, 15, 20 and 30 alleles at each locus, moderate linkage
# disequilibrium, 5 initial conditions, each run exactly and with --fast; 1000
# such families at 60 alleles with --fast only (the exact engine would need
# some 6 million combinations per family); and a simulation test of 100
# samples on the 30-allele data with --fast on one and two threads. A row
# that repeats the previous row's data says whether its report is identical
# to that row's but for the computing time ("yes"), or not ("no": the two
# engines need only agree, so compare the numbers).
#
# Columns: wall time, processor time (user plus system, all threads), peak
# resident memory (from /usr/bin/time); stored combinations or, with --fast,
# configurations, and EM iterations, summed over the sample and its simulated
# samples (from TOVAQUOR_STATS).
#
#   --skip-exact-big   leave out the exact 30-allele run (minutes, ~0.9 GB)
#   --repeat N         run every case N times and keep the minimum of each
#                      timing (the machine may be busy with other work)
#   --tsv FILE         also write the rows tab-separated
#   --workdir DIR      where data files and reports go [a temporary folder]
#
# Environment: BUILD_DIR (default build), JOBS (default 2). The program and
# the generator are built there in Release when missing.

set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
jobs=${JOBS:-2}

skip_exact_big=0
repeat=1
tsv=
workdir=
while [ $# -gt 0 ]; do
    case $1 in
    --skip-exact-big) skip_exact_big=1 ;;
    --repeat) repeat=$2; shift ;;
    --tsv) tsv=$2; shift ;;
    --workdir) workdir=$2; shift ;;
    -h | --help) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "fast.sh: unknown option $1 (--help lists them)" >&2; exit 2 ;;
    esac
    shift
done

gen=$build_dir/bench/tovaquor_generate
bin=$build_dir/app/tovaquor
if [ ! -x "$gen" ] || [ ! -x "$bin" ]; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" -j "$jobs" --target tovaquor tovaquor_generate >/dev/null
fi
[ -x /usr/bin/time ] || { echo "fast.sh: /usr/bin/time is needed (GNU time)" >&2; exit 2; }

if [ -z "$workdir" ]; then
    workdir=$(mktemp -d "${TMPDIR:-/tmp}/tovaquor-fast.XXXXXX")
    trap 'rm -rf "$workdir"' EXIT
fi
mkdir -p "$workdir"
[ -z "$tsv" ] || : >"$tsv"

min_of() {
    if [ -z "$1" ] || awk "BEGIN { exit !($2 < $1) }"; then echo "$2"; else echo "$1"; fi
}

# data NAME FAMILIES ALLELES SIMULATED: writes $workdir/NAME.mbd once.
data() {
    [ -f "$workdir/$1.mbd" ] ||
        "$gen" --seed 2026 --families "$2" --sibs 2 --untyped-share 0.5 --singles 0 \
            --alleles "$3" --ld moderate --simulated "$4" --initial 5 --output "$workdir/$1.mbd"
}

# run_case NAME DATA ENGINE THREADS [REFERENCE]: ENGINE is exact or fast;
# REFERENCE names an earlier case on the same data whose report is compared.
run_case() {
    name=$1 set=$2 engine=$3 threads=$4 reference=${5:-}
    dir=$workdir/$name
    mkdir -p "$dir"
    cp "$workdir/$set.mbd" "$dir/data.mbd"
    option=
    [ "$engine" = fast ] || option=--listed
    wall='' cpu='' kb='' stats=''
    i=0
    while [ "$i" -lt "$repeat" ]; do
        i=$((i + 1))
        # shellcheck disable=SC2086 # an empty option is no argument
        (cd "$dir" && TOVAQUOR_THREADS=$threads TOVAQUOR_STATS=1 \
            /usr/bin/time -f '%e %U %S %M' -o time.txt "$bin" data 2026 $option \
            >console.txt 2>stderr.txt) || {
            echo "fast.sh: case $name failed, see $dir" >&2
            return 1
        }
        read -r t_wall t_user t_sys t_kb <"$dir/time.txt"
        wall=$(min_of "$wall" "$t_wall")
        cpu=$(min_of "$cpu" "$(awk "BEGIN { printf \"%.2f\", $t_user + $t_sys }")")
        kb=$(min_of "$kb" "$t_kb")
        stats=$(grep '^stats:' "$dir/stderr.txt" || true)
    done
    stored=$(echo "$stats" | awk '{ print $3 }')
    iterations=$(echo "$stats" | awk '{ print $5 }')
    mb=$(awk "BEGIN { printf \"%.1f\", $kb / 1024 }")
    grep -v '^Total computing time' "$dir/data.mbr" >"$dir/report.txt"
    same=-
    if [ -n "$reference" ]; then
        if cmp -s "$dir/report.txt" "$workdir/$reference/report.txt"; then
            same=yes
        else
            same=no
        fi
    fi
    set -- "$name" "$engine" "$threads" "$wall" "$cpu" "$mb" "$stored" "$iterations" "$same"
    printf '|'
    printf ' %s |' "$@"
    printf '\n'
    if [ -n "$tsv" ]; then
        printf '%s' "$1" >>"$tsv"
        shift
        printf '\t%s' "$@" >>"$tsv"
        printf '\n' >>"$tsv"
    fi
}

echo '| case | engine | threads | wall s | CPU s | max RSS MB | combinations or configurations |' \
    'EM iterations | same report as the row before |'
echo '|---|---|---:|---:|---:|---:|---:|---:|---|'
for alleles in 15 20 30; do
    data "a$alleles" 300 "$alleles" 0
    if [ "$alleles" -eq 30 ] && [ "$skip_exact_big" -eq 1 ]; then
        run_case "300x2-a$alleles-fast" "a$alleles" fast 1
    else
        run_case "300x2-a$alleles-exact" "a$alleles" exact 1
        run_case "300x2-a$alleles-fast" "a$alleles" fast 1 "300x2-a$alleles-exact"
    fi
done
data a60 1000 60 0
run_case 1000x2-a60-fast a60 fast 1
data s30 300 30 100
run_case 300x2-a30-sim100-fast-1t s30 fast 1
run_case 300x2-a30-sim100-fast-2t s30 fast 2 300x2-a30-sim100-fast-1t
