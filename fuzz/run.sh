#!/usr/bin/env bash
# Builds the fuzzing target and runs it for DURATION seconds (default 60) on one
# process, starting from the seed corpus in fuzz/corpus. New inputs collect in
# build-fuzz/corpus, findings in build-fuzz/findings; a finding does not stop the
# run (fork mode with one worker). Further arguments go to libFuzzer; a
# TOVAQUOR_MAX_MEMORY_MB set in the environment replaces the target's 64.
#   fuzz/run.sh 1800
#   TOVAQUOR_MAX_MEMORY_MB=16 fuzz/run.sh 1200 -max_len=512
set -euo pipefail
duration=${1:-60}
shift || true
here=$(cd "$(dirname "$0")" && pwd)
build=${TOVAQUOR_FUZZ_BUILD:-$here/../build-fuzz}

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2
mkdir -p "$build/corpus" "$build/findings"

cd "$build/findings"
exec "$build/fuzz_analysis" \
  -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
  -max_total_time="$duration" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
  -dict="$here/mbd.dict" -print_final_stats=1 \
  -artifact_prefix="$build/findings/" \
  "$@" "$build/corpus" "$here/corpus"
