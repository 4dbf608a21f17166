#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests, a short run of each fuzzer
# over its corpus, and a build of the benchmarks so they cannot rot unnoticed.
set -euo pipefail
cd "$(dirname "$0")/.."

# The window and drawing tests need a display: they get a virtual X server of their own with
# Mesa's software OpenGL, whatever display the caller has.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" cmake --workflow --preset test
cmake --workflow --preset fuzz
cmake --preset bench >/dev/null
cmake --build --preset bench

# The tracing workers, the run's thread and the pool share samples, flags and queues, and a
# model's materials are counted from several threads: run their tests under the thread
# sanitizer, which fails on the first data race it sees.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target threadinglib_tests simulation_tests renderlib_tests
export TSAN_OPTIONS="halt_on_error=1"
build/tsan/bin/threadinglib_tests
build/tsan/bin/simulation_tests --gtest_filter='PatinexProcessTest.*:TraceTask.*'
build/tsan/bin/renderlib_tests --gtest_filter='CountedHandle.*'
