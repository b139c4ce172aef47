#!/bin/sh
# Side by side: this program and a peer R package's EM on the same unrelated
# singles (2000 of them, 40 and 80 alleles at each of two loci).
#
#   bench/peer_compare.sh [--repeat N] [--bin PROGRAM] [--tries T]
#
# The peer is the R package of Debian's r-cran-haplo.stats (its haplo.em with
# T random starts, default 20); install it with apt-get. This program runs on
# one thread (TOVAQUOR_THREADS=1) with 20 initial conditions too. Columns:
# wall seconds of the whole program (reading, allele and haplotype
# estimation, report) and the peer's haplo.em alone (from system.time, R's
# start-up and the reading of the file excluded), minimum of N runs; and the
# log-likelihoods, which need not agree to the last digit (different
# stopping rules).

set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac

repeat=3
tries=20
bin=
while [ $# -gt 0 ]; do
    case $1 in
    --repeat) repeat=$2; shift ;;
    --tries) tries=$2; shift ;;
    --bin) bin=$2; shift ;;
    -h | --help) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "peer_compare.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

command -v Rscript >/dev/null || {
    echo "peer_compare.sh: Rscript is needed (apt-get install r-cran-haplo.stats)" >&2
    exit 2
}
gen=$build_dir/bench/tovaquor_generate
if [ ! -x "$gen" ] || { [ -z "$bin" ] && [ ! -x "$build_dir/app/tovaquor" ]; }; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" -j 2 --target tovaquor tovaquor_generate >/dev/null
fi
[ -n "$bin" ] || bin=$build_dir/app/tovaquor

work=$(mktemp -d "${TMPDIR:-/tmp}/tovaquor-peer.XXXXXX")
trap 'rm -rf "$work"' EXIT

min_of() {
    if [ -z "$1" ] || awk "BEGIN { exit !($2 < $1) }"; then echo "$2"; else echo "$1"; fi
}

echo "| singles | alleles | this program s | its log-likelihood | peer haplo.em s | its log-likelihood |"
echo "|---:|---:|---:|---:|---:|---:|"
for alleles in 40 80; do
    "$gen" --seed 2026 --families 0 --singles 2000 --alleles "$alleles" --ld moderate \
        --initial "$tries" --output "$work/s$alleles.mbd"
    ours='' peer='' ours_ln='' peer_ln=''
    i=0
    while [ "$i" -lt "$repeat" ]; do
        i=$((i + 1))
        (cd "$work" && TOVAQUOR_THREADS=1 /usr/bin/time -f '%e' -o time.txt "$bin" \
            "s$alleles" 2026 >/dev/null)
        ours=$(min_of "$ours" "$(cat "$work/time.txt")")
        ours_ln=$(awk '/Samp. logLHood/ { getline; print $1; exit }' "$work/s$alleles.mbr")
        set -- $(Rscript "$here/peer_haplo_em.R" "$work/s$alleles.mbd" "$tries")
        peer=$(min_of "$peer" "$1")
        peer_ln=$2
    done
    echo "| 2000 | $alleles | $ours | $ours_ln | $peer | $peer_ln |"
done
