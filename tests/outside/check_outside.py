#!/usr/bin/python3
"""Meets each dialog from outside its process, as a user on a desktop does:
under the openbox window manager on a private Xvfb, with real key presses
through the X server (xdotool) and an assistive technology's view over
AT-SPI (pyatspi); then where each dialog lies on Weston's output, as its
scene graph tells. Runs under the system python3 inside a D-Bus session:

    dbus-run-session -- /usr/bin/python3 tests/outside/check_outside.py build/host/kelvara-host

Each check prints PASS or FAIL with what it saw; the last line counts them.
"""

import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

import pyatspi
from gi.repository import GLib

import dialogs

# Screen sizes of the desktops: each dialog is the first window of its
# process on each, so that no earlier window told Qt the frame's size.
SCREENS = ((1366, 768), (1024, 600))
# Weston's output: the display dialog wants more than its height.
WESTON_OUTPUT = (1300, 740)
WESTON_PANEL = "panel for output"  # in the line of the panel's view in weston's scene graph
# How long anything that should happen at once may take on a busy machine.
WAIT_S = 10.0
# How long a server or a host may take to start on one: it costs nothing
# when all goes well, and a slow start is no fault of the dialogs.
START_S = 60.0
# Where the Qt in use has no AT-SPI state for a row's check box, the row's
# accessible description tells it, in these words.
DESCRIBED_CHECK_STATES = {"checked", "not checked", "partially checked"}
ROW_ROLES = {"list item", "tree item", "table cell"}
BUTTON_ROLES = {"push button", "button"}  # at-spi2-core 2.50 renamed the role
VIEW_ROLES = {"list", "list box", "tree", "tree table", "table"}
FOCUSED = "object:state-changed:focused"
CHECKED = "object:state-changed:checked"
DESCRIPTION = "object:property-change:accessible-description"
NAME = "object:property-change:accessible-name"

results = []


def check(name, passed, seen):
    results.append(passed)
    print(f"{'PASS' if passed else 'FAIL'} {name}: {seen}", flush=True)


def wait_for(condition, timeout=WAIT_S):
    """Polls condition, delivering AT-SPI events meanwhile, until it holds
    or the timeout passes; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        while GLib.MainContext.default().iteration(False):
            pass
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.02)


@dataclass
class Event:
    kind: str
    role: str
    name: str          # the source's name and description as the event left them
    description: str
    detail: int


class EventLog:
    """Every AT-SPI event that a screen reader would speak from."""

    def __init__(self):
        self.events = []
        pyatspi.Registry.registerEventListener(self.record, FOCUSED, CHECKED, DESCRIPTION, NAME)

    def record(self, event):
        try:
            source = event.source
            self.events.append(Event(str(event.type), source.getRoleName(), source.name, source.description,
                                     event.detail1))
        except GLib.GError:  # the source went away meanwhile
            pass

    def since(self, mark, kind, name=None):
        return [e for e in self.events[mark:] if e.kind == kind and (name is None or e.name == name)]

    def focus_taken(self, mark=0):
        """Each object that took the focus after mark, as (role, name)."""
        return [(e.role, e.name) for e in self.since(mark, FOCUSED) if e.detail]

    def focus(self, mark=0):
        """The last object that took the focus after mark, or None."""
        return (self.focus_taken(mark) or [None])[-1]


def stop(*processes):
    for process in filter(None, processes):
        process.terminate()  # Xvfb and weston then remove their sockets and lock files
        try:
            process.wait(timeout=WAIT_S)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def run(*command, display):
    return subprocess.run(command, env=dict(os.environ, DISPLAY=display), capture_output=True, text=True,
                          timeout=WAIT_S).stdout


class Desktop:
    """A private Xvfb of the given size with openbox managing it."""

    def __init__(self, size, home):
        ready, writer = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "%dx%dx24" % size,
                                      "-nolisten", "tcp"], pass_fds=(writer,), stderr=subprocess.DEVNULL)
        os.close(writer)
        number = b""
        while not number.endswith(b"\n") and select.select([ready], [], [], START_S)[0]:
            chunk = os.read(ready, 16)
            if not chunk:
                break
            number += chunk
        os.close(ready)
        self.wm = None
        if not number.strip():
            self.close()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display, HOME=home, XDG_CONFIG_HOME=home, XDG_CACHE_HOME=home,
                        XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM="xcb")
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        if not wait_for(self.work_area, START_S):
            self.close()
            raise RuntimeError("openbox did not start")

    def work_area(self):
        """The available area that openbox announces, as x, y, width, height."""
        numbers = re.findall(r"\d+", run("xprop", "-root", "_NET_WORKAREA", display=self.display).split("=")[-1])
        return tuple(map(int, numbers[:4])) if len(numbers) >= 4 else None

    def frame(self, pid):
        """The shown window of process pid with openbox's frame around it, as x, y, width, height."""
        for window in run("xdotool", "search", "--onlyvisible", "--pid", str(pid), display=self.display).split():
            extents = re.findall(r"\d+", run("xprop", "-id", window, "_NET_FRAME_EXTENTS",
                                             display=self.display).split("=")[-1])
            # xwininfo, not xdotool: xdotool adds the frame's offset to a framed window's position.
            geometry = re.findall(r"(?:Absolute upper-left [XY]|Width|Height):\s+(-?\d+)",
                                  run("xwininfo", "-id", window, display=self.display))
            if len(extents) == 4 and len(geometry) == 4:
                left, right, top, bottom = map(int, extents)
                x, y, width, height = map(int, geometry)
                return x - left, y - top, width + left + right, height + top + bottom
        return None

    def keys(self, *arguments):
        run("xdotool", *arguments, display=self.display)

    def close(self):
        stop(self.wm, self.xvfb)


