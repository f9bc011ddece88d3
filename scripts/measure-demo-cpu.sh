#!/usr/bin/env bash
# Processor time of the headless demo as run_demo.sh runs it (the target
# simulator with the demo project, the panel on its start page with its server
# and remote view on, 480 x 272), with the screen file written at every change
# and without it, interleaved over some repetitions. Each run lets the panel
# settle, then counts its time on a processor over the measured seconds and
# reads its resident set at the end. Prints one line per run and the medians.
# Needs a built tree (Release for figures: build/, or --build-dir DIR); --panel
# PROGRAM measures another panel program (an older build). Everything listens on
# 127.0.0.1 only and is stopped at the end.
#
#   scripts/measure-demo-cpu.sh [--build-dir DIR] [--panel PROGRAM] [--seconds N] [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/demo-rig.sh
build=build
panel=""
seconds=20
runs=3
settle=4
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$2; shift 2 ;;
    --panel) panel=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--panel PROGRAM] [--seconds N] [--runs N]" >&2; exit 2 ;;
  esac
done
use_demo_tree "$build" "$panel"
out=$(mktemp -d /tmp/panterm-cpu-XXXXXX)
target_pid=""
panel_pid=""
stop_panel() {
  # With its server running the panel ends at the second signal.
  if [ -n "$panel_pid" ]; then
    for _ in 1 2; do kill "$panel_pid" 2>/dev/null || true; sleep 0.2; done
    wait "$panel_pid" 2>/dev/null || true
  fi
  panel_pid=""
}
stop_all() {
  stop_panel
  [ -n "$target_pid" ] && kill "$target_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$out"
}
trap stop_all EXIT
start_demo_target "$build" "$out/target.log"
prepare_demo_panel "$panel" "$out"
# Nanoseconds on a processor, summed over the panel's threads.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ t += $1 } END { printf "%.0f\n", t }'; }

# One run: prints "<percent of a core> <RSS kB>".
measure() {
  local snapshot=()
  [ "$1" = with ] && snapshot=(PANTERM_SNAPSHOT="$out/screen.png")
  rm -f "$out/screen.png"
  (cd "$out" && exec env PANTERM_DISPLAY=headless PANTERM_SCREEN=480x272 "${snapshot[@]}" \
    PANTERM_HTTPD_BIND=127.0.0.1 ./Panterm_MW >"$out/panel.out" 2>&1) &
  panel_pid=$!
  sleep "$settle"
  local before after rss
  before=$(cpu_ns "$panel_pid")
  sleep "$seconds"
  after=$(cpu_ns "$panel_pid")
  rss=$(awk '/VmRSS/ { print $2 }' "/proc/$panel_pid/status")
  stop_panel
  if [ "$1" = with ] && [ ! -f "$out/screen.png" ]; then
    echo "the panel wrote no screen" >&2
    exit 1
  fi
  awk -v t="$((after - before))" -v s="$seconds" -v r="$rss" 'BEGIN { printf "%.3f %d\n", 100 * t / 1e9 / s, r }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$out/with"
: >"$out/without"
for run in $(seq "$runs"); do
  for mode in without with; do
    result=$(measure "$mode")
    echo "run $run $mode screen file: ${result% *} % of a core, RSS ${result#* } kB"
    echo "$result" >>"$out/$mode"
  done
done
with=$(cut -d' ' -f1 "$out/with" | median)
without=$(cut -d' ' -f1 "$out/without" | median)
rss=$(cut -d' ' -f2 "$out/with" | median)
echo "median: with $with %, without $without %, ratio $(awk -v a="$with" -v b="$without" \
  'BEGIN { if (b > 0) printf "%.1f", a / b; else print "n/a" }'), RSS with the screen file $rss kB"
