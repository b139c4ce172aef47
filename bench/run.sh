#!/bin/sh
# Whole-program timings over a scaling series of generated data files.
#
#   bench/run.sh [--quick] [--skip-big] [--polymorphic] [--repeat N]
#                [--bin PROGRAM] [--counts-from FILE] [--tsv FILE]
#                [--workdir DIR]
#
# One axis varies at a time around a base case (1000 families of 1 to 4 sibs,
# 30 % of the parents untyped, 50 singles, 6 alleles at each of two loci,
# moderate linkage disequilibrium, 5 initial conditions, no simulated sample).
# Every case runs single-threaded (TOVAQUOR_THREADS=1) except one, which
# repeats the 100-simulated-sample case on two threads; its report must match
# the one-thread report byte for byte, and the speed-up is printed last.
#
# Columns: wall time, processor time (user plus system, all threads) and
# peak resident memory, from /usr/bin/time; stored combinations, EM
# iterations and processor nanoseconds per combination per EM iteration, from
# TOVAQUOR_STATS (summed over the sample and its simulated samples); the
# milliseconds the message log gives to building the combinations and to the
# haplotype EM, summed likewise; and, for cases without simulated samples,
# those EM milliseconds per combination per iteration ("log ns": wall clock,
# but available from any build of the program).
#
#   --quick            a few small cases (seconds)
#   --skip-big         leave out the 10000-family case
#   --speedup-only     only the two 100-simulated-sample cases (1 and 2 threads)
#   --polymorphic      the series of many alleles instead: 2000 singles with 20,
#                      40 and 80 alleles at each locus; 1000 families of 2 sibs
#                      with 30 alleles and one parent absent, the first, then
#                      the second; 300 families of 2 sibs whose parents are
#                      both absent, 6 to 20 alleles; and the observed sample's
#                      EM with 8 initial conditions on 1, then 2 threads
#                      (300 families, both parents absent, 8 alleles), whose
#                      reports must match
#   --repeat N         run every case N times and keep the minimum of each
#                      timing (the machine may be busy with other work)
#   --bin PROGRAM      time another build of the program; one that prints no
#                      stats line takes the counts of its "log ns" figure
#                      from --counts-from
#   --counts-from FILE a --tsv file of an earlier run on the same cases
#   --tsv FILE         also write the rows tab-separated
#   --workdir DIR      where data files and reports go [a temporary folder]
#
# Environment: BUILD_DIR (default build), JOBS (default 2). The generator, and
# without --bin the program, are built there in Release when missing.

set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
jobs=${JOBS:-2}

quick=0
skip_big=0
speedup_only=0
polymorphic=0
repeat=1
bin=
counts_from=
tsv=
workdir=
while [ $# -gt 0 ]; do
    case $1 in
    --quick) quick=1 ;;
    --skip-big) skip_big=1 ;;
    --speedup-only) speedup_only=1 ;;
    --polymorphic) polymorphic=1 ;;
    --repeat) repeat=$2; shift ;;
    --bin) bin=$2; shift ;;
    --counts-from) counts_from=$2; shift ;;
    --tsv) tsv=$2; shift ;;
    --workdir) workdir=$2; shift ;;
    -h | --help) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1 (--help lists them)" >&2; exit 2 ;;
    esac
    shift
done

