#!/usr/bin/env bash
# Installs what is missing, builds the Release tree build/ and runs the demo
# plant: build/panterm-target serves the demo project (build/demo-root) on a
# free port of 127.0.0.1 with simulated values, and Panterm_MW shows its start
# page from there, in a window when a display is reachable, else headless with
# the screen written to demo-out/screen.png at every refresh. The panel's own
# server listens on another free port; its remote view (the live screen in a
# browser, with presses and keys) is printed at the start.
#
#   ./run_demo.sh               runs until Ctrl-C
#   ./run_demo.sh --seconds N   stops both programs after N seconds
#   ./run_demo.sh --protocol P  the simulator plays a controller of protocol P
#                               (native, ilr, opc, s7, wago, tbox, modbus) and the panel
#                               opens the demo page for it
#   ./run_demo.sh --mqtt        also starts a mosquitto broker on a free port of
#                               127.0.0.1 (anonymous, for the demo only); the
#                               panel publishes under panterm/demo and takes
#                               writes from panterm/demo/write/<point>
set -euo pipefail
cd "$(dirname "$0")"

usage="usage: $0 [--seconds N] [--protocol native|ilr|opc|s7|wago|tbox|modbus] [--mqtt]"
seconds=0
protocol=native
mqtt=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds)
      [ $# -ge 2 ] && [[ "$2" =~ ^[0-9]+$ ]] || { echo "$usage" >&2; exit 2; }
      seconds=$2
      shift 2
      ;;
    --protocol)
      [ $# -ge 2 ] && [[ "$2" =~ ^(native|ilr|opc|s7|wago|tbox|modbus)$ ]] || { echo "$usage" >&2; exit 2; }
      protocol=$2
      shift 2
      ;;
    --mqtt) mqtt=1; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
# The page for the protocol; an ILR target is found by the native page itself.
page=start.html
case "$protocol" in opc|s7|wago|tbox|modbus) page=start-$protocol.html ;; esac

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
# Only what the demo runs: the panel with its own pages, the simulator and
# the demo's pictures (the tests and benchmarks are built by their commands).
cmake --build build --target Panterm_MW panterm-target demo_pictures
# Where the signals sit on an S7 or WAGO controller: the page's TCR file.
protocol_args=(--protocol "$protocol")
[ -f "build/demo-root/plant-$protocol.tcr" ] && protocol_args+=(--tcr "$PWD/build/demo-root/plant-$protocol.tcr")

root=$PWD/build/demo-root
out=$PWD/demo-out
mkdir -p "$out"
rm -f "$out"/screen*.png "$out"/target.log
# The panel keeps pterm.xml and pterm.log next to itself: it runs through a link in demo-out.
ln -sf "$PWD/build/Panterm_MW" "$out/Panterm_MW"

target_pid=""
panel_pid=""
copier_pid=""
broker_pid=""
stop_all() {
  trap - INT TERM EXIT
  for pid in $copier_pid $panel_pid $target_pid $broker_pid; do
    kill "$pid" 2>/dev/null || true
  done
  # With its server on, the panel's first signal stops the server, the second the panel.
  if [ -n "$panel_pid" ]; then
    for _ in $(seq 20); do kill -0 "$panel_pid" 2>/dev/null || break; sleep 0.1; kill "$panel_pid" 2>/dev/null || true; done
  fi
  for pid in $copier_pid $panel_pid $target_pid $broker_pid; do
    wait "$pid" 2>/dev/null || true
  done
}
trap 'stop_all; echo "Stopped."; exit 130' INT TERM
trap stop_all EXIT

build/panterm-target --root "$root" --port 0 --values "$root/values.txt" --alarms "$root/alarms.txt" \
  --log "$out/target.log" \
  "${protocol_args[@]}" >"$out/target.out" 2>&1 &
target_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^port \([0-9]*\)$/\1/p' "$out/target.out" 2>/dev/null | head -n 1)
  [ -n "$port" ] && break
  kill -0 "$target_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "The target simulator did not start:" >&2
  cat "$out/target.out" >&2
  exit 1
fi
url="http://127.0.0.1:$port/$page"
echo "Target simulator ($protocol): $url (requests in demo-out/target.log)"
# A free port for the panel's own server: one that nothing answers on.
panel_port=""
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 30000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    panel_port=$candidate
    break
  fi
done

# Settings: the page to start with (also after a failed load), a full-screen
# window, start information in the log. On the first run the panel completes
# the file with its defaults; later runs only change the start page.
# The embedded server: on, on its own free port. The configuration page's file
# is demo-out/panel.cfg, made for adapter 9 so that Save applies no address to
# this machine's adapters.
if [ ! -f "$out/panel.cfg" ]; then
  printf '# Panterm Config\n#\nPT_Config.Start.Timeout=30\nPT_Config.Start.URL=%s\nPT_Config.Eth.Iface=9\n#EOF\n' \
    "$url" >"$out/panel.cfg"
fi
if [ -f "$out/pterm.xml" ] && grep -q '<config_file>' "$out/pterm.xml"; then
  sed -i -e "s#<start_page>.*</start_page>#<start_page>$url</start_page>#" \
    -e "s#<config_file>.*</config_file>#<config_file>panel.cfg</config_file>#" \
    -e "s#<httpd_enabled>.*</httpd_enabled>#<httpd_enabled>1</httpd_enabled>#" \
    -e "s#<httpd_port>.*</httpd_port>#<httpd_port>$panel_port</httpd_port>#" "$out/pterm.xml"
