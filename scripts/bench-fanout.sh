#!/usr/bin/env bash
# Many panels on one controller: the load on the controller and the delay to
# the panels' screens, polling directly against polling through one gateway
# panel and an MQTT broker (docs/mqtt.md).
#
# One simulator (build/panterm-target with the demo plant) serves all runs:
#   direct N   N headless panels (1, 5, 20) poll the simulator themselves;
#   gateway    one panel polls and publishes to mosquitto, 20 panels show the
#              same page with MQTTSOURCE and read the broker.
# For each run: the simulator's requests per second (its --log, counted over
# the measuring window, writes excluded), and the delay from a change of
# Pump.Run on the simulator to the last panel that shows it. Every panel
# publishes the values it shows under a prefix of its own right after the
# refresh cycle that drew them, so the time of that message on the broker is
# the time the panel's screen changed.
#
# Needs a Release tree (build/, or --build-dir DIR) and mosquitto and
# mosquitto-clients. Everything listens on 127.0.0.1 only and is stopped at
# the end.
#
#   scripts/bench-fanout.sh [--build-dir DIR] [--seconds S] [--changes C]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
seconds=20
changes=6
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --changes) changes=$2; shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--seconds S] [--changes C]" >&2; exit 2 ;;
  esac
done
PATH=$PATH:/usr/sbin
command -v mosquitto >/dev/null || { echo "mosquitto is missing: install the Debian package mosquitto" >&2; exit 1; }
command -v mosquitto_sub >/dev/null || {
  echo "mosquitto_sub is missing: install the Debian package mosquitto-clients" >&2
  exit 1
}
[ -x "$build/Panterm_MW" ] && [ -x "$build/panterm-target" ] && [ -d "$build/demo-root" ] || {
  echo "$build/Panterm_MW, panterm-target or demo-root is missing: build the tree first" >&2
  exit 1
}
build=$(cd "$build" && pwd)

work=$(mktemp -d /tmp/panterm-fanout-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
now_ms() { date +%s%3N; }

# The simulator, with request times in its log.
cp -r "$build/demo-root" "$work/root"
period=$(sed -n 's/.*name="Period" value="\([0-9]*\)".*/\1/p' "$work/root/start.html")
"$build/panterm-target" --root "$work/root" --port 0 --values "$work/root/values.txt" --log "$work/requests.log" \
  --log-times >"$work/target.out" 2>&1 &
pids+=($!)
target_start=$(now_ms)
for _ in $(seq 100); do
  target_port=$(sed -n 's/^port \([0-9]*\)$/\1/p' "$work/target.out" | head -n 1)
  [ -n "$target_port" ] && break
  sleep 0.05
done
[ -n "$target_port" ] || { echo "the simulator did not start" >&2; exit 1; }
target=http://127.0.0.1:$target_port

broker_port=$(free_port)
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nmax_queued_messages 100000\n' "$broker_port" \
  >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/mosquitto.out" 2>&1 &
pids+=($!)
sleep 0.5

gateway_prefix=panterm/gw
sed "s#</applet>#<param name=\"MQTTSOURCE\" value=\"127.0.0.1:$broker_port/$gateway_prefix\">\n</applet>#" \
  "$work/root/start.html" >"$work/root/viewer.html"

settings() { # $1 prefix, $2 writes
  scripts/panel-settings.sh mqtt_broker="127.0.0.1:$broker_port" mqtt_prefix="$1" mqtt_writes="$2"
}

run_pids=()
start_panel() { # $1 name, $2 page, $3 writes
  local dir=$work/$1
  mkdir -p "$dir"
  ln -sf "$build/Panterm_MW" "$dir/Panterm_MW"
  settings "panterm/$1" "$3" >"$dir/pterm.xml"
  (cd "$dir" && exec env PANTERM_DISPLAY=headless PANTERM_SCREEN=480x272 ./Panterm_MW "$target/$2" >panel.out 2>&1) &
  run_pids+=($!)
  pids+=($!)
}
stop_run() {
  for pid in "${run_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${run_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  run_pids=()
}

# Requests per second of the simulator between two times (ms since epoch).
rate() {
  local from=$(($1 - target_start)) to=$(($2 - target_start))
  awk -v from="$from" -v to="$to" -v s="$(( ($2 - $1) ))" \
    '$1 >= from && $1 < to && $0 !~ /writeVal/ { n++ } END { printf "%.1f", n * 1000 / s }' "$work/requests.log"
}

write_value() { # a write to the simulator, as a panel sends it
  exec 3<>"/dev/tcp/127.0.0.1/$target_port"
  printf 'GET /cgi-bin/writeVal.exe?%s HTTP/1.0\r\n\r\n' "$1" >&3
  cat <&3 >/dev/null
  exec 3>&-
}

# Delays (ms) from changes of Pump.Run on the simulator to the last of the
# panels (their prefixes in $1) that shows it: "median max".
delays() {
  local panels=$1 count expect value t0 out all=()
  count=$(wc -w <<<"$panels")
  for c in $(seq "$changes"); do
    value=$((c % 2))
    out=$work/sub-$c.txt
    mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t 'panterm/+/value/Pump.Run' -F '%U %t %p' -W 10 >"$out" 2>/dev/null &
    local sub=$!
    sleep 0.3
    t0=$(date +%s.%N)
    write_value "Pump.Run+$value"
    expect=0
    for _ in $(seq 100); do
      expect=$(awk -v v="$value" -v t0="$t0" '$3 == v && $1 > t0 { seen[$2] = 1 } END { print length(seen) }' "$out")
      [ "$expect" -ge "$count" ] && break
      sleep 0.1
    done
    kill "$sub" 2>/dev/null || true
    wait "$sub" 2>/dev/null || true
    all+=("$(awk -v v="$value" -v t0="$t0" -v want="$panels" '
      BEGIN { n = split(want, w, " "); for (i = 1; i <= n; i++) keep["panterm/" w[i] "/value/Pump.Run"] = 1 }
      $3 == v && $1 > t0 && ($2 in keep) && !($2 in first) { first[$2] = $1 }
      END { m = 0; k = 0; for (t in first) { k++; if (first[t] > m) m = first[t] }
            if (k < n) print "lost"; else printf "%d\n", (m - t0) * 1000 }' "$out")")
    sleep 1
  done
  printf '%s\n' "${all[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "%s %s", v[int((NR + 1) / 2)], v[NR] }'
}

report() { # $1 label, $2 rate, $3 delays
  printf '| %-28s | %8s | %10s | %10s |\n' "$1" "$2" "${3% *}" "${3#* }"
}

echo "Refresh period of the demo page: $period ms; measuring window ${seconds} s; $changes changes per run."
echo
printf '| %-28s | %8s | %10s | %10s |\n' "run" "req/s" "median ms" "max ms"
printf '|%s|%s|%s|%s|\n' "------------------------------" "----------" "------------" "------------"
for n in 1 5 20; do
  names=""
  for i in $(seq "$n"); do
    start_panel "d$i" start.html 0
    names="$names d$i"
  done
  sleep 8
  t1=$(now_ms)
  sleep "$seconds"
  r=$(rate "$t1" "$(now_ms)")
  d=$(delays "$names")
  report "$n direct" "$r" "$d"
  stop_run
  sleep 2
done

start_panel gw start.html 1
sleep 3
names=""
for i in $(seq 20); do
  start_panel "r$i" viewer.html 0
  names="$names r$i"
done
sleep 8
t1=$(now_ms)
sleep "$seconds"
r=$(rate "$t1" "$(now_ms)")
d=$(delays "$names")
report "1 gateway + 20 through MQTT" "$r" "$d"
stop_run
