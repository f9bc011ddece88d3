#!/usr/bin/env bash
# Builds the Debian package from a Release tree and checks it: lintian, the
# control data, the installed layout (extracted into a temporary root), the
# panel's state directory across an update, the panel run from that layout,
# and the unit with systemd-analyze verify. Touches nothing outside the build
# tree and its temporary directory: the package is never installed on this
# machine. The exit status is the result; the last line counts the checks.
#
#   scripts/check-package.sh                   builds the tree build-pkg/ (Release,
#                                              programs only) and checks its package
#   scripts/check-package.sh --build-dir DIR   uses the Release tree DIR instead
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
started=$SECONDS

build=build-pkg
own_tree=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir)
      [ $# -ge 2 ] || { echo "usage: $0 [--build-dir DIR]" >&2; exit 2; }
      build=$2; own_tree=0; shift 2 ;;
    *) echo "usage: $0 [--build-dir DIR]" >&2; exit 2 ;;
  esac
done

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok   $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1" >&2; }
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  echo "check-package: $((SECONDS - started)) s"
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# The tools. install-deps.sh installs them when run as root; whatever is still
# missing then is a failure, never a silent skip.
scripts/install-deps.sh --deploy || true
for tool in cmake cpack ninja dpkg-deb dpkg-shlibdeps file lintian systemd-analyze gzip; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    fail "tool $tool is missing: run scripts/install-deps.sh --deploy as root (scripts/debian-packages-deploy.txt)"
  fi
done
[ "$failed" -eq 0 ] || { finish; exit 1; }

# The package.
if [ "$own_tree" = 1 ]; then
  nice cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPANTERM_TESTS=OFF -DPANTERM_BENCH=OFF >/dev/null
fi
build=$(cd "$build" && pwd)
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$type" = Release ] || { fail "$build is a $type tree, not a Release tree"; finish; exit 1; }
nice cmake --build "$build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb=$build/panterm_${version}_${arch}.deb
rm -f "$deb"
(cd "$build" && nice cpack -G DEB >/dev/null)
if [ ! -f "$deb" ]; then
  fail "cpack made no $(basename "$deb")"
  finish; exit 1
