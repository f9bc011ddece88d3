#!/usr/bin/env bash
# Soak test of the demo (not in CI): builds the Release tree build/ and runs the
# panel headless against the target simulator for SECONDS (default 900). The
# panel cycles through all pictures of the demo (scripted presses on their
# buttons, the configuration page included), its embedded server is on with
# the remote view for screen and input behind an account (pterm-httpd.auth),
# and a client reads a value, writes one and fetches the remote view's frame
# every 200 ms with that account. The simulator is restarted 10 times on its
# port, once of them stalling its replies for 20 s. Every 30 s the panel's
# RSS, open descriptors, threads and CPU are taken from /proc into
# soak-out/soak.tsv. Fails when the panel ends early, or when its RSS or its
# descriptors at the end (the smaller of the last two samples) exceed the
# sample at two minutes by more than 5 %.
#   scripts/soak.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-900}
[[ "$seconds" =~ ^[1-9][0-9]*$ && "$seconds" -ge 240 ]] || { echo "usage: $0 [SECONDS >= 240]" >&2; exit 2; }

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target Panterm_MW panterm-target demo_pictures
root=$PWD/build/demo-root
out=$PWD/soak-out
rm -rf "$out"
mkdir -p "$out"
ln -s "$PWD/build/Panterm_MW" "$out/Panterm_MW"

. scripts/demo-rig.sh
target_port=$(free_port)
panel_port=$(free_port)

target_pid=""
panel_pid=""
client_pid=""
stop_all() {
  trap - EXIT INT TERM
  for pid in $client_pid $target_pid; do kill "$pid" 2>/dev/null || true; done
  # With its server on, the panel's first signal stops the server, the second the panel.
  if [[ -n "$panel_pid" ]]; then
    for _ in $(seq 30); do kill -0 "$panel_pid" 2>/dev/null || break; kill "$panel_pid" 2>/dev/null || true; sleep 0.1; done
  fi
  wait 2>/dev/null || true
}
trap stop_all EXIT
trap 'exit 130' INT TERM

# The simulator on its fixed port (tried again while the port is not yet
# free after a restart); extra arguments (a fault) are passed on.
start_target() {
  for _ in $(seq 20); do
    build/panterm-target --root "$root" --port "$target_port" --values "$root/values.txt" \
      --alarms "$root/alarms.txt" --log "$out/target.log" "$@" >>"$out/target.out" 2>&1 &
    target_pid=$!
    for _ in $(seq 50); do
      (exec 3<>"/dev/tcp/127.0.0.1/$target_port") 2>/dev/null && return
      kill -0 "$target_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$target_pid" 2>/dev/null || true
    wait "$target_pid" 2>/dev/null || true
    sleep 1
  done
  echo "soak: the simulator does not start on port $target_port (soak-out/target.out)" >&2
  exit 1
}
restarts=0
start_target

# The panel: the demo's start page, the server with the remote view for
# screen and input, one account beside the program, and a configuration
# file for adapter 9 (Save applies no address to this machine) that brings
# the configuration page back to the start page after 5 s.
url="http://127.0.0.1:$target_port/start.html"
printf 'soak:soak-pass\n' >"$out/pterm-httpd.auth"
printf '# Panterm Config\n#\nPT_Config.Start.Timeout=5\nPT_Config.Start.URL=%s\nPT_Config.Eth.Iface=9\n#EOF\n' \
  "$url" >"$out/panel.cfg"
scripts/panel-settings.sh start_page="$url" httpd_enabled=1 httpd_port="$panel_port" \
  config_file=panel.cfg remote_view=2 >"$out/pterm.xml"
rm -f "$out/pterm.log"

# The presses: each round visits every picture and comes back to Plant1; a
# press that lands on another page than meant (a load failed while the
# simulator was down) meets no button there or one that leads back.
round=(
  "420 237" "420 237" # Plant2 and back
  "46 237" "420 237"  # Plant3
  "118 237" "420 237" # Plant4
  "335 237" "420 237" # Plant5
  "419 199"           # Alarms
  "424 203"           # History
  "424 235"           # Alarms
  "424 237"           # Plant1
  "305 89"            # the configuration page, back by itself after 5 s
)
{
  echo "wait 5000"
  elapsed=5000
  while [[ $elapsed -lt $((seconds * 1000)) ]]; do
    for press in "${round[@]}"; do
      echo "click $press"
      echo "wait 3000"
      elapsed=$((elapsed + 3000))
    done
    echo "wait 8000"
    elapsed=$((elapsed + 8000))
  done
} >"$out/events.txt"

