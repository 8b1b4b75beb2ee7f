#!/usr/bin/env bash
# Builds both platforms and runs every test: Linux natively, Linux under
# AddressSanitizer + UndefinedBehaviorSanitizer, the Windows build under Wine,
# the code-page agreement check between the two, and the fuzz targets.
# Installs what is missing first. Prints "summary: N passed, N failed" last.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${QUORIL_JOBS:-$(nproc)}
fuzz_seconds=${QUORIL_FUZZ_SECONDS:-30}
passed=0 failed=0 failures=()

say() { printf '\n==== %s\n' "$*"; }
record() {  # record NAME STATUS
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$1"); fi
}
build() {  # build PRESET [cmake args...]
  local preset=$1; shift
  say "configure and build: $preset"
  cmake --preset "$preset" "$@" >/dev/null && cmake --build --preset "$preset" -j "$jobs"
}
run_ctest() {  # run_ctest PRESET: every ctest test counts on its own
  local preset=$1 log
  log=$(mktemp)
  say "tests: $preset"
  ctest --preset "$preset" 2>&1 | tee "$log"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    record "ctest $preset (no result)" 1
  else
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    [ "$bad" -eq 0 ] || failures+=("ctest $preset: $bad failed")
  fi
  rm -f "$log"
}

say "dependencies"
bash scripts/install-deps.sh || { echo "cannot install the dependencies" >&2; exit 1; }

# The Windows window tests need an X display; start a private Xvfb when none is set.
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  for prefix in build/wineprefix-*; do
    [ -d "$prefix" ] && WINEPREFIX="$root/$prefix" timeout 20 wineserver -k 2>/dev/null
  done
  return 0
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 99); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  echo "started Xvfb on $DISPLAY"
fi

# --- Linux --------------------------------------------------------------------
if build linux; then run_ctest linux; else record "build linux" 1; fi
if build linux-asan; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_ctest linux-asan
  unset ASAN_OPTIONS UBSAN_OPTIONS
else record "build linux-asan" 1; fi

# --- Windows --------------------------------------------------------------------
# The shipped program is 32-bit. Its tests run under 32-bit Wine where the
# kernel can execute 32-bit code; elsewhere the same sources are tested as a
# 64-bit build under 64-bit Wine, and the 32-bit build is checked as a file.
if build win32; then
  say "check: Quoril.exe is a self-contained 32-bit program"
  bash scripts/check-exe.sh build/win32/app/Quoril.exe; record "check Quoril.exe" $?
else record "build win32" 1; fi
if /usr/lib/wine/wine --version >/dev/null 2>&1; then win=win32; else
  win=win64
  echo "32-bit Wine cannot run on this kernel: the Windows tests run from the 64-bit build"
  build win64 || record "build win64" 1
fi
[ -d "build/$win" ] && run_ctest "$win"

# --- The two code-page back ends agree -------------------------------------------
# The Windows build writes what MultiByteToWideChar/WideCharToMultiByte give for
# every GBK byte and pair and every BMP code point; the Linux test compares ICU's
# results with it and lists the expected differences.
say "check: ICU and Windows convert code page 936 alike"
arch=$([ "$win" = win32 ] && echo i686 || echo x86_64)
table=$root/build/cp936-table.txt
if timeout 600 cmake/wine-run.sh "$arch" "build/$win/tests/encoding/cp936_dump.exe" > "$table"; then
  QUORIL_CP936_TABLE=$table QUORIL_CP936_DIFFS=$root/build/cp936-diffs.txt \
    ctest --test-dir build/linux -R '^cp936_agreement_test$' -V > build/cp936-check.log 2>&1
  record "cp936 agreement" $?
  # The counts of each class of difference, and any failure in full.
  grep -E '^[0-9]+: ([^ \[]|\[ *(OK|FAILED|SKIPPED))|Failure|tests passed' build/cp936-check.log
else
  record "cp936 table under Wine" 1
fi

# --- Fuzzing ----------------------------------------------------------------------
if [ -x scripts/fuzz.sh ]; then
  say "fuzz targets, $fuzz_seconds s each"
  bash scripts/fuzz.sh "$fuzz_seconds"; record "fuzz" $?
fi

say "done"
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
