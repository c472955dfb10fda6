#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds.
# Prints executions per second and total executions per target; exits non-zero when any target
# crashed (the input that did it is kept under <build>/artifacts/<target>/).
#
#   scripts/fuzz.sh [seconds] [target ...]      seconds default 60; targets default all built ones
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_LOG_DIR (default <build>/logs; one
# <prefix><target>.log each, prefix from FUZZ_LOG_PREFIX), FUZZ_TIMEOUT (seconds one input may take,
# default 25; raise it under `nice` on a busy machine, where an input can wait long for a core).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
[ $# -gt 0 ] && shift
build="${FUZZ_BUILD_DIR:-build-fuzz}"
logs="${FUZZ_LOG_DIR:-$build/logs}"
prefix="${FUZZ_LOG_PREFIX:-}"
timeout="${FUZZ_TIMEOUT:-25}"

packages=(clang libclang-rt-14-dev cmake ninja-build)
source scripts/apt-packages.sh
install_missing_packages "${packages[@]}"

# Several runs may share one build directory; only one of them builds at a time.
mkdir -p "$build" "$logs"
(
  flock 9
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVELMO_FUZZ=ON -DVELMO_BUILD_UI=OFF -DVELMO_BUILD_TESTS=OFF -DVELMO_BUILD_BENCH=OFF -DVELMO_WERROR=ON \
    >/dev/null
  cmake --build "$build" -j2 --target velmo_fuzzers
) 9>"$build/.build-lock"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for binary in "$build"/fuzz/*_fuzzer; do
    name="$(basename "$binary")"
    targets+=("${name%_fuzzer}")
  done
fi

dictionary_for() {
  case "$1" in
    schedule_*) echo fuzz/schedule.dict ;;
    settings_*) echo fuzz/settings.dict ;;
    *) [ -f "fuzz/$1.dict" ] && echo "fuzz/$1.dict" ;;
  esac
  return 0
}

failed=0
printf '%-20s %10s %14s %9s  %s\n' target exec/s executions "peak MB" result
for target in "${targets[@]}"; do
  binary="$build/fuzz/${target}_fuzzer"
  if [ ! -x "$binary" ]; then
    echo "no fuzz target $target (expected $binary)" >&2
    failed=1
    continue
  fi
  # New inputs go to the build directory; the committed seeds are only read.
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  log="$logs/$prefix$target.log"
  mkdir -p "$work" "$artifacts"
  options=(-max_len=32768 -max_total_time="$seconds" -timeout="$timeout" -print_final_stats=1
           -artifact_prefix="$artifacts")
  dictionary="$(dictionary_for "$target")"
  [ -n "$dictionary" ] && options+=(-dict="$dictionary")
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")

  status=0
  "$binary" "${options[@]}" "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?

  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  peak="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)"
  if [ -z "$runs" ]; then
    # A crash ends the run before the final figures; take the last progress line.
    last="$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)"
    runs="$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")"
    rate="$(sed -n 's/.*exec\/s: \([0-9]*\).*/\1/p' <<<"$last")"
  fi
  if [ "$status" -eq 0 ]; then
    result="clean"
  else
    result="FAILED (exit $status), log $log"
    failed=1
  fi
  printf '%-20s %10s %14s %9s  %s\n' "$target" "${rate:-?}" "${runs:-?}" "${peak:-?}" "$result"
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" | sed 's/^/    /'
    ls "$artifacts" | sed 's/^/    artifact: /'
  fi
done
exit "$failed"
