#!/usr/bin/env bash
# AmpPanel_232 framed by a real window manager (openbox on Xvfb), where frame
# margins are known only after the window is shown and change when it is
# maximised: the window opens at its preset's outer size, and closing it
# records the outer size, normal or maximised, never a client size with a
# stale frame around it. Exits 77 (a CTest skip) when a tool is missing.
#
#   window-manager.sh PANEL AMPSIM
set -uo pipefail

panel="$1"
ampsim="$2"

skip() {
  echo "SKIPPED: $*"
  exit 77
}
for tool in Xvfb openbox wmctrl xwininfo xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps wm)"
done

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

export XDG_CONFIG_HOME="$work/config"
# The single-instance guard lives here: other copies on the machine are not seen.
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME/Norvik" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
conf="$XDG_CONFIG_HOME/Norvik/AmpPanel_232.conf"
write_settings() {
  cat > "$conf" <<CONF
[General]
FTDI_ID_String=
ApplicationTop=40
ApplicationLeft=30
ApplicationHeight=216
ApplicationWidth=508
ApplicationKeypadTop=500
ApplicationKeypadLeft=0
ApplicationJKeypadTop=500
ApplicationJKeypadLeft=0
ApplicationKeypadVisible=0
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
ApplicationPresetItem=3
COM_ID=1
ComBaudRate=6
CONF
}
setting() { sed -n "s/^$1=//p" "$conf"; }

"$ampsim" --com 1 >"$work/ampsim.out" 2>"$work/ampsim.log" &
pids+=($!)
for _ in $(seq 50); do
  [[ -s "$work/ampsim.out" ]] && break
  sleep 0.1
done
[[ -s "$work/ampsim.out" ]] || fail "ampsim did not start: $(cat "$work/ampsim.log")"

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.1
done
[[ -s "$work/display" ]] || skip "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
openbox --config-file /dev/null >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  wmctrl -m >/dev/null 2>&1 && break
  sleep 0.1
done
wmctrl -m >/dev/null 2>&1 || skip "openbox did not start: $(tail -n 3 "$work/openbox.log")"

# Starts the panel and waits until the window manager has framed its window.
start_panel() {
  "$panel" >"$work/panel.log" 2>&1 &
  panel_pid=$!
  window=""
  for _ in $(seq 100); do
    window="$(xdotool search --onlyvisible --name ' - Rel\. ' 2>/dev/null | head -n1)"
    [[ -n "$window" ]] && xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -q = && break
    sleep 0.1
  done
  [[ -n "$window" ]] || fail "the main window did not appear: $(cat "$work/panel.log")"
  sleep 1  # the frame's margins reach the program after the frame
}
# The client's size and the frame the window manager put around it.
outer_size() {
  local extents
  extents="$(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
  xwininfo -id "$window" | awk -v e="$extents" '
    /^  Width:/{w=$2} /^  Height:/{h=$2}
    END{split(e, m, " "); print w + m[1] + m[2] "x" h + m[3] + m[4]}'
}
close_panel() {
  wmctrl -i -c "$window"
  for _ in $(seq 100); do
    kill -0 "$panel_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  fail "the panel did not close"
}

# 1. Opened at preset 3: 752 x 283 outside, frame included; closed unchanged.
write_settings
start_panel
size="$(outer_size)"
[[ "$size" == "752x283" ]] || fail "opened at $size outside, not preset 3's 752x283"
close_panel
got="$(setting ApplicationWidth)x$(setting ApplicationHeight)"
[[ "$got" == "752x283" ]] || fail "closed unchanged, recorded $got"
got="$(setting ApplicationPreset3Width)x$(setting ApplicationPreset3Height)"
[[ "$got" == "752x283" ]] || fail "preset 3 became $got"
echo "preset 3: opened and recorded at 752x283"

# 2. Maximised on a 1600 x 1000 screen: the whole screen is recorded.
write_settings
start_panel
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
for _ in $(seq 50); do
  xprop -id "$window" _NET_WM_STATE | grep -q MAXIMIZED_HORZ && break
  sleep 0.1
done
sleep 1
close_panel
got="$(setting ApplicationWidth)x$(setting ApplicationHeight)+$(setting ApplicationLeft)+$(setting ApplicationTop)"
[[ "$got" == "1600x1000+0+0" ]] || fail "maximised, recorded $got instead of 1600x1000+0+0"
echo "maximised: recorded 1600x1000 at 0, 0"
