#!/usr/bin/env bash
# Longer checks than CI runs, for the window layer, the graphics device and the framework: their
# tests under the address and undefined-behaviour sanitizers with leak checking, the window and
# main-loop tests many times over (they meet real X input and timing), and the demo program
# switching rasterisers back and forth under real key presses; then the window program's runs
# stopped at random moments, picks and device changes during runs and a close during a run, under
# the address and the thread sanitizers.
#
# usage: tools/run_stress.sh [REPEATS] [APP_REPEATS]   (defaults 20 and 100)
#        PATINEX_STRESS_ONLY=app tools/run_stress.sh   runs the window program's part alone
set -euo pipefail
cd "$(dirname "$0")/.."
repeats="${1:-20}"
app_repeats="${2:-100}"
top="$(pwd)"
in_x() { xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"; }

# Mesa's driver is loaded and unloaded with each window; kept loaded for the whole run, its own
# allocations can be told apart (and suppressed) instead of showing as an unknown module.
mesa=""
for library in /usr/lib/*/dri/swrast_dri.so /usr/lib/*/libGLX_mesa.so.0; do
  [ -e "$library" ] && mesa="$mesa $library"
done
mesa="${mesa# }"

# The sanitizers run the simulation several times slower, and with it the wait for a stopped run
# to reach its next check of the stop flag.
sanitizer_wait_limit=20

app_stress() {
  local filter='ApplicationStress.*:ApplicationClose.*:Application.EveryPlace*'
  echo "== the window program under the address sanitizer: $app_repeats stopped runs, picks, device changes"
  cmake --preset asan >/dev/null
  cmake --build --preset asan --target app_tests -j2
  LD_PRELOAD="$mesa" ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0" \
    LSAN_OPTIONS="suppressions=$top/tools/stress/lsan_suppressions.txt:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" PATINEX_STRESS_REPEATS="$app_repeats" \
    PATINEX_STOP_WAIT_LIMIT="$sanitizer_wait_limit" \
    in_x build/asan/bin/app_tests --gtest_brief=1 --gtest_filter="$filter"

  echo "== the window program under the thread sanitizer"
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan --target app_tests -j2
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tools/stress/tsan_suppressions.txt" \
    PATINEX_STRESS_REPEATS="$app_repeats" PATINEX_STOP_WAIT_LIMIT="$sanitizer_wait_limit" \
    in_x build/tsan/bin/app_tests --gtest_brief=1 --gtest_filter="$filter"
}
if [ "${PATINEX_STRESS_ONLY:-}" = app ]; then
  app_stress
  echo "stress: all passed"
  exit 0
fi

cmake --preset asan >/dev/null
cmake --build --preset asan --target platform_tests framework_tests framework-demo

export LD_PRELOAD="$mesa"
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$top/tools/stress/lsan_suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

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
unset LD_PRELOAD ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
app_stress
echo "stress: all passed"
