#!/usr/bin/env python3
"""Reads AmpPanel_232 the way a screen reader does, over the accessibility bus.

Run inside a session bus and on an X server (screen-reader.sh sets both up), with
the virtual amplifier registered as COM1 in the panel's ports folder:

    screen_reader.py PANEL

Starts the accessibility bus and the panel, then through pyatspi, the library
Orca is built on: finds the display, waits for the amplifier's main page in
its text, checks a lamp, presses SET through the keypad button's action and
waits for the announcement of the selected menu line. Exits 77 when the
accessibility bus cannot start, so that CTest reports a skip.
"""
import os
import re
import subprocess
import sys
import time

SKIP = 77
LAUNCHERS = ["/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"]


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(SKIP)


def fail(why):
    print("FAILED: " + why)
    sys.exit(1)


def wait_for(what, probe, seconds=20.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    fail("timed out waiting for " + what)
    return None


def start_bus():
    launcher = next((p for p in LAUNCHERS if os.access(p, os.X_OK)), None)
    if launcher is None:
        skip("at-spi-bus-launcher is not installed (scripts/install-deps a11y)")
    bus = subprocess.Popen([launcher, "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    query = ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
             "/org/a11y/bus", "org.a11y.Bus.GetAddress"]
    end = time.monotonic() + 10
    while time.monotonic() < end:
        if subprocess.run(query, capture_output=True).returncode == 0:
            return bus
        if bus.poll() is not None:
            break
        time.sleep(0.2)
    skip("the accessibility bus did not start")
    return bus


def find(root, predicate):
    import pyatspi
    return pyatspi.findDescendant(root, predicate, True)


def main():
    panel_path = sys.argv[1]
    bus = start_bus()
    try:
        import pyatspi
    except ImportError:
        skip("python3-pyatspi is not installed (scripts/install-deps a11y)")

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    panel = subprocess.Popen([panel_path], env=env)
    try:
        run(pyatspi, panel)
    finally:
        panel.terminate()
        panel.wait(timeout=10)
        bus.terminate()
        bus.wait(timeout=10)


def run(pyatspi, panel):
    desktop = pyatspi.Registry.getDesktop(0)

    def app():
        if panel.poll() is not None:
            fail("AmpPanel_232 ended with status %d" % panel.returncode)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.name == "AmpPanel_232":
                return a
        return None

    application = wait_for("AmpPanel_232 on the accessibility bus", app)
    display = wait_for("the display", lambda: find(application, lambda o: o.name == "Amplifier display"))

    def text():
        t = display.queryText()
        return t.getText(0, t.characterCount)

    # The virtual amplifier's main page, with the panel announced ("PC").
    wait_for("the main page", lambda: re.match(r"20m ANT 1 IN 1 MAX +PC STBY\n", text()))
    lines = text().split("\n")
    print("display as read over the bus:")
    for line in lines:
        print("  | " + line)
    if len(lines) != 8:
        fail("expected eight lines, read %d" % len(lines))
    if not re.fullmatch(r"PWR \d+ percent +\d+ W", lines[2]):
        fail("the power meter reads %r" % lines[2])

    lamp = wait_for("the ON lamp", lambda: find(application, lambda o: o.name.startswith("On lamp")))
    if lamp.name != "On lamp, lit":
        fail("the ON lamp reads %r" % lamp.name)
    set_key = find(application, lambda o: o.name == "Set" and o.getRole() == pyatspi.ROLE_PUSH_BUTTON)
    if set_key is None:
        fail("no Set button")

    # SET opens the menu: its selected line must be announced unprompted, by a
    # notification that shows itself, as a screen reader hears it.
    expected = "right CAT RADIO ICOM (selected)"
    heard = []

    def listener(event):
        source = event.source
        if source is not None and source.getRole() == pyatspi.ROLE_NOTIFICATION and event.detail1:
            heard.append(source.name)
            if source.name == expected:
                pyatspi.Registry.stop()

    def press():
        set_key.queryAction().doAction(0)
        return False

    from gi.repository import GLib
    # Like Orca, listen to name changes too: Qt sends only the events someone
    # listens to, and without this one the client keeps the name it cached.
    names = "object:property-change:accessible-name"
    pyatspi.Registry.registerEventListener(lambda event: None, names)
    pyatspi.Registry.registerEventListener(listener, "object:state-changed:showing")
    GLib.timeout_add(500, press)
    GLib.timeout_add(15000, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(listener, "object:state-changed:showing")
    print("announcements heard: %r" % heard)
    if expected not in heard:
        fail("the selected menu line was not announced")
    menu = text().split("\n")
    print("display after SET: %r" % menu[:2])
    if menu[1] != expected:
        fail("the menu's first line reads %r" % menu[1])
    print("PASSED")


if __name__ == "__main__":
    main()
