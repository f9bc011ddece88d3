# Sourced by the scripts that run the demo to measure or soak it (not run on
# its own): a free loopback port, the target simulator with the demo project,
# and a panel directory set up as run_demo.sh sets up its own. The caller is
# in the repository's root.

# A port on 127.0.0.1 that nothing answers on.
free_port() {
  local candidate
  for _ in $(seq 50); do
    candidate=$((20000 + RANDOM % 30000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
      echo "$candidate"
      return
    fi
  done
  echo "no free port on 127.0.0.1" >&2
  exit 1
}

# use_demo_tree BUILD_DIR [PANEL_PROGRAM]: the built tree the demo runs from
# (the panel: its own Panterm_MW unless another is given); sets build and
# panel, and fails when the tree lacks what the demo needs.
use_demo_tree() {
  build=$(cd "$1" && pwd)
  panel=${2:-$build/Panterm_MW}
  [ -x "$panel" ] && [ -x "$build/panterm-target" ] && [ -d "$build/demo-root" ] || {
    echo "$panel, $build/panterm-target or $build/demo-root is missing: build the tree first" >&2
    exit 1
  }
}

# start_demo_target BUILD_DIR LOG: the simulator with the demo project and its
# alarms on a free port; sets target_port and target_pid.
start_demo_target() {
  target_port=$(free_port)
  "$1/panterm-target" --root "$1/demo-root" --port "$target_port" --values "$1/demo-root/values.txt" \
    --alarms "$1/demo-root/alarms.txt" >"$2" 2>&1 &
  target_pid=$!
}

# prepare_demo_panel PANEL_PROGRAM DIR: the panel program linked into DIR, its
# settings (the demo's start page on the simulator, the server on a free port
# with the remote view for screen and input, the kiosk window) and one
# account; sets panel_port.
prepare_demo_panel() {
  panel_port=$(free_port)
  ln -s "$1" "$2/Panterm_MW"
  scripts/panel-settings.sh start_page="http://127.0.0.1:$target_port/start.html" httpd_enabled=1 \
    httpd_port="$panel_port" remote_view=2 >"$2/pterm.xml"
  (umask 077 && printf 'operator:measure-only\n' >"$2/pterm-httpd.auth")
}
