#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests, a short run of each fuzzer
# over its corpus, and the sanitizer runs. The benchmarks are built with the unit tests (same
# tree, same libraries) so they cannot rot unnoticed without compiling everything twice.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's wall time, so the slow one is plain when the whole run nears its budget.
stage_started=$SECONDS
stage_done() {
  echo "== $1: $((SECONDS - stage_started)) s (total $SECONDS s)"
  stage_started=$SECONDS
}

# The window and drawing tests need a display: they get a virtual X server of their own with
# Mesa's software OpenGL, whatever display the caller has.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" cmake --workflow --preset test
stage_done "build and unit tests"
cmake --workflow --preset fuzz
stage_done "fuzzers"

# The tracing workers, the run's thread and the pool share samples, flags and queues, and a
# model's materials are counted from several threads: run their tests under the thread
# sanitizer, which fails on the first data race it sees.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target threadinglib_tests simulation_tests renderlib_tests
export TSAN_OPTIONS="halt_on_error=1"
build/tsan/bin/threadinglib_tests
build/tsan/bin/simulation_tests --gtest_filter='PatinexProcessTest.*:TraceTask.*'
build/tsan/bin/renderlib_tests --gtest_filter='CountedHandle.*'
stage_done "thread sanitizer"

# The window layer and the framework under the address and undefined-behaviour sanitizers, with
# leak checking: what they free at exit and what a device change frees underfoot. Mesa's driver
# stays loaded for the whole run so that its own allocations can be told apart and suppressed.
cmake --preset asan >/dev/null
cmake --build --preset asan --target platform_tests framework_tests
mesa=""
for library in /usr/lib/*/dri/swrast_dri.so /usr/lib/*/libGLX_mesa.so.0; do
  [ -e "$library" ] && mesa="$mesa $library"
done
export LD_PRELOAD="${mesa# }"
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$(pwd)/tools/stress/lsan_suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" build/asan/bin/platform_tests --gtest_brief=1
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" build/asan/bin/framework_tests --gtest_brief=1
stage_done "address sanitizer"
