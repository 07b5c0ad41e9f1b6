#!/usr/bin/env bash
# AmpPanel_232 read through the real accessibility bus: the virtual amplifier
# as COM1, a private session bus, Xvfb, then screen_reader.py. Settings and the
# port link live in a temporary folder. Exits 77 (a CTest skip) when a tool is
# missing or the bus cannot start.
#
#   screen-reader.sh PANEL AMPSIM
set -uo pipefail

panel="$1"
ampsim="$2"
here="$(cd "$(dirname "$0")" && pwd)"

skip() {
  echo "SKIPPED: $*"
  exit 77
}

for tool in Xvfb dbus-run-session dbus-send; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps a11y)"
done
# pyatspi is installed for the system's Python, which a python3 earlier on the
# path (a virtual environment, pyenv) does not see.
python=/usr/bin/python3
[[ -x "$python" ]] || python="$(command -v python3)" || skip "python3 is not installed"
"$python" -c 'import pyatspi' 2>/dev/null ||
  skip "python3-pyatspi is not installed (scripts/install-deps a11y)"

work="$(mktemp -d)"
ampsim_pid=""
xvfb_pid=""
cleanup() {
  for pid in $ampsim_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Norvik"
# A complete set (the panel takes none of it unless every value reads): COM1
# at 115200 baud, the full keypad shown.
cat > "$XDG_CONFIG_HOME/Norvik/AmpPanel_232.conf" <<CONF
[General]
FTDI_ID_String=
ApplicationTop=0
ApplicationLeft=0
ApplicationHeight=216
ApplicationWidth=508
ApplicationKeypadTop=216
ApplicationKeypadLeft=0
ApplicationJKeypadTop=216
ApplicationJKeypadLeft=0
ApplicationKeypadVisible=1
ApplicationJKeypadVisible=0
ApplicationPreset1Height=137
ApplicationPreset1Width=259
ApplicationPreset2Height=216
ApplicationPreset2Width=508
ApplicationPreset3Height=283
ApplicationPreset3Width=752
ApplicationPreset4Height=351
ApplicationPreset4Width=1000
ApplicationPreset5Height=488
ApplicationPreset5Width=1424
ApplicationPresetItem=2
COM_ID=1
ComBaudRate=6
CONF

"$ampsim" --com 1 >"$work/ampsim.out" 2>"$work/ampsim.log" &
ampsim_pid=$!
for _ in $(seq 50); do
  [[ -s "$work/ampsim.out" ]] && break
  sleep 0.1
done
[[ -s "$work/ampsim.out" ]] || { echo "ampsim did not start:"; cat "$work/ampsim.log"; exit 1; }

# The X server picks a free display itself and tells which: guessing one
# (xvfb-run -a) races with other servers starting on the same machine.
Xvfb -displayfd 3 -screen 0 800x400x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.1
done
[[ -s "$work/display" ]] || skip "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# The accessibility bus is found through the session bus, so each run gets a
# session bus of its own; Qt then needs only its always-on switch.
dbus-run-session -- "$python" "$here/screen_reader.py" "$panel"
status=$?
[[ $status -eq 0 || $status -eq 77 ]] || { echo "ampsim log:"; tail -n 20 "$work/ampsim.log"; }
exit "$status"
