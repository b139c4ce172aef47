#!/bin/sh
# The bundled example with the default (summed) engine and with --listed, in
# one run: the best wall and processor time of N runs each (default 2), and
# whether report, console and log are byte-identical (times masked).
#
#   bench/engines.sh [N]
#
# Environment: BUILD_DIR (default build), TOVAQUOR_THREADS (default 1), SEED
# (default 2026).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build_dir=${BUILD_DIR:-build}
case $build_dir in /*) ;; *) build_dir=$root/$build_dir ;; esac
bin=$build_dir/app/tovaquor
repeat=${1:-2}
seed=${SEED:-2026}
export TOVAQUOR_THREADS="${TOVAQUOR_THREADS:-1}"
[ -x "$bin" ] || { echo "engines.sh: build $bin first (make build)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "engines.sh: /usr/bin/time is needed (GNU time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tovaquor-engines.XXXXXX")
trap 'rm -rf "$work"' EXIT
mask() { sed -E 's/Total computing time : [0-9]+ ms//; s/done in -?[0-9]+ ms//' "$1"; }
min_of() {
    if [ -z "$1" ] || awk "BEGIN { exit !($2 < $1) }"; then echo "$2"; else echo "$1"; fi
}

echo '| engine | runs | best wall s | best CPU s |'
echo '|---|---:|---:|---:|'
for engine in summed listed; do
    option=
    [ "$engine" = summed ] || option=--listed
    dir=$work/$engine
    mkdir -p "$dir"
    cp "$root/examples/example.mbd" "$dir/"
    wall='' cpu=''
    i=0
    while [ "$i" -lt "$repeat" ]; do
        i=$((i + 1))
        # shellcheck disable=SC2086 # an empty option is no argument
        (cd "$dir" && /usr/bin/time -f '%e %U %S' -o time.txt "$bin" $option example "$seed" \
            >console.txt 2>errors.txt)
        read -r t_wall t_user t_sys <"$dir/time.txt"
        wall=$(min_of "$wall" "$t_wall")
        cpu=$(min_of "$cpu" "$(awk "BEGIN { printf \"%.2f\", $t_user + $t_sys }")")
    done
    echo "| $engine | $repeat | $wall | $cpu |"
done
for f in example.mbr console.txt mirbo.log; do
    mask "$work/summed/$f" >"$work/a"
    mask "$work/listed/$f" >"$work/b"
    if cmp -s "$work/a" "$work/b"; then echo "$f: identical"; else echo "$f: DIFFERS"; fi
done
