#!/usr/bin/env python3
"""Reads the editor's front panel through AT-SPI, as Orca does: finds the application of the
given process on the registry's desktop, lists the 64 controls of its "Front panel" with their
names, roles and descriptions, then presses a pad through its action and waits for the
selected-state event. Exits 0 when everything was read as expected."""

import sys
import time

import pyatspi
from gi.repository import GLib

WAIT_SECONDS = 30


def expected_controls():
    """The controls' names and roles in index order, as the device's panel has them."""
    controls = [(f"S{i}", "slider") for i in range(1, 7)]
    controls += [(f"F{i}", "push button") for i in range(1, 11)]
    controls += [(f"E{i}", "dial") for i in range(1, 9)]
    controls += [(f"P{i}", "dial") for i in range(1, 7)]
    controls += [(name, "push button")
                 for name in ("STOP", "PLAY", "RECORD", "DOWN", "UP", "LEFT", "RIGHT")]
    controls += [("XY", "slider"), ("XFADER", "slider")]
    controls += [(f"PAD{i}", "push button") for i in range(1, 26)]
    return controls


def find_application(pid):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:  # an application that went away meanwhile
                continue
        time.sleep(0.2)
    return None


def find_panel(node, depth=0):
    if node is None or depth > 20:
        return None
    if node.name == "Front panel" and node.getRole() == pyatspi.ROLE_PANEL:
        return node
    for i in range(node.childCount):
        found = find_panel(node.getChildAtIndex(i), depth + 1)
        if found is not None:
            return found
    return None


def press(control):
    action = control.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            return action.doAction(i)
    return False


def main():
    pid = int(sys.argv[1])
    app = find_application(pid)
    if app is None:
        print(f"FAIL: no application of process {pid} on the registry's desktop")
        return 1
    panel = find_panel(app)
    if panel is None:
        print(f"FAIL: no panel named 'Front panel' in application '{app.name}'")
        return 1

    failures = []
    expected = expected_controls()
    if panel.childCount != len(expected):
        failures.append(f"{panel.childCount} controls, not {len(expected)}")
    children = [panel.getChildAtIndex(i) for i in range(panel.childCount)]
    for index, control in enumerate(children):
        print(f"{control.name}, {control.getRoleName()}: {control.description}")
        if index >= len(expected):
            continue
        name, role = expected[index]
        if control.name != name or control.getRoleName() != role:
            failures.append(f"control {index} reads '{control.name}', {control.getRoleName()};"
                            f" expected '{name}', {role}")
        if not control.description:
            failures.append(f"{control.name} has no description")
    found = {control.name for control in children}
    missing = [name for name, _ in expected if name not in found]
    if missing:
        failures.append("missing: " + ", ".join(missing))

    # A press selects a pad, and the screen reader hears of it. The editor learns of the
    # listener through the registry a moment after it registers, so the press is repeated,
    # on two pads in turn, until the event comes.
    pads = {name: control for name, control in zip((c.name for c in children), children)}
    heard = []

    def on_selected(event):
        if event.detail1 == 1:
            heard.append(event.source.name)
            if event.source.name == pressed[-1]:
                pyatspi.Registry.stop()

    pressed = []

    def press_next():
        name = "PAD7" if len(pressed) % 2 == 0 else "PAD8"
        pressed.append(name)
        press(pads[name])
        return True

    def give_up():
        pyatspi.Registry.stop()
        return False

    if "PAD7" in pads and "PAD8" in pads:
        pyatspi.Registry.registerEventListener(on_selected, "object:state-changed:selected")
        GLib.timeout_add(300, press_next)
        GLib.timeout_add_seconds(WAIT_SECONDS, give_up)
        pyatspi.Registry.start()
        if not heard or heard[-1] != pressed[-1]:
            failures.append(f"pressed {pressed}, heard selected: {heard}")
        else:
            selected = [c.name for c in children if c.getState().contains(pyatspi.STATE_SELECTED)]
            if selected != [pressed[-1]]:
                failures.append(f"after pressing {pressed[-1]} the selected are {selected}")
            print(f"pressed {pressed[-1]}: heard it selected")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(children)} controls read, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
