#!/bin/bash
# Installs what is missing, builds, prepares the simulated root under
# var/root and runs kelT57N on the simulated board in the foreground.
#
# The 320x240 front panel appears in a window when a display is there.
# Without one, it is drawn on a virtual display (Xvfb) that x11vnc shares
# on 127.0.0.1 only (port KEL_VNC_PORT, default 5900); reach it from another
# machine through an SSH tunnel. Panel keys: S Left, R Right, Q OK, O Back,
# M Mode; the USB keypad's keys are A to P.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_BUILD_TESTS=OFF -DKEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/run -j"$(nproc)"
export KEL_BOARD=sim
export KEL_ROOT="$PWD/var/root"
mkdir -p "$KEL_ROOT"
PROGRAM=build/run/bin/kelT57N

# The program's own pid: SIGUSR1 to it writes $KEL_ROOT/sim/state.json
# (pidof would find every controller on the machine).
announce() {
  echo "kelT57N pid $1 (state: kill -USR1 $1; files in $KEL_ROOT/sim)"
}

# The panel draws with the raster engine; on an X server the GL side of
# Qt's xcb plugin would only load the machine's GL driver.
export QT_XCB_GL_INTEGRATION="${QT_XCB_GL_INTEGRATION:-none}"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  announce $$
  exec "$PROGRAM" "$@"
fi

# No display: a virtual one, shared over VNC on the loopback interface.
missing=""
command -v Xvfb >/dev/null || missing="$missing xvfb"
command -v x11vnc >/dev/null || missing="$missing x11vnc"
if [ -n "$missing" ]; then
  echo "installing:$missing"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi

display=""
for n in $(seq 77 99); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
port="${KEL_VNC_PORT:-5900}"

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

Xvfb "$display" -screen 0 320x240x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
x11vnc -display "$display" -localhost -rfbport "$port" -forever -shared -nopw -quiet \
  >"$KEL_ROOT/../x11vnc.log" 2>&1 &
pids+=($!)
echo "front panel: VNC on 127.0.0.1:$port (display $display); keys S R Q O M, keypad A-P"
DISPLAY="$display" "$PROGRAM" "$@" &
pids+=($!)
announce "$!"
wait "${pids[-1]}"
