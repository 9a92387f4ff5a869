#!/usr/bin/env bash
# The demo, on a fresh Debian 12 machine as root: installs the packages the
# build needs, builds our Debian packages from a clean copy of the sources and
# installs them with apt as a site would (/opt/apps/... and /usr/lib), makes
# two virtual keys, starts the daemon on a simulated USB bus and the manager,
# and plugs the keys one after the other.
#
#   scripts/demo.sh             leaves the manager running on this display
#   scripts/demo.sh --headless  no screen: prints the registry, the manager's
#                               tree, a screenshot file and the bridge's
#                               replies, and fails when one is missing
#   scripts/demo.sh --stop      stops what an earlier demo started
#
# The sample bank page is served at http://127.0.0.1:8000 (ZVIT_DEMO_PAGE_PORT
# moves it), an origin the demo lists in AllowedOrigins as a site would.
# ZVIT_SKIP_APT=1 skips the package installation, ZVIT_DEMO_BUILD_DIR and
# ZVIT_DEMO_DIR move the build and the demo's own files.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
helpers="$repo/scripts/demo"
files_root=/opt/apps/org.zvit.zevudazivud/files/
skf_library=/usr/lib/libtarnZVITSKF.so
build="${ZVIT_DEMO_BUILD_DIR:-$repo/build-demo}"
demo="${ZVIT_DEMO_DIR:-/var/tmp/zvit-demo}"
pin=12345678
tarnvkey=/usr/bin/tarnvkey
page_port="${ZVIT_DEMO_PAGE_PORT:-8000}"
page_origin="http://127.0.0.1:$page_port"
python=/usr/bin/python3   # Debian's own, with its GObject bindings

say() { printf '\n== %s\n' "$*"; }
die() { printf 'demo: %s\n' "$*" >&2; exit 1; }

