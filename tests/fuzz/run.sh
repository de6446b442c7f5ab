#!/usr/bin/env bash
# Builds the fuzz harnesses with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (clang-14, libclang-rt-14-dev) into build-fuzz/
# and runs each in turn on its seed corpus.
#   tests/fuzz/run.sh [seconds] [harness ...]   default 600 s each, every harness
# Harnesses: the names of tests/fuzz/fuzz_*.cpp without "fuzz_" (http, osc,
# project, scenario, bmp, wirelog, widths, settings, rtf). Findings go to
# build-fuzz/findings/<harness>/, the grown corpus to build-fuzz/corpus/<harness>/;
# a finding worth keeping goes into tests/fuzz/corpus/<harness>/ once fixed,
# and the suite replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
seconds=${1:-600}
shift || true
if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for source in tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    harnesses+=("${name#fuzz_}")
  done
fi
out=build-fuzz
cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" > /dev/null
cmake --build "$out" --target "${harnesses[@]/#/fuzz_}"
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
for harness in "${harnesses[@]}"; do
  mkdir -p "$out/corpus/$harness" "$out/findings/$harness"
  # libFuzzer writes its job log (fuzz-0.log) in the working folder.
  (cd "$out/findings/$harness" &&
    nice -n 10 "$root/$out/tests/fuzz/fuzz_$harness" -max_total_time="$seconds" \
      -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$root/$out/findings/$harness/" \
      "$root/$out/corpus/$harness" "$root/tests/fuzz/corpus/$harness")
done
