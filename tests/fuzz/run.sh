#!/usr/bin/env bash
# Builds the fuzz harness of scenario loading (RTF reader, document building,
# layout, saved text) with libFuzzer and AddressSanitizer (clang-14,
# libclang-rt-14-dev) and runs it on the seed corpus.
#   tests/fuzz/run.sh [seconds]      default 600
# Findings go to build-fuzz/findings/; the grown corpus to build-fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-600}
out=build-fuzz
mkdir -p "$out/corpus" "$out/findings"
cxx=$(command -v clang++-14 || command -v clang++)
# Qt is built with -fPIC and reduced relocations: the harness must be PIC too.
"$cxx" -std=c++17 -g -O1 -fPIC -fsanitize=fuzzer,address -I. \
  $(pkg-config --cflags Qt6Core Qt6Gui) \
  tests/fuzz/fuzz_rtf.cpp editor/RtfReader.cpp editor/ScenarioDocument.cpp \
  app/Gbk.cpp app/ProjectFile.cpp app/Struct.cpp app/AppPaths.cpp \
  $(pkg-config --libs Qt6Core Qt6Gui) -o "$out/fuzz_rtf"
export QT_QPA_PLATFORM=offscreen
root=$(pwd)
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
cd "$out"   # libFuzzer writes its job log (fuzz-0.log) here
exec nice -n 10 ./fuzz_rtf -max_total_time="$seconds" -jobs=1 -workers=1 \
  -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$root/$out/findings/" "$root/$out/corpus" "$root/tests/fuzz/corpus"