case "$demo" in /*/*) ;; *) die "ZVIT_DEMO_DIR must be a folder of its own, not '$demo'" ;; esac

mode=screen
case "${1:-}" in
  "") ;;
  --headless) mode=headless ;;
  --stop) mode=stop ;;
  -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) die "unknown option '$1' (use --headless, --stop or nothing)" ;;
esac

# Our own processes only: each pid file holds the pid and the program it ran,
# so a pid reused by another program is never signalled.
running() {  # a zombie child of ours has ended too
  local state
  state="$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)"
  [ -n "$state" ] && [ "$state" != Z ]
}
remember() { mkdir -p "$demo/pids"; printf '%s %s\n' "$2" "$3" > "$demo/pids/$1"; }
stop_demo() {
  local file pid exe stopped=()
  for file in "$demo"/pids/*; do
    [ -e "$file" ] || continue
    read -r pid exe < "$file" || true
    if [ -n "${pid:-}" ] && [ -d "/proc/$pid" ] && grep -qa -- "$(basename "$exe")" "/proc/$pid/cmdline"; then
      kill "$pid" 2>/dev/null && stopped+=("$pid")
    fi
    rm -f "$file"
  done
  # A manager the daemon started through runukey.sh is ours as well.
  for pid in $(pgrep -x tarnukey || true); do
    if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "${files_root}bin/tarnukey" ]; then
      kill "$pid" 2>/dev/null && stopped+=("$pid")
    fi
  done
  for pid in "${stopped[@]}"; do
    for _ in $(seq 50); do running "$pid" || break; sleep 0.1; done
  done
  return 0
}

if [ "$mode" = stop ]; then
  stop_demo
  echo "demo stopped"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || die "run as root: the demo installs packages and writes ${files_root} and /usr/lib"

if [ "${ZVIT_SKIP_APT:-0}" != 1 ]; then
  say "Installing the Debian packages the build and the demo need"
  "$repo/scripts/install-deps.sh"
fi

say "Building the Debian packages ($build)"
# dpkg-buildpackage writes beside the sources it builds: a copy of the
# checkout's files keeps the clone and its parent folder clean.
rm -rf "$build/src" "$build"/*.deb "$build"/*.changes "$build"/*.buildinfo
mkdir -p "$build/src"
if git -C "$repo" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # Tracked and new files as they are now, less any deleted since the last commit.
  (cd "$repo" && git ls-files -z -co --exclude-standard \
     | while IFS= read -r -d '' f; do if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi; done \
     | xargs -0 cp -P --parents -t "$build/src")
else
  tar -C "$repo" --exclude='./build*' --exclude='./obj-*' --exclude=node_modules -cf - . | tar -C "$build/src" -xf -
fi
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
if ! (cd "$build/src" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b) \
    >"$build/package-build.log" 2>&1; then
  tail -40 "$build/package-build.log" >&2
  die "the packages did not build (see $build/package-build.log)"
fi
ls "$build"/*.deb | sed 's/^/  /'
cmake -S "$helpers/bridge-client" -B "$build/demo-bridge-client" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/demo-bridge-client"

say "Installing the packages with apt"
stop_demo
# An earlier demo installed by hand: its TLS pair would stop the package from
# making the machine's own.
if ! dpkg-query -W -f '${Status}' tarn-ukey 2>/dev/null | grep -q ' installed$'; then
  rm -f "${files_root}cert/server.key" "${files_root}cert/server.crt"
fi
version="$(dpkg-parsechangelog -l "$build/src/debian/changelog" -S Version)"
arch="$(dpkg --print-architecture)"
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y --reinstall --no-install-recommends \
    "$build/tarn-ukey_${version}_${arch}.deb" "$build/tarn-ukey-virtualtoken_${version}_${arch}.deb" \
    >"$build/demo-install.log" 2>&1; then
  cat "$build/demo-install.log" >&2
  die "the installation failed"
fi
grep -E '^(Unpacking|Setting up) tarn-' "$build/demo-install.log" || true

missing=()
for piece in bin/tarnukey bin/tarndaemon bin/runukey.sh bin/tarnvkey \
    Librarys/libZTUtil.so Librarys/libZTSoftAlg.so Librarys/libZTTokenKernel.so Librarys/libZTUIExtend.so \
    Languages/Language.ini ConfigFile/Config.ini Resources/dialog.jpg Resources/notifyIcon.png; do
  [ -e "${files_root}$piece" ] || missing+=("${files_root}$piece")
done
for piece in "$skf_library" "$tarnvkey" /usr/sbin/tarn-browser-policy; do
  [ -e "$piece" ] || missing+=("$piece")
done
if [ -x "$tarnvkey" ] && ! "$tarnvkey" run-daemon --help >/dev/null 2>&1; then
  missing+=("the 'tarnvkey run-daemon' command (daemon on a simulated USB bus)")
fi
if [ ${#missing[@]} -gt 0 ]; then
  printf 'demo: these pieces are not part of this build yet, so the demo cannot go on:\n' >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi

rm -rf "$demo"
mkdir -p "$demo"
# The programs log only while /tmp/zvittarn exists, and only if it is private.
[ -d /tmp/zvittarn ] || mkdir -m 700 /tmp/zvittarn

say "Making two virtual keys (certificates in $demo/certs)"
"$helpers/make-keys.sh" "$tarnvkey" "$demo/certs" "$pin" >"$demo/keys.log" 2>&1 \
  || { cat "$demo/keys.log" >&2; die "the virtual keys could not be made"; }
"$tarnvkey" list

# Whatever fails from here stops what was started; only a finished demo on a
# screen stays running.
trap stop_demo EXIT

say "Listing the sample page's origin $page_origin in AllowedOrigins"
config="${files_root}ConfigFile/Config.ini"
# As an administrator would: add the site to the installed list, then give
# the browsers their settings for it.
if ! grep -q "^AllowedOrigins=.*$page_origin\(;\|\$\)" "$config"; then
  sed -i "s|^AllowedOrigins=\(..*\)\$|AllowedOrigins=\1;$page_origin|; s|^AllowedOrigins=\$|AllowedOrigins=$page_origin|" "$config"
fi
grep '^AllowedOrigins=' "$config" | sed 's/^/  /'
/usr/sbin/tarn-browser-policy | sed 's/^/  /'
"$python" -m http.server "$page_port" --bind 127.0.0.1 --directory "$repo/examples/bank-page" \
  >"$demo/page-server.log" 2>&1 &
remember page $! http.server
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$page_port") 2>/dev/null && break; sleep 0.1; done
running "$(cut -d' ' -f1 "$demo/pids/page")" \
  || { cat "$demo/page-server.log" >&2; die "the sample page cannot be served on port $page_port (set ZVIT_DEMO_PAGE_PORT)"; }

# A display and a session bus of our own where there is none (and always a
# virtual display without a screen, so the window can be photographed).
if [ "$mode" = headless ] || [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$demo/xvfb.log" 2>&1 &
  remember xvfb $! Xvfb
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] || die "Xvfb did not start (see $demo/xvfb.log)"
  say "Started a virtual display $DISPLAY"
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  bus="$(dbus-daemon --session --fork --print-address=1 --print-pid=1)"
  export DBUS_SESSION_BUS_ADDRESS="$(sed -n 1p <<<"$bus")"
  remember dbus "$(sed -n 2p <<<"$bus")" dbus-daemon
  say "Started a session bus"
  # No desktop on it to show the daemon's notifications: note them instead.
  "$python" "$helpers/notifications.py" "$demo/notifications.txt" >"$demo/notifications.log" 2>&1 &
  remember notifications $! notifications.py
fi
# Lets the headless demo read the manager's tree from the window itself.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
registry() { "$python" "$helpers/registry.py" --config "$config" "$@"; }

say "Starting the daemon on a simulated USB bus"
for pid in $(pgrep -x tarndaemon || true); do
  if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "${files_root}bin/tarndaemon" ]; then
    echo "demo: note: tarndaemon already runs as process $pid (a session's autostart?) and shares" \
         "the slot registry with the demo's daemon; stop it for a clean demo" >&2
  fi
done
setsid "$tarnvkey" run-daemon >"$demo/daemon.log" 2>&1 < /dev/null &
remember daemon $! tarnvkey
for _ in $(seq 100); do registry >/dev/null 2>&1 && break; sleep 0.1; done
registry >/dev/null 2>&1 || { cat "$demo/daemon.log" >&2; die "the daemon published no slot registry"; }

say "Starting the manager"
setsid "${files_root}bin/runukey.sh" >"$demo/manager.log" 2>&1 < /dev/null &
remember manager $! tarnukey
bridge_up() {
  local port
  for port in $(seq 51913 51922); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
  done
  return 1
}
for _ in $(seq 100); do bridge_up && break; sleep 0.2; done
bridge_up || { cat "$demo/manager.log" >&2; die "the manager did not start its web page bridge"; }

present=0
for serial in DEMO-RSA DEMO-SM2; do
  say "Plugging $serial"
  "$tarnvkey" plug "$serial"
  present=$((present + 1))
  for _ in $(seq 100); do
    [ "$(registry | grep -c '^  slot [0-3]: .*device')" -ge "$present" ] && break
    sleep 0.1
  done
  sleep 3   # the manager's update pass: half a second's wait, then the certificates
done

say "Slot registry"
registry

if [ "$mode" = headless ]; then
  say "The manager's tree"
  "$python" "$helpers/tree.py" tarnukey || echo "  (no tree: see $demo/manager.log)"
  if [ -e "$demo/pids/notifications" ]; then
    say "Desktop notifications"
    sed 's/^/  /' "$demo/notifications.txt" 2>/dev/null || echo "  (none arrived)"
  fi
  say "Screenshot of the main window"
  if import -display "$DISPLAY" -window root -trim +repage "$demo/manager.png" 2>"$demo/screenshot.log"; then
    echo "  $demo/manager.png"
  else
    echo "  no screenshot (see $demo/screenshot.log)"
  fi
  client="$build/demo-bridge-client/zvit-bridge-client"
  say "The sample bank page's requests to the bridge from $page_origin, both keys plugged"
  "$client" --origin "$page_origin" --pin "$pin" || die "the bridge did not answer every request"
  say "The same with DEMO-RSA alone (after tarnvkey unplug DEMO-SM2)"
  "$tarnvkey" unplug DEMO-SM2
  sleep 2
  "$client" --origin "$page_origin" --pin "$pin" || die "the bridge did not answer every request"
  say "Done; logs in /tmp/zvittarn and $demo, everything the demo started is stopped"
  exit 0
fi

trap - EXIT
where="display $DISPLAY"
[ -e "$demo/pids/xvfb" ] && where="the virtual display $DISPLAY (no screen was set in DISPLAY; run the demo
from a desktop terminal to see the window, or look at it with: import -display $DISPLAY -window root shot.png)"
cat <<EOF

== The system is running on $where

Two virtual keys are plugged: "Demo RSA key" (DEMO-RSA, signing and exchange
certificates of Li Lei) and "Demo SM2 key" (DEMO-SM2, an SM2 certificate of
Han Meimei). The PIN of both is $pin.

Things to try:
  - The tree: each key with its certificates; select a certificate and open
    the viewer to see its fields (SM2 ones included).
  - Change the PIN of a key (old PIN $pin); a wrong old PIN counts down.
  - Pull a key out and put it back, as a user would:
        tarnvkey unplug DEMO-SM2
        tarnvkey plug DEMO-SM2
  - The sample bank page: open $page_origin/index.html in a browser on
    this display, press Connect, then verify or change the PIN. Its origin
    is listed in AllowedOrigins, so the manager serves it without asking;
    /usr/sbin/tarn-browser-policy gave the browsers their settings for it.
  - Logs: /tmp/zvittarn/zt_log.log (manager), /tmp/zvittarn/ztdaemon_log.log
    (daemon), and $demo.

Stop everything with: $repo/scripts/demo.sh --stop
EOF
