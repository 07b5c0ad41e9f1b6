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

. "$(dirname "$0")/panel-session.sh"

for tool in Xvfb openbox wmctrl xwininfo xdotool; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps wm)"
done

# Preset 3, placed where the frame fits on the screen.
framed_settings() {
  write_settings ApplicationTop=40 ApplicationLeft=30 ApplicationKeypadTop=500 \
    ApplicationJKeypadTop=500 ApplicationPresetItem=3
}

start_ampsim "$ampsim"
start_xvfb 1600x1000
openbox --config-file /dev/null >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_until 50 wmctrl -m || skip "openbox did not start: $(tail -n 3 "$work/openbox.log")"

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
panel_gone() { ! kill -0 "$panel_pid" 2>/dev/null; }
close_panel() {
  wmctrl -i -c "$window"
  wait_until 100 panel_gone || fail "the panel did not close"
}

# 1. Opened at preset 3: 752 x 283 outside, frame included; closed unchanged.
framed_settings
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
framed_settings
start_panel
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
maximised() { xprop -id "$window" _NET_WM_STATE | grep -q MAXIMIZED_HORZ; }
wait_until 50 maximised || true
sleep 1
close_panel
got="$(setting ApplicationWidth)x$(setting ApplicationHeight)+$(setting ApplicationLeft)+$(setting ApplicationTop)"
[[ "$got" == "1600x1000+0+0" ]] || fail "maximised, recorded $got instead of 1600x1000+0+0"
echo "maximised: recorded 1600x1000 at 0, 0"