class Weston:
    """Weston with its desktop shell and panel on a headless output, for Qt's
    wayland platform. Its --debug lets weston-debug read the scene graph."""

    def __init__(self, home):
        self.env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, XDG_CACHE_HOME=home, XDG_RUNTIME_DIR=home,
                        WAYLAND_DISPLAY="wayland-kelvara", QT_QPA_PLATFORM="wayland")
        self.compositor = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--width=%d" % WESTON_OUTPUT[0],
             "--height=%d" % WESTON_OUTPUT[1], "--socket=wayland-kelvara", "--idle-time=0", "--no-config", "--debug"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(self.panel_bottom, START_S):
            stop(self.compositor)
            raise RuntimeError("weston with its desktop shell did not start")

    def views(self, described):
        """Where weston shows the views whose line in the scene graph has described in it, as x1, y1, x2, y2."""
        graph = subprocess.run(["weston-debug", "scene-graph"], env=self.env, capture_output=True, text=True,
                               timeout=WAIT_S).stdout
        return [tuple(map(float, corners)) for header, *corners
                in re.findall(r"(View .*)\n\s+position: \((\S+), (\S+)\) -> \((\S+), (\S+)\)", graph)
                if described in header]

    def panel_bottom(self):
        """Where the panel ends, once the desktop shell has drawn it."""
        return max((y2 for x1, y1, x2, y2 in self.views(WESTON_PANEL)), default=0)


def missing_for_wayland():
    """What of Weston and Qt's wayland platform is not installed."""
    missing = [command for command in ("weston", "weston-debug") if not shutil.which(command)]
    qtpaths = shutil.which("qtpaths6")
    plugins = subprocess.run([qtpaths, "--query", "QT_INSTALL_PLUGINS"], capture_output=True,
                             text=True).stdout.strip() if qtpaths else ""
    if not os.path.exists(os.path.join(plugins, "platforms", "libqwayland-generic.so")):
        missing.append("Qt's wayland platform (as qtpaths6 finds it)")
    return missing


