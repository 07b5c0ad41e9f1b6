#!/usr/bin/env bash
# The virtual amplifier as a COM port of a wine prefix, for the Windows serial
# link tests:
#   wine-com-port.sh start AMPSIM WINEPREFIX N STATE_DIR
#   wine-com-port.sh stop WINEPREFIX N STATE_DIR
# start runs the native ampsim on a pseudo-terminal and links the terminal as
# dosdevices/comN, a number wine does not give out itself; stop ends that
# ampsim (by the process id start recorded) and removes the link.
set -euo pipefail

stop() {
  local prefix=$1 n=$2 state=$3
  if [ -f "$state/pid" ]; then
    local pid
    pid=$(cat "$state/pid")
    # Only if it is still our ampsim: the number may have been reused.
    if [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q ampsim; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$state/pid"
  fi
  local link="$prefix/dosdevices/com$n"
  if [ -L "$link" ]; then rm -f "$link"; fi
}

start() {
  local ampsim=$1 prefix=$2 n=$3 state=$4
  if [ ! -x "$ampsim" ]; then
    echo "no native ampsim at $ampsim: build it first (cmake --build --preset default --target ampsim)" >&2
    exit 1
  fi
  if [ ! -d "$prefix/dosdevices" ]; then
    echo "wine prefix $prefix is not initialised" >&2
    exit 1
  fi
  stop "$prefix" "$n" "$state"  # whatever an interrupted run left
  mkdir -p "$state/config"
  # Detached from the test's output, so that CTest does not wait for it.
  XDG_CONFIG_HOME="$state/config" nohup "$ampsim" --com "$n" --boot-ms 0 \
    </dev/null >"$state/device" 2>"$state/ampsim.log" &
  echo $! >"$state/pid"
  local device=""
  for _ in $(seq 100); do
    device=$(head -n 1 "$state/device" 2>/dev/null || true)
    [ -n "$device" ] && break
    kill -0 "$(cat "$state/pid")" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$device" ]; then
    echo "ampsim did not start:" >&2
    cat "$state/ampsim.log" >&2
    stop "$prefix" "$n" "$state"
    exit 1
  fi
  ln -sfn "$device" "$prefix/dosdevices/com$n"
  echo "COM$n of $prefix is $device"
}

case "${1:-}" in
  start) shift; start "$@" ;;
  stop) shift; stop "$@" ;;
  *) echo "usage: $0 start AMPSIM WINEPREFIX N STATE_DIR | stop WINEPREFIX N STATE_DIR" >&2; exit 2 ;;
esac
