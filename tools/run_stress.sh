#!/usr/bin/env bash
# Longer checks than CI runs, for the window layer, the graphics device and the framework: their
# tests under the address and undefined-behaviour sanitizers with leak checking, the window and
# main-loop tests many times over (they meet real X input and timing), and the demo program
# switching rasterisers back and forth under real key presses.
#
# usage: tools/run_stress.sh [REPEATS]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
repeats="${1:-20}"
top="$(pwd)"

cmake --preset asan >/dev/null
cmake --build --preset asan --target platform_tests framework_tests framework-demo

# Mesa's driver is loaded and unloaded with each window; kept loaded for the whole run, its own
# allocations can be told apart (and suppressed) instead of showing as an unknown module.
mesa=""
for library in /usr/lib/*/dri/swrast_dri.so /usr/lib/*/libGLX_mesa.so.0; do
  [ -e "$library" ] && mesa="$mesa $library"
done
export LD_PRELOAD="${mesa# }"
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$top/tools/stress/lsan_suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
in_x() { xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"; }

echo "== platform and framework tests under the sanitizers"
in_x build/asan/bin/platform_tests --gtest_brief=1
in_x build/asan/bin/framework_tests --gtest_brief=1

echo "== window and main-loop tests, $repeats times"
in_x build/asan/bin/platform_tests --gtest_brief=1 --gtest_repeat="$repeats" --gtest_filter='WindowTest.*:GraphicsDevice*'
in_x build/asan/bin/framework_tests --gtest_brief=1 --gtest_repeat="$repeats" --gtest_filter='MainLoop.*'

echo "== the demo switching rasterisers $repeats times under real key presses"
in_x bash -c '
  set -euo pipefail
  build/asan/bin/framework-demo -noerrormsgboxes > /tmp/patinex_stress_demo.log 2>&1 &
  demo=$!
  window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --name "Patinex framework demo" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || { echo "the demo window did not appear"; kill $demo; exit 1; }
  for _ in $(seq 1 '"$repeats"'); do
    xdotool key --window "$window" F1; sleep 0.5
    window=$(xdotool search --name "Patinex framework demo" | head -1)
    xdotool key --window "$window" F2; sleep 0.5
    window=$(xdotool search --name "Patinex framework demo" | head -1)
  done
  xdotool key --window "$window" Escape
  wait $demo || { echo "the demo ended with $?"; cat /tmp/patinex_stress_demo.log; exit 1; }
  grep -c "drawing with" /tmp/patinex_stress_demo.log | sed "s/^/renderer changes seen: /"
'
echo "stress: all passed"
