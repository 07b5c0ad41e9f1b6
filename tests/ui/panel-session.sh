# Sourced by the tests that run AmpPanel_232 as a program on an X server of
# their own: a temporary folder for its settings, port link and instance guard,
# the virtual amplifier as COM1, and Xvfb. Everything started is stopped on exit.
#
#   . panel-session.sh; start_ampsim AMPSIM; write_settings [KEY=VALUE ...];
#   start_xvfb WIDTHxHEIGHT

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*"
  exit 1
}

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work/config"
# The single-instance guard lives here: other copies on the machine are not seen.
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME/Norvik" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
conf="$XDG_CONFIG_HOME/Norvik/AmpPanel_232.conf"

# A complete set (the panel takes none of it unless every value reads): COM1
# at 115200 baud, preset 2 at the top left, keypads hidden; KEY=VALUE
# arguments replace single values.
write_settings() {
  cat > "$conf" <<CONF
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
ApplicationPresetItem=2
COM_ID=1
ComBaudRate=6
CONF
  local pair
  for pair in "$@"; do
    sed -i "s/^${pair%%=*}=.*/$pair/" "$conf"
  done
}
setting() { sed -n "s/^$1=//p" "$conf"; }

# Runs a command every tenth of a second until it succeeds, at most TENTHS
# times; its output is not wanted. Fails when it never succeeded.
wait_until() {
  local tenths=$1 _
  shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  "$@" >/dev/null 2>&1
}

# The virtual amplifier as COM1, with any further options.
start_ampsim() {
  "$@" --com 1 >"$work/ampsim.out" 2>"$work/ampsim.log" &
  pids+=($!)
  wait_until 50 test -s "$work/ampsim.out" || fail "ampsim did not start: $(cat "$work/ampsim.log")"
}

# The X server picks a free display itself and tells which: guessing one
# (xvfb-run -a) races with other servers starting on the same machine. It
# must not reset when its last client leaves: the accessibility library looks
# up its bus on the display and leaves before the panel starts, and a panel
# connecting during the reset finds no server.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  wait_until 100 test -s "$work/display" || skip "Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
}
