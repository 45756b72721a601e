#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#  1. the tests under AddressSanitizer and UndefinedBehaviorSanitizer, one
#     process a test (CTest), then each test binary whole once with its
#     tests shuffled (state one test leaves behind shows up there),
#  2. the tests again in a Release build, and the benchmarks once in a short
#     smoke mode,
#  3. the libFuzzer targets (clang), each for a bounded time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash tools/install_deps.sh

jobs="$(nproc)"
# Reports raised inside system libraries are listed, with their reason, in
# tools/asan_suppressions.txt; every sanitizer stage below reads it.
export ASAN_OPTIONS="suppressions=$root/tools/asan_suppressions.txt${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

echo "== tests (ASan + UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS="-O1" >/dev/null
cmake --build build/asan -j "$jobs"
(cd build/asan && ctest -j "$jobs" --output-on-failure --timeout 300)

echo "== tests (ASan + UBSan), each binary whole, shuffled"
for t in build/asan/tests/test_*; do
  [ -x "$t" ] || continue
  echo "-- $(basename "$t")"
  (cd build/asan/tests && timeout 1200 "./$(basename "$t")" --gtest_shuffle --gtest_brief=1)
done

echo "== tests and benchmarks (Release)"
# Optimised code can expose what the sanitizer build hides.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_TESTS=ON -DVESK_BENCH=ON >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && ctest -j "$jobs" --output-on-failure --timeout 300)
if [ -x build/release/bench/vesk_bench ]; then
  build/release/bench/vesk_bench --benchmark_min_time=0.002
fi

echo "== fuzz targets (bounded)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=None -DVESK_FUZZ=ON -DVESK_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-O1 -fsanitize=address,undefined,fuzzer-no-link" -DCMAKE_C_FLAGS="-O1 -fsanitize=address,undefined,fuzzer-no-link" >/dev/null
cmake --build build/fuzz -j "$jobs"
for f in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name="$(basename "$f")"
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  for seeds in "tests/fuzz/seeds/$name" "build/fuzz/tests/fuzz/seeds/$name"; do
    if [ -d "$seeds" ]; then cp -r "$seeds/." "$corpus/"; fi
  done
  echo "-- $name"
  # Low memory limits: a small input that makes a reader take hundreds of
  # megabytes, in one block or in many, is a finding. AddressSanitizer keeps
  # freed blocks in a quarantine (256 MB by default) that would count against
  # the resident limit on its own; a small one keeps the limit about the
  # reader.
  log="build/fuzz/$name.log"
  if ! ASAN_OPTIONS="quarantine_size_mb=16:thread_local_quarantine_size_kb=256:${ASAN_OPTIONS:-}" \
      "$f" -max_total_time="${VESK_FUZZ_SECONDS:-10}" -rss_limit_mb=256 -malloc_limit_mb=256 \
      -artifact_prefix="build/fuzz/$name-" "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $name failed; the input is in build/fuzz/$name-*" >&2
    exit 1
  fi
  tail -n 1 "$log"
done
echo "all test stages passed"