else
  scripts/panel-settings.sh start_page="$url" httpd_enabled=1 httpd_port="$panel_port" \
    config_file=panel.cfg remote_view=2 >"$out/pterm.xml"
fi
# The remote view with input (remote_view 2) for one account, "operator"
# with a password made anew for every run.
if grep -q '<remote_view>' "$out/pterm.xml"; then
  sed -i "s#<remote_view>.*</remote_view>#<remote_view>2</remote_view>#" "$out/pterm.xml"
else
  sed -i "s#</pterm>#\t<remote_view>2</remote_view>\n</pterm>#" "$out/pterm.xml"
fi
grep -q '<cmd_timeout_ms>' "$out/pterm.xml" ||
  sed -i "s#<remote_view>2</remote_view>#<remote_view>2</remote_view>\n\t<cmd_timeout_ms>5000</cmd_timeout_ms>#" "$out/pterm.xml"
# MQTT (docs/mqtt.md): the last elements; the broker only with --mqtt.
grep -q '<mqtt_broker>' "$out/pterm.xml" || sed -i "s#</pterm>#\t<mqtt_broker></mqtt_broker>\n\t<mqtt_prefix>panterm/demo</mqtt_prefix>\n\t<mqtt_user></mqtt_user>\n\t<mqtt_password></mqtt_password>\n\t<mqtt_cafile></mqtt_cafile>\n\t<mqtt_writes>0</mqtt_writes>\n</pterm>#" "$out/pterm.xml"
mqtt_broker=""
if [ "$mqtt" = 1 ]; then
  mqtt_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$mqtt_port" >"$out/mosquitto.conf"
  mosquitto -c "$out/mosquitto.conf" >"$out/mosquitto.out" 2>&1 &
  broker_pid=$!
  mqtt_broker=127.0.0.1:$mqtt_port
fi
sed -i -e "s#<mqtt_broker>.*</mqtt_broker>#<mqtt_broker>$mqtt_broker</mqtt_broker>#" \
  -e "s#<mqtt_writes>.*</mqtt_writes>#<mqtt_writes>$mqtt</mqtt_writes>#" "$out/pterm.xml"
remote_pass=$(head -c 32 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 16)
(umask 077 && printf '# written by run_demo.sh\noperator:%s\n' "$remote_pass" >"$out/pterm-httpd.auth")

display_usable() {
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || return 1
  if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo >/dev/null 2>&1 || return 1
  fi
  return 0
}

start_panel() { # $1: sdl or headless
  (cd "$out" && exec env PANTERM_DISPLAY="$1" PANTERM_SCREEN=480x272 PANTERM_SNAPSHOT="$out/screen.png" PANTERM_HTTPD_BIND=127.0.0.1 \
    ./Panterm_MW "$url" >"$out/panel.out" 2>&1) &
  panel_pid=$!
}

mode=headless
if display_usable; then
  start_panel sdl
  sleep 1
  if kill -0 "$panel_pid" 2>/dev/null; then
    mode=sdl
    echo "Panterm_MW shows the demo in a window on display ${DISPLAY:-$WAYLAND_DISPLAY}."
  else
    wait "$panel_pid" 2>/dev/null || true
    echo "The display cannot be used (demo-out/panel.out says why); running headless."
  fi
fi
if [ "$mode" = headless ]; then
  start_panel headless
  echo "No display: Panterm_MW runs headless and writes the screen to demo-out/screen.png at every refresh;"
  echo "every 2 seconds a copy goes to demo-out/screen-1.png, screen-2.png ..."
  (
    n=0
    while sleep 2; do
      [ -f "$out/screen.png" ] || continue
      n=$((n + 1))
      cp "$out/screen.png" "$out/screen-$n.png.tmp" && mv "$out/screen-$n.png.tmp" "$out/screen-$n.png"
    done
  ) &
  copier_pid=$!
fi
echo "Remote view: http://127.0.0.1:$panel_port/_panel/ (the live screen in a browser; clicks and keys reach the panel)"
echo "  login: operator, password: $remote_pass (demo-out/pterm-httpd.auth)"
if [ "$mqtt" = 1 ]; then
  echo "MQTT broker $mqtt_broker: mosquitto_sub -h 127.0.0.1 -p $mqtt_port -t 'panterm/#' -v"
  echo "  start the pump: mosquitto_pub -h 127.0.0.1 -p $mqtt_port -t panterm/demo/write/Pump.Run -m 1"
  echo "  values under panterm/demo/value/, the current alarms under panterm/demo/alarm/1/<number>"
fi
if [ "$seconds" -gt 0 ]; then
  echo "Log: demo-out/pterm.log. Stops after $seconds seconds, or with Ctrl-C."
else
  echo "Log: demo-out/pterm.log. Stop with Ctrl-C."
fi

if [ "$seconds" -gt 0 ]; then
  end=$((SECONDS + seconds))
  while [ $SECONDS -lt $end ] && kill -0 "$panel_pid" 2>/dev/null; do sleep 0.2; done
else
  wait "$panel_pid" || true
fi
if ! kill -0 "$panel_pid" 2>/dev/null; then
  echo "Panterm_MW has ended (demo-out/panel.out):" >&2
  tail -n 5 "$out/panel.out" >&2 || true
fi
stop_all
if [ "$mode" = headless ]; then
  shots=$(find "$out" -maxdepth 1 -name 'screen-*.png' | wc -l)
  echo "Stopped. demo-out/screen.png and $shots numbered snapshots are in demo-out/."
else
  echo "Stopped."
fi
