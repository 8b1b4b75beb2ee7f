#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang, ASan, UBSan) and runs
# each for a bounded time: scripts/fuzz.sh [SECONDS_EACH] [TARGET...]
#
#   scripts/fuzz.sh            every target for 30 s (the test command's run)
#   scripts/fuzz.sh 600        every target for 10 minutes (the longer run)
#   scripts/fuzz.sh 60 fuzz_url
#
# Each target starts from its committed seeds in tests/fuzz/corpus/<target>/,
# copied to a scratch directory so the committed corpus never changes. A
# finding (crash, sanitizer report, broken property, time-out, out of memory)
# is kept under $QUORIL_FUZZ_BUILD/findings/<target>/ and makes the script
# exit non-zero. Prints one line per target with its execution count.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift $(( $# > 0 ? 1 : 0 ))
build=${QUORIL_FUZZ_BUILD:-build/fuzz}
jobs=${QUORIL_JOBS:-2}

if [ $# -gt 0 ]; then targets=("$@"); else
  targets=()
  for f in tests/fuzz/fuzz_*.cc; do targets+=("$(basename "$f" .cc)"); done
fi

echo "fuzz: building ${targets[*]} in $build"
cmake --preset fuzz -B "$build" >/dev/null &&
  cmake --build "$build" -j "$jobs" --target "${targets[@]}" || {
    echo "fuzz: build failed" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for t in "${targets[@]}"; do
  corpus=$scratch/$t findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  cp tests/fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null
  log=$scratch/$t.log
  # -max_total_time bounds the run; the outer timeout only guards a hang in
  # libFuzzer itself.
  timeout $((seconds + 120)) "$build/tests/fuzz/$t" "$corpus" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1
  rc=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
  rss=$(sed -nE 's/^stat::peak_rss_mb: *([0-9]+)/\1/p' "$log")
  if [ "$rc" -eq 0 ]; then
    printf 'fuzz: %-18s ok       %10s executions in %ss, peak RSS %s MB\n' "$t" "${runs:-?}" "$seconds" "${rss:-?}"
  else
    status=1
    cp "$log" "$findings/log.txt"
    printf 'fuzz: %-18s FINDING  exit %s after %s executions; log and input in %s\n' \
      "$t" "$rc" "${runs:-?}" "$findings"
    grep -E 'ERROR|property violated|runtime error|SUMMARY' "$log" | head -n 5
  fi
done
[ "$status" -eq 0 ] && echo "fuzz: no finding" || echo "fuzz: FINDINGS, see above"
exit "$status"