gen=$build_dir/bench/tovaquor_generate
if [ ! -x "$gen" ] || { [ -z "$bin" ] && [ ! -x "$build_dir/app/tovaquor" ]; }; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" -j "$jobs" --target tovaquor tovaquor_generate >/dev/null
fi
[ -n "$bin" ] || bin=$build_dir/app/tovaquor
case $bin in /*) ;; *) bin=$(pwd)/$bin ;; esac
[ -x "$bin" ] || { echo "run.sh: no program at $bin" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is needed (GNU time)" >&2; exit 2; }

if [ -z "$workdir" ]; then
    workdir=$(mktemp -d "${TMPDIR:-/tmp}/tovaquor-bench.XXXXXX")
    trap 'rm -rf "$workdir"' EXIT
fi
mkdir -p "$workdir"
[ -z "$tsv" ] || : >"$tsv"

# The smaller of a kept value (empty at first) and a new one.
min_of() {
    if [ -z "$1" ] || awk "BEGIN { exit !($2 < $1) }"; then echo "$2"; else echo "$1"; fi
}

# Generator settings that the polymorphic series changes.
singles=50
initial=5
absent_parent=random

# run_case NAME FAMILIES SIBS UNTYPED ALLELES SIMULATED THREADS
run_case() {
    name=$1 families=$2 sibs=$3 untyped=$4 alleles=$5 simulated=$6 threads=$7
    dir=$workdir/$name
    mkdir -p "$dir"
    "$gen" --seed 2026 --families "$families" --sibs "$sibs" --untyped-share "$untyped" \
        --absent-parent "$absent_parent" --singles "$singles" --alleles "$alleles" \
        --ld moderate --simulated "$simulated" --initial "$initial" \
        --output "$dir/data.mbd"
    wall='' cpu='' ns='' kb='' build_ms='' em_ms='' stats=''
    i=0
    while [ "$i" -lt "$repeat" ]; do
        i=$((i + 1))
        (cd "$dir" && TOVAQUOR_THREADS=$threads TOVAQUOR_STATS=1 \
            /usr/bin/time -f '%e %U %S %M' -o time.txt "$bin" data 2026 \
            >console.txt 2>stderr.txt) || {
            echo "run.sh: case $name failed, see $dir" >&2
            return 1
        }
        read -r t_wall t_user t_sys t_kb <"$dir/time.txt"
        wall=$(min_of "$wall" "$t_wall")
        cpu=$(min_of "$cpu" "$(awk "BEGIN { printf \"%.2f\", $t_user + $t_sys }")")
        kb=$(min_of "$kb" "$t_kb")
        stats=$(grep '^stats:' "$dir/stderr.txt" || true)
        [ -z "$stats" ] || ns=$(min_of "$ns" "$(echo "$stats" | awk '{ print $7 }')")
        # Sums of the log's timing lines over every analysis of the run.
        build_ms=$(min_of "$build_ms" "$(awk '/^Building genotypes/ { s += $(NF - 2) }
            END { print s + 0 }' "$dir/mirbo.log")")
        em_ms=$(min_of "$em_ms" "$(awk 'em { s += $(NF - 2); em = 0 }
            /^Computing sample lnLHood/ { em = 1 } END { print s + 0 }' "$dir/mirbo.log")")
    done

    combinations=- iterations=- ns_text=- log_ns=-
    if [ -n "$stats" ]; then
        combinations=$(echo "$stats" | awk '{ print $3 }')
        iterations=$(echo "$stats" | awk '{ print $5 }')
        ns_text=$(awk "BEGIN { printf \"%.2f\", $ns }")
    elif [ -n "$counts_from" ]; then
        row=$(awk -F '\t' -v n="$name" '$1 == n' "$counts_from")
        if [ -n "$row" ]; then
            combinations=$(echo "$row" | cut -f 11)
            iterations=$(echo "$row" | cut -f 12)
        fi
    fi
    # With one sample the combinations visited are exactly combinations times
    # iterations; below 10 ms the log's whole milliseconds say too little.
    if [ "$simulated" -eq 0 ] && [ "$combinations" != - ] && [ "$em_ms" -ge 10 ]; then
        log_ns=$(awk "BEGIN { printf \"%.2f\", $em_ms * 1e6 / ($combinations * $iterations) }")
    fi
    mb=$(awk "BEGIN { printf \"%.1f\", $kb / 1024 }")

    set -- "$name" "$families" "$sibs" "$untyped" "$alleles" "$simulated" "$threads" "$wall" \
        "$cpu" "$mb" "$combinations" "$iterations" "$ns_text" "$build_ms" "$em_ms" "$log_ns"
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

# The report of a case run again on two threads must match the one-thread
# report byte for byte (but for the computing time); prints the speed-up.
thread_speedup() {
    one=$1 two=$2
    grep -v '^Total computing time' "$workdir/$one/data.mbr" >"$workdir/$one/report.txt"
    grep -v '^Total computing time' "$workdir/$two/data.mbr" >"$workdir/$two/report.txt"
    if cmp -s "$workdir/$one/report.txt" "$workdir/$two/report.txt"; then
        same="identical reports"
    else
        same="REPORTS DIFFER"
    fi
    w1=$(awk -F ' [|] ' -v n="$one" '$1 == "| " n { print $8 }' "$workdir/rows.txt")
    w2=$(awk -F ' [|] ' -v n="$two" '$1 == "| " n { print $8 }' "$workdir/rows.txt")
    echo
    awk "BEGIN { printf \"Speed-up from 1 to 2 threads ($one): %.2f ($same)\n\",
        $w1 / $w2 }"
}

# Many alleles: the tables of haplotypes and of their pairs grow with them.
polymorphic_series() {
    singles=2000
    run_case singles-20 0 2 0 20 0 1
    run_case singles-40 0 2 0 40 0 1
    run_case singles-80 0 2 0 80 0 1
    singles=0
    absent_parent=first
    run_case absent-first-30 1000 2 0.5 30 0 1
    absent_parent=second
    run_case absent-second-30 1000 2 0.5 30 0 1
    absent_parent=random
    for a in 6 10 14 20; do
        run_case both-absent-$a 300 2 1 "$a" 0 1
    done
    initial=8
    run_case restarts-8 300 2 1 8 0 1
    run_case restarts-8-2t 300 2 1 8 0 2
}

series() {
    echo '| case | families | sibs | untyped | alleles | simulated | threads | wall s | CPU s |' \
        'max RSS MB | combinations | EM iterations | ns/comb/iter | build ms | EM ms | log ns |'
    echo '|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|'
    if [ "$quick" -eq 1 ]; then
        run_case base-small 100 1-4 0.3 4 0 1
        run_case typed-small 100 1-4 0 4 0 1
        run_case alleles-8-small 100 1-4 0.3 8 0 1
        run_case sim-50-small 100 1-4 0.3 4 50 1
        run_case sim-50-small-2t 100 1-4 0.3 4 50 2
        return
    fi
    if [ "$polymorphic" -eq 1 ]; then
        polymorphic_series
        return
    fi
    if [ "$speedup_only" -eq 1 ]; then
        run_case simulated-100 1000 1-4 0.3 6 100 1
        run_case simulated-100-2t 1000 1-4 0.3 6 100 2
        return
    fi
    run_case base 1000 1-4 0.3 6 0 1
    run_case families-100 100 1-4 0.3 6 0 1
    run_case families-300 300 1-4 0.3 6 0 1
    run_case families-3000 3000 1-4 0.3 6 0 1
    [ "$skip_big" -eq 1 ] || run_case families-10000 10000 1-4 0.3 6 0 1
    run_case alleles-2 1000 1-4 0.3 2 0 1
    run_case alleles-4 1000 1-4 0.3 4 0 1
    run_case alleles-9 1000 1-4 0.3 9 0 1
    run_case alleles-12 1000 1-4 0.3 12 0 1
    run_case sibs-1 1000 1 0.3 6 0 1
    run_case sibs-3 1000 3 0.3 6 0 1
    run_case sibs-6 1000 6 0.3 6 0 1
    run_case untyped-0 1000 1-4 0 6 0 1
    run_case untyped-0.6 1000 1-4 0.6 6 0 1
    run_case simulated-20 1000 1-4 0.3 6 20 1
    # One after the other, so that both meet much the same load.
    run_case simulated-100 1000 1-4 0.3 6 100 1
    run_case simulated-100-2t 1000 1-4 0.3 6 100 2
    run_case simulated-200 1000 1-4 0.3 6 200 1
}

series | tee "$workdir/rows.txt"
if [ "$quick" -eq 1 ]; then
    thread_speedup sim-50-small sim-50-small-2t
elif [ "$polymorphic" -eq 1 ]; then
    thread_speedup restarts-8 restarts-8-2t
else
    thread_speedup simulated-100 simulated-100-2t
fi