class Host:
    """kelvara-host showing one dialog of dialogs.py, accessibility on."""

    def __init__(self, host, desktop, dialog, control_dir):
        self.desktop = desktop
        env = dict(desktop.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.process = subprocess.Popen([host, os.path.join(os.path.dirname(__file__), "dialogs.py"), dialog,
                                         control_dir], env=env, stdout=subprocess.PIPE, text=True)

    def window(self):
        """The dialog's window as AT-SPI shows it, once it is there."""
        def shown():
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.get_process_id() == self.process.pid and app.childCount:
                    return app[0]
            return None
        return wait_for(shown, START_S)

    def result(self):
        """What the script printed once the dialog was answered, or None while it is still shown."""
        try:
            output, _ = self.process.communicate(timeout=WAIT_S)
        except subprocess.TimeoutExpired:
            return None
        return json.loads(output.splitlines()[-1]) if output.strip() else None

    def close(self):
        """Ends the dialog by Escape, which every dialog takes as Cancel, else by force."""
        if self.process.poll() is None:
            self.desktop.keys("key", "Escape")
            try:
                self.process.wait(timeout=WAIT_S)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def find(window, role_names, name):
    return pyatspi.findDescendant(window, lambda a: a.getRoleName() in role_names and a.name == name)


def check_state(accessible):
    """Whether a row is checked, as a screen reader can tell from its states or description."""
    states = accessible.getState()
    described = accessible.description.strip().lower()
    if states.contains(pyatspi.STATE_INDETERMINATE):
        return "partially checked"
    if described in DESCRIBED_CHECK_STATES:
        return described
    if states.contains(pyatspi.STATE_CHECKED):
        return "checked"
    if states.contains(pyatspi.STATE_CHECKABLE):
        return "not checked"
    return f"untold (no checked or checkable state, description {accessible.description!r})"


def check_frame(desktop, host, dialog):
    area = desktop.work_area()

    def inside():
        frame = desktop.frame(host.process.pid)
        x, y, width, height = frame or (0, 0, 0, 0)
        return frame and x >= area[0] and y >= area[1] and x + width <= area[0] + area[2] \
            and y + height <= area[1] + area[3]

    wait_for(inside)
    check(f"{dialog} at {area[2]}x{area[3]}: its frame lies within the available area, as the first window",
          inside(), f"frame (x, y, width, height) {desktop.frame(host.process.pid)}, available {area}")


def check_on_output(host_program, weston, dialog, home):
    """Shows the dialog as the first window of a new host on Weston: the
    compositor places it below the panel, so its buttons, at its bottom, are
    on the output if the whole window is."""
    host = Host(host_program, weston, dialog, home)
    try:
        panel_bottom = weston.panel_bottom()

        def on_output():
            windows = weston.views(f"PID {host.process.pid},")
            return windows and all(x1 >= 0 and y1 >= panel_bottom and x2 <= WESTON_OUTPUT[0]
                                   and y2 <= WESTON_OUTPUT[1] for x1, y1, x2, y2 in windows)

        wait_for(on_output, START_S)
        check(f"{dialog} on Weston at {WESTON_OUTPUT[0]}x{WESTON_OUTPUT[1]}: the window and its buttons lie on"
              " the output below the panel, as the first window", bool(on_output()),
              f"window (x1, y1, x2, y2) {weston.views(f'PID {host.process.pid},')}, panel bottom {panel_bottom}")
    except subprocess.SubprocessError as error:  # weston-debug hung
        check(f"{dialog} on Weston: its check runs to the end", False, repr(error))
    finally:
        stop(host.process)


def progress_flow(desktop, host, log, control_dir):
    """Focus on Cancel, Space cancels, and the ticks announce each message once."""
    def on_cancel():
        role, name = log.focus() or ("", "")
        return role in BUTTON_ROLES and name == "Cancel"

    wait_for(on_cancel)
    check("progress: Cancel has the focus when shown", on_cancel(),
          f"focus events {log.focus_taken()}")

    mark = len(log.events)
    open(os.path.join(control_dir, "tick"), "w").close()

    def renames():
        """The label's names up to the first of the last message."""
        names = [e.name for e in log.since(mark, NAME) if e.role == "label"]
        last = [n for n, name in enumerate(names) if name.startswith(dialogs.LAST_MESSAGE)]
        return names[:last[0] + 1] if last else names

    wait_for(lambda: renames() and renames()[-1].startswith(dialogs.LAST_MESSAGE))
    messages = len(dialogs.PROGRESS_MESSAGES) + 1
    check(f"progress: {messages} messages over {len(dialogs.PROGRESS_MESSAGES) * dialogs.TICKS_PER_MESSAGE}"
          " ticks rename the label once each, to the message without dots",
          renames() and len(renames()) <= messages and renames()[-1] == dialogs.LAST_MESSAGE,
          f"{len(renames())} name changes, the last ones {renames()[-3:]}")

    desktop.keys("key", "space")
    result = host.result()
    check("progress: Space presses Cancel", result == {"cancelled": True}, f"the script got {result}")
    check("progress: the hidden Ok never takes the focus",
          not any(role in BUTTON_ROLES and name.lower() == "ok" for role, name in log.focus_taken()),
          f"focus events {log.focus_taken()}")


@dataclass
class Checklist:
    """A dialog with a checkable list or tree, and the rows its keyboard flow meets."""
    dialog: str
    first: str     # Home, then Space checks it
    typed: str     # typing it, Down and Space check `found`
    found: str
    unchecked: str
    partly: str    # a group that is partly checked then, if the dialog has groups


CHECKLISTS = {
    "selection": Checklist("selection", first="Fragments", typed="KCL", found="KCL-0057", unchecked="KCL-0012",
                           partly="Internal"),
    "display": Checklist("display", first="CDK2 IC50", typed="PI3K", found="PI3Kα IC50", unchecked="EGFR Ki",
                         partly=""),
}


def checklist_flow(desktop, host, log, control_dir, checklist):
    """Tab into the list or tree, type-ahead and Space with real keys, then read
    what a screen reader reads: focus, check states, their events, labels."""
    dialog = checklist.dialog
    window = host.window()
    wait_for(log.focus)
    for _ in range(8):
        if (log.focus() or ("", ""))[0] in VIEW_ROLES | ROW_ROLES:
            break
        mark = len(log.events)
        desktop.keys("key", "Tab")
        wait_for(lambda: log.focus(mark))
    check(f"{dialog}: focus into the list or tree reaches the highlighted row",
          (log.focus() or ("", ""))[0] in ROW_ROLES, f"focus on {log.focus()}")

    mark = len(log.events)
    desktop.keys("key", "--delay", "30", "Home", "space")
    first = find(window, ROW_ROLES, checklist.first)
    wait_for(lambda: check_state(first) == "checked" or log.since(mark, CHECKED, checklist.first))
    told = [(e.kind, e.detail, e.description) for e in log.since(mark, CHECKED, checklist.first)
            + log.since(mark, DESCRIPTION, checklist.first)]
    check(f"{dialog}: Space on {checklist.first!r} sends its new check state",
          any(kind == CHECKED and detail == 1
              or kind == DESCRIPTION and description.strip().lower() == "checked"
              for kind, detail, description in told), f"events {told}")

    # A name typed, Down and Space, all within the type-ahead interval.
    mark = len(log.events)
    desktop.keys("key", "--delay", "30", *checklist.typed, "Down", "space")
    found = find(window, ROW_ROLES, checklist.found)
    wait_for(lambda: check_state(found) == "checked")
    focus_after_typing = log.focus(mark)

    expected = {checklist.first: "checked", checklist.found: "checked", checklist.unchecked: "not checked"}
    if checklist.partly:
        expected[checklist.partly] = "partially checked"
    read = {row: check_state(find(window, ROW_ROLES, row)) for row in expected}
    check(f"{dialog}: each row tells whether it is checked, not checked or partially checked", read == expected,
          f"read {read}")

    radios = pyatspi.findAllDescendants(window, lambda a: a.getRoleName() == "radio button")
    labels = {radio.name: [target.name for relation in radio.getRelationSet()
                           if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                           for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
              for radio in radios}
    check(f"{dialog}: the radio buttons are labelled by 'Aggregation:'",
          radios and all(names == ["Aggregation:"] for names in labels.values()), f"labelled by {labels}")

    desktop.keys("key", "Return")
    result = host.result()
    check(f"{dialog}: typing {checklist.typed!r}, Down and Space checks {checklist.found!r}; Return is Ok",
          result is not None and result["accepted"] and checklist.found in result["checked"],
          f"the script got {result}; focus after the keys on {focus_after_typing}")


def meet(host_program, desktop, dialog, with_flow, log, home):
    """Shows the dialog as the first window of a new host: checks its frame, then its flow."""
    log.events.clear()
    control_dir = tempfile.mkdtemp(dir=home)
    host = Host(host_program, desktop, dialog, control_dir)
    try:
        if not host.window():
            check(f"{dialog}: shown", False, f"no window over AT-SPI within {START_S} s")
        else:
            check_frame(desktop, host, dialog)
            if with_flow and dialog in CHECKLISTS:
                checklist_flow(desktop, host, log, control_dir, CHECKLISTS[dialog])
            elif with_flow:
                progress_flow(desktop, host, log, control_dir)
    except Exception as error:  # a host gone or a widget missing fails this dialog, not the whole pass
        check(f"{dialog}: its checks run to the end", False, repr(error))
    finally:
        host.close()


def main():
    host_program = os.path.abspath(sys.argv[1])
    log = EventLog()
    started = time.monotonic()
    home = tempfile.mkdtemp(prefix="kelvara-outside-")
    try:
        for index, size in enumerate(SCREENS):
            desktop = Desktop(size, home)
            try:
                for dialog in ("progress", *CHECKLISTS):
                    meet(host_program, desktop, dialog, index == 0, log, home)
            finally:
                desktop.close()
        missing = missing_for_wayland()
        if missing:
            print(f"SKIPPED on Wayland: missing {', '.join(missing)} (bash scripts/setup.sh installs weston and"
                  " qt6-wayland)", flush=True)
        else:
            weston = Weston(home)
            try:
                for dialog in ("long-progress", *CHECKLISTS):
                    check_on_output(host_program, weston, dialog, home)
            finally:
                stop(weston.compositor)
    except (RuntimeError, OSError) as error:  # no X server, window manager or compositor
        check("a desktop starts", False, error)
    finally:
        shutil.rmtree(home, ignore_errors=True)
    failed = results.count(False)
    print(f"outside clients took {time.monotonic() - started:.1f} s")
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())
