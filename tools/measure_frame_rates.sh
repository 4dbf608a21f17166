#!/usr/bin/env bash
# Frame rates of patinex at 800 × 600 without vsync on Mesa's llvmpipe, for the Beethoven bust in
# each view, its samples as points at density 100 and 500, and while a run traces on all cores.
# The program is driven with real X input (xdotool) under Xvfb; Mesa's HUD writes the frames per
# second once a second to a file (GALLIUM_HUD_DUMP_DIR), and each figure is the median of the
# seconds measured after the scene is set up. The load average is printed with each figure: the
# machine may be shared.
#
# usage: tools/measure_frame_rates.sh [PATINEX] [SECONDS] [SCENARIO...]
#   (defaults build/release/bin/patinex, 10, all of shaded dirt rust points100 points500 run)
set -euo pipefail
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build/release/bin/patinex}")"
seconds="${2:-10}"
shift $(( $# < 2 ? $# : 2 ))
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(shaded dirt rust points100 points500 run)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/media"
for file in media/*; do
  case "$(basename "$file")" in mask_*) ;; *) ln -s "$(realpath "$file")" "$work/media/" ;; esac
done

cat > "$work/measure.sh" <<'EOF'
set -euo pipefail
cd "$1"; program="$2"; seconds="$3"; scenario="$4"
rm -rf hud; mkdir hud
GALLIUM_HUD=fps GALLIUM_HUD_PERIOD=1 GALLIUM_HUD_DUMP_DIR="$PWD/hud" \
  "$program" -startx:0 -starty:0 -width:800 -height:600 -noerrormsgboxes -forcevsync:0 >output 2>&1 &
pid=$!
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^Patinex$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "no window"; kill $pid; exit 1; }
click() { xdotool mousemove --window "$window" "$1" "$2"; sleep 0.2; xdotool click 1; sleep 0.3; }
away() { xdotool mousemove --window "$window" 100 550; }
type_into() { click "$1" "$2"; xdotool key ctrl+a; xdotool type --delay 60 "$3"; }
# Control positions from the panels' layout for 800 × 600 (see WindowPanels::Place in app/window_panels.cpp).
click 715 156; click 700 213            # the model picker: "Beethoven"
sleep 5                                 # loading, the kd-tree and the samples
case "$scenario" in
  dirt) click 715 342; click 700 381 ;;
  rust) click 715 342; click 700 399 ;;
  points100) type_into 735 181 100 ;;
  points500) type_into 735 181 500 ;;
  run) type_into 735 205 100; type_into 735 229 1000000; away; click 715 311 ;;
esac
away
case "$scenario" in points500) sleep 25 ;; points*) sleep 8 ;; *) sleep 2 ;; esac
# The processor time the program (all its threads, llvmpipe's included) spends per frame
# depends far less on what else runs on the machine than the frames per second do.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
skip=$(wc -l < hud/fps)
ticks=$(cpu_ticks)
sleep "$seconds"
ticks=$(( $(cpu_ticks) - ticks ))
load=$(cut -d' ' -f1 /proc/loadavg)
tail -n +"$((skip + 1))" hud/fps | sort -n | awk -v s="$scenario" -v l="$load" -v t="$ticks" -v hz="$(getconf CLK_TCK)" \
  '{v[NR]=$1; frames+=$1} END {if (NR) printf "%-10s %7.1f fps (median of %d s, min %.1f, max %.1f; %.1f ms processor time a frame; load %s)\n", s, v[int((NR+1)/2)], NR, v[1], v[NR], frames ? 1000 * t / hz / frames : 0, l}'
xdotool key --window "$window" Escape
wait $pid || true
EOF

for scenario in "${scenarios[@]}"; do
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$work/measure.sh" "$work" "$program" "$seconds" "$scenario"
done