(cd "$out" && PANTERM_DISPLAY=headless PANTERM_EVENTS="$out/events.txt" exec ./Panterm_MW >"$out/panel.out" 2>&1) &
panel_pid=$!

# The client: a read, a write (the pump stays off) and a frame of the remote
# view every 200 ms.
(
  base="http://127.0.0.1:$panel_port"
  while true; do
    curl -s -o /dev/null -m 5 -u soak:soak-pass "$base/cgi-bin/readVal.exe?Pump.Run" \
      -o /dev/null "$base/cgi-bin/writeVal.exe?Pump.Run+0" -o /dev/null "$base/_panel/frame.png" || true
    sleep 0.2
  done
) &
client_pid=$!

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$panel_pid/stat"; }
sample() { # sample SECOND
  local rss fds threads cpu
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$panel_pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$panel_pid/status")
  fds=$(find "/proc/$panel_pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
  cpu=$(cpu_ticks)
  printf '%s\t%s\t%s\t%s\t%s\n' "$1" "$rss" "$fds" "$threads" \
    "$(awk -v a="$cpu" -v b="$last_cpu" -v t="$ticks" 'BEGIN {printf "%.1f", (a - b) * 100 / t / 30}')" \
    | tee -a "$out/soak.tsv"
  last_cpu=$cpu
}

printf 'second\trss_kb\tfds\tthreads\tcpu_pct\n' | tee "$out/soak.tsv"
last_cpu=$(cpu_ticks)
restart_every=$((seconds / 11))
next_restart=$restart_every
next_sample=30
for ((t = 1; t <= seconds; t++)); do
  sleep 1
  if ! kill -0 "$panel_pid" 2>/dev/null; then
    echo "soak: the panel ended after $t s (soak-out/panel.out, soak-out/pterm.log)" >&2
    exit 1
  fi
  if [[ $t -ge $next_restart && $restarts -lt 10 ]]; then
    kill "$target_pid" 2>/dev/null || true
    wait "$target_pid" 2>/dev/null || true
    sleep 2
    restarts=$((restarts + 1))
    if [[ $restarts -eq 5 ]]; then
      echo "soak: $t s: simulator restart $restarts of 10, its replies stalled for 20 s after 5 s" | tee -a "$out/events.log"
      start_target --stall-after 10 --fault-start 5 --fault-seconds 20
    else
      echo "soak: $t s: simulator restart $restarts of 10" | tee -a "$out/events.log"
      start_target
    fi
    next_restart=$((next_restart + restart_every))
  fi
  if [[ $t -ge $next_sample ]]; then
    sample "$t"
    next_sample=$((next_sample + 30))
  fi
done

# Growth: the end (the smaller of the last two samples) against two minutes.
awk -F'\t' 'NR > 1 { s[++n] = $1; r[n] = $2; f[n] = $3 }
  END {
    for (i = 1; i <= n && s[i] < 120; i++) {}
    if (i > n || n < 2) { print "soak: too few samples"; exit 1 }
    endR = r[n] < r[n - 1] ? r[n] : r[n - 1]
    endF = f[n] < f[n - 1] ? f[n] : f[n - 1]
    printf "soak: RSS %d kB at %d s, %d kB at the end; descriptors %d, then %d\n", r[i], s[i], endR, f[i], endF
    bad = 0
    if (endR > r[i] * 1.05) { print "soak: RSS grew by more than 5 %"; bad = 1 }
    if (endF > f[i] * 1.05) { print "soak: descriptors grew by more than 5 %"; bad = 1 }
    exit bad
  }' "$out/soak.tsv"
echo "soak: $seconds s, 10 simulator restarts (one stalled), no growth"
