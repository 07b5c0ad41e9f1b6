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

. "$here/panel-session.sh"

for tool in Xvfb dbus-run-session dbus-send; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps a11y)"
done
# pyatspi is installed for the system's Python, which a python3 earlier on the
# path (a virtual environment, pyenv) does not see.
python=/usr/bin/python3
[[ -x "$python" ]] || python="$(command -v python3)" || skip "python3 is not installed"
"$python" -c 'import pyatspi' 2>/dev/null ||
  skip "python3-pyatspi is not installed (scripts/install-deps a11y)"

write_settings ApplicationKeypadVisible=1
start_ampsim "$ampsim"
start_xvfb 800x400

# The accessibility bus is found through the session bus, so each run gets a
# session bus of its own; Qt then needs only its always-on switch.
dbus-run-session -- "$python" "$here/screen_reader.py" "$panel"
status=$?
[[ $status -eq 0 || $status -eq 77 ]] || { echo "ampsim log:"; tail -n 20 "$work/ampsim.log"; }
exit "$status"