fi
pass "cpack made $(basename "$deb")"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/panterm-package.XXXXXX")
panel_pid=""
cleanup() {
  if [ -n "$panel_pid" ]; then kill "$panel_pid" 2>/dev/null || true; wait "$panel_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

# lintian: no errors and no warnings; what does not apply stands in the
# package's overrides with its reason.
if lintian --fail-on error,warning --display-info "$deb" >"$tmp/lintian.txt" 2>&1; then
  pass "lintian: no errors, no warnings"
else
  fail "lintian:"; grep -v 'root privileges' "$tmp/lintian.txt" >&2
fi
grep -E '^[EWI]: ' "$tmp/lintian.txt" || true

# Control data: the library dependencies come from dpkg-shlibdeps.
dpkg-deb -f "$deb" Depends >"$tmp/depends"
tr ',' '\n' <"$tmp/depends" | sed 's/^ *//; s/[ (].*//' >"$tmp/depends.names"
for dep in adduser libc6 libstdc++6 libsdl2-2.0-0 libmosquitto1 libfreetype6 libfontconfig1 libcpp-httplib0.11; do
  check "Depends names $dep" grep -qxF "$dep" "$tmp/depends.names"
done
mkdir "$tmp/control"
dpkg-deb -e "$deb" "$tmp/control"
check "/etc/default/panterm is a configuration file" grep -qx /etc/default/panterm "$tmp/control/conffiles"
for script in postinst prerm postrm; do
  check "maintainer script $script is executable" test -x "$tmp/control/$script"
  check "maintainer script $script is valid sh" sh -n "$tmp/control/$script"
done

# Layout.
root=$tmp/root
dpkg-deb -x "$deb" "$root"
for program in Panterm_MW teqc panterm-target setup-state; do
  check "/usr/lib/panterm/$program is executable" test -x "$root/usr/lib/panterm/$program" -a ! -L "$root/usr/lib/panterm/$program"
done
for program in teqc panterm-target; do
  check "/usr/bin/$program links to /usr/lib/panterm/$program" \
    test "$(readlink -f "$root/usr/bin/$program")" = "$(readlink -f "$root/usr/lib/panterm/$program")"
done
check "/usr/bin/Panterm_MW starts the panel from /var/lib/panterm" \
  grep -q '^exec "\$state/Panterm_MW" "\$@"$' "$root/usr/bin/Panterm_MW"
machine=$(file -b "$root/usr/lib/panterm/Panterm_MW")
check "the programs are stripped ELF executables" bash -c '[[ "$1" == ELF*stripped* && "$1" != *"not stripped"* ]]' _ "$machine"
check "teqc from the package runs" bash -c '"$1" 2>&1 | grep -q "usage: teqc build"' _ "$root/usr/lib/panterm/teqc"
for file in lib/systemd/system/panterm.service etc/default/panterm usr/share/panterm/pterm.xml \
  usr/share/panterm/demo/start.html usr/share/panterm/demo/Plant1.teq usr/share/doc/panterm/copyright \
  usr/share/doc/panterm/changelog.gz usr/share/man/man1/Panterm_MW.1.gz usr/share/lintian/overrides/panterm \
  usr/lib/panterm/keypad.teq usr/lib/panterm/alphapad.teq usr/lib/panterm/MsgBox.teq; do
  check "/$file is shipped" test -f "$root/$file"
done
# Settings, log and persistent containers belong to the panel, not to dpkg: an
# update never replaces them.
check "the package ships no state (var/)" test ! -e "$root/var"
check "the first settings have the kiosk on" grep -q '<kiosk>1</kiosk>' "$root/usr/share/panterm/pterm.xml"

# The state directory as the postinst makes it, first on installation, then
# on an update after the panel and the integrator have changed its files.
state=$root/var/lib/panterm
"$root/usr/lib/panterm/setup-state" "$state"
check "installation: the panel's link in the state directory" \
  test "$(readlink -f "$state/Panterm_MW")" = "$(readlink -f "$root/usr/lib/panterm/Panterm_MW")"
check "installation: pterm.xml from the shipped settings" cmp -s "$state/pterm.xml" "$root/usr/share/panterm/pterm.xml"
demo=$root/usr/share/panterm/demo/start.html
sed -i "s#<start_page>.*</start_page>#<start_page>$demo</start_page>#" "$state/pterm.xml"
echo '<ptermCo>kept</ptermCo>' >"$state/ptermsCo.xml"
echo 'earlier log' >"$state/pterm.log"
cp "$state/pterm.xml" "$tmp/pterm.xml.before"
rm "$state/Panterm_MW"
"$root/usr/lib/panterm/setup-state" "$state"
check "update: pterm.xml kept" cmp -s "$state/pterm.xml" "$tmp/pterm.xml.before"
check "update: ptermsCo.xml kept" grep -qx '<ptermCo>kept</ptermCo>' "$state/ptermsCo.xml"
check "update: pterm.log kept" grep -qx 'earlier log' "$state/pterm.log"
check "update: the link is made again" test -x "$state/Panterm_MW"

failed_before_panel=$failed
# The panel run as the unit runs it (through the link, no arguments) but
# headless: it must find its settings, open their start page and write its
# log beside the link, and end on SIGTERM.
rm "$state/pterm.log"
(cd "$state" && exec env PANTERM_DISPLAY=headless PANTERM_SCREEN=480x272 PANTERM_SNAPSHOT="$tmp/screen.png" \
  "$state/Panterm_MW" >"$tmp/panel.out" 2>&1) &
panel_pid=$!
for _ in $(seq 100); do
  [ -s "$tmp/screen.png" ] && break
  kill -0 "$panel_pid" 2>/dev/null || break
  sleep 0.1
done
check "panel: the start page of the settings drawn" test -s "$tmp/screen.png"
check "panel: log in the state directory" grep -q "AppPath: $state/" "$state/pterm.log"
check "panel: opened the start page of its settings" grep -q "Start: $demo" "$state/pterm.log"
check "panel: settings completed, start page and kiosk kept" \
  bash -c 'grep -q "<start_page>$2</start_page>" "$1" && grep -q "<kiosk>1</kiosk>" "$1" && grep -q "<mem_lrheap_kb>" "$1"' \
  _ "$state/pterm.xml" "$demo"
kill -TERM "$panel_pid" 2>/dev/null || true
status=0
for _ in $(seq 50); do kill -0 "$panel_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$panel_pid" 2>/dev/null; then
  fail "panel: still running 5 s after SIGTERM"
else
  wait "$panel_pid" || status=$?
  check "panel: ended by SIGTERM" test "$status" -eq 143
fi
panel_pid=""
[ "$failed" -eq "$failed_before_panel" ] || { echo "panel output:" >&2; tail -n 20 "$tmp/panel.out" >&2; }

# The unit, verified inside the temporary root (so its ExecStart is the link
# made above) next to a copy of this machine's system units. systemd-analyze
# only warns about unknown keys and bad values: any message is a failure.
unit=lib/systemd/system/panterm.service
cp -an /lib/systemd/system/. "$root/lib/systemd/system/"
if systemd-analyze verify --man=no --root="$root" "/$unit" >"$tmp/verify.txt" 2>&1 && [ ! -s "$tmp/verify.txt" ]; then
  pass "systemd-analyze verify panterm.service"
else
  fail "systemd-analyze verify panterm.service:"; cat "$tmp/verify.txt" >&2
fi
# What the unit must do, as systemd reads it.
unit_value() { sed -n "s/^$1=//p" "$root/$unit" | tail -n 1; }
check "unit: runs as the user panterm" test "$(unit_value User)" = panterm
check "unit: restarts on failure" test "$(unit_value Restart)" = on-failure
check "unit: restarts are rate-limited" test -n "$(unit_value StartLimitBurst)" -a -n "$(unit_value StartLimitIntervalSec)"
check "unit: may bind ports below 1024" test "$(unit_value AmbientCapabilities)" = CAP_NET_BIND_SERVICE
check "unit: starts at boot" test "$(unit_value WantedBy)" = multi-user.target
check "unit: Documentation man page is shipped" test -f "$root/usr/share/man/man1/Panterm_MW.1.gz"

finish
