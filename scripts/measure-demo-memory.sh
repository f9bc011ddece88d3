#!/usr/bin/env bash
# Resident memory of the headless demo as run_demo.sh runs it: the target
# simulator with the demo project, the panel on its start page with its server
# and remote view on, 480 x 272, the screen file written at every change. After
# some seconds it prints the panel's resident set (anonymous and file-backed),
# its largest mappings and whether it maps the SDL library. Needs a built tree
# (Release for figures: build/, or --build-dir DIR); --panel PROGRAM measures
# another panel program (an older build) with the same project. Everything
# listens on 127.0.0.1 only and is stopped at the end.
#
#   scripts/measure-demo-memory.sh [--build-dir DIR] [--panel PROGRAM] [--seconds N]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/demo-rig.sh
build=build
panel=""
seconds=8
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$2; shift 2 ;;
    --panel) panel=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--panel PROGRAM] [--seconds N]" >&2; exit 2 ;;
  esac
done
use_demo_tree "$build" "$panel"
out=$(mktemp -d /tmp/panterm-memory-XXXXXX)
target_pid=""
panel_pid=""
stop_all() {
  # With its server running the panel ends at the second signal.
  for pid in $panel_pid $target_pid $panel_pid; do kill "$pid" 2>/dev/null || true; sleep 0.2; done
  wait 2>/dev/null || true
  rm -rf "$out"
}
trap stop_all EXIT
start_demo_target "$build" "$out/target.log"
prepare_demo_panel "$panel" "$out"
(cd "$out" && exec env PANTERM_DISPLAY=headless PANTERM_SCREEN=480x272 PANTERM_SNAPSHOT="$out/screen.png" \
  PANTERM_HTTPD_BIND=127.0.0.1 ./Panterm_MW >"$out/panel.out" 2>&1) &
panel_pid=$!
sleep "$seconds"
[ -f "$out/screen.png" ] || { echo "the panel wrote no screen" >&2; exit 1; }
grep -E "VmRSS|RssAnon|RssFile" "/proc/$panel_pid/status"
echo "largest mappings (kB resident):"
awk '/^[0-9a-f]+-/ { name = $6 ? $6 : "[anonymous]" } /^Rss:/ { rss[name] += $2 }
     END { for (n in rss) if (rss[n] >= 200) print rss[n], n }' "/proc/$panel_pid/smaps" | sort -rn
echo "SDL mapped: $(grep -c libSDL2 "/proc/$panel_pid/maps" || true)"
echo "libmosquitto mapped: $(grep -c libmosquitto "/proc/$panel_pid/maps" || true)"
