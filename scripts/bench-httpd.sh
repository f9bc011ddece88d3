#!/usr/bin/env bash
# Requests per second of the panel's embedded server against nginx on the same
# machine, each request on a new connection (ab without keep-alive): a value
# read (readVal.exe) and a 4 KB file from the page directory, which nginx serves
# too. Needs a built tree (Release for figures: build/, or --build-dir DIR) and
# nginx and ab (scripts/install-deps.sh --bench). Everything listens on
# 127.0.0.1 only and is stopped at the end.
#
#   scripts/bench-httpd.sh [--build-dir DIR] [--requests N]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
requests=3000
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$2; shift 2 ;;
    --requests) requests=$2; shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR] [--requests N]" >&2; exit 2 ;;
  esac
done
for tool in nginx ab; do
  command -v "$tool" >/dev/null 2>&1 || PATH=$PATH:/usr/sbin command -v "$tool" >/dev/null 2>&1 || {
    echo "$tool is missing: run scripts/install-deps.sh --bench" >&2
    exit 1
  }
done
PATH=$PATH:/usr/sbin
[ -x "$build/Panterm_MW" ] && [ -d "$build/demo-root" ] || {
  echo "$build/Panterm_MW or $build/demo-root is missing: build the tree first" >&2
  exit 1
}

work=$(mktemp -d /tmp/panterm-bench-XXXXXX)
chmod 755 "$work"
panel_pid=""
nginx_pid=""
cleanup() {
  if [ -n "$panel_pid" ]; then
    for _ in 1 2 3; do kill "$panel_pid" 2>/dev/null || true; sleep 0.3; done
    wait "$panel_pid" 2>/dev/null || true
  fi
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

. scripts/demo-rig.sh

mkdir -p "$work/www" "$work/panel"
cp "$build"/demo-root/* "$work/www/"
head -c 4096 /dev/urandom | base64 -w 64 | head -c 4096 >"$work/www/file4k.txt"
panel_port=$(free_port)
nginx_port=$(free_port)
while [ "$nginx_port" = "$panel_port" ]; do nginx_port=$(free_port); done

ln -s "$(cd "$build" && pwd)/Panterm_MW" "$work/panel/Panterm_MW"
scripts/panel-settings.sh start_page="$work/www/start.html" debug_level=0 httpd_enabled=1 \
  httpd_port="$panel_port" >"$work/panel/pterm.xml"
(cd "$work/panel" && exec env PANTERM_DISPLAY=headless PANTERM_SCREEN=480x272 PANTERM_HTTPD_BIND=127.0.0.1 \
  ./Panterm_MW >panel.out 2>&1) &
panel_pid=$!

cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
user root;
pid $work/nginx.pid;
error_log $work/nginx.err;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
  }
}
CONF
mkdir -p "$work/tmp"
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!

for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$panel_port/file4k.txt" >/dev/null 2>&1 &&
    curl -sf "http://127.0.0.1:$nginx_port/file4k.txt" >/dev/null 2>&1 && break
  sleep 0.1
done

rate() { # $1 concurrency, $2 URL; a run with failed or non-2xx answers does not count
  local report
  report=$(ab -q -n "$requests" -c "$1" "$2" 2>/dev/null) || { echo failed; return; }
  if grep -q '^Non-2xx responses' <<<"$report" || ! grep -q '^Failed requests: *0$' <<<"$report"; then
    echo "failed: $(grep -A1 '^Failed requests' <<<"$report" | tr -s ' \n' ' ')" >&2
    echo failed
    return
  fi
  sed -n 's/^Requests per second: *\([0-9.]*\).*/\1/p' <<<"$report"
}
printf '%-28s %12s %12s\n' "request (new connection each)" "concurrency" "requests/s"
for c in 1 8; do
  printf '%-28s %12s %12s\n' "panel readVal.exe" "$c" "$(rate "$c" "http://127.0.0.1:$panel_port/cgi-bin/readVal.exe?Pump.Run")"
  panel_file=$(rate "$c" "http://127.0.0.1:$panel_port/file4k.txt")
  nginx_file=$(rate "$c" "http://127.0.0.1:$nginx_port/file4k.txt")
  printf '%-28s %12s %12s\n' "panel 4 KB file" "$c" "$panel_file"
  printf '%-28s %12s %12s\n' "nginx 4 KB file" "$c" "$nginx_file"
  awk -v p="$panel_file" -v n="$nginx_file" -v c="$c" 'BEGIN { if (n > 0) printf "%-28s %12s %12.2f\n", "ratio panel/nginx (file)", c, p / n }'
done
