"""The viewer as a screen reader meets it: the real station and the real viewer, the viewer's
accessible tree read over the accessibility bus with pyatspi, keys typed on the X server.

Run inside a session bus of the test's own (dbus-run-session) on an X server of its own
(own_display): the accessibility bus is then started for this test alone, through the session
bus, and goes with it.
"""

import os
import shutil
import subprocess
import tempfile
import time

import warnings

# pyatspi calls deprecated names of the library beneath it.
warnings.filterwarnings("ignore", category=DeprecationWarning)

import pyatspi  # noqa: E402
from gi.repository import GLib  # noqa: E402

APP_NAME = "velmora-tv"
MAIN_TITLE = "Velmora网络电视"


class Timeout(AssertionError):
    pass


def wait_for(what, condition, timeout=30.0):
    """Polls `condition` (letting accessibility events in meanwhile) until it gives something
    true, and returns that; fails with `what` at the deadline."""
    deadline = time.monotonic() + timeout
    while True:
        pump()
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Timeout("no " + what + " within %.0f s" % timeout)
        time.sleep(0.02)


def pump():
    """Delivers the accessibility events that have arrived."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


class Events:
    """Every event of the given kinds, as (type, source's role, source's name, detail1, data),
    from the moment of registration. Register before the viewer starts: it learns which events
    anybody listens to when it connects."""

    def __init__(self, *kinds):
        self.kinds = kinds
        self.seen = []
        pyatspi.Registry.registerEventListener(self._on_event, *kinds)

    def _on_event(self, event):
        source = event.source
        try:
            role, name = source.getRoleName(), source.name
        except Exception:  # the object went meanwhile
            role, name = "", ""
        data = event.any_data
        if not isinstance(data, (str, int, float)) and data is not None:
            data = describe(data)
        self.seen.append((event.type, role, name, event.detail1, data))

    def clear(self):
        pump()
        self.seen = []

    def wait(self, what, predicate, timeout=15.0):
        """The first event so far or to come for which `predicate` holds."""
        def found():
            return next((e for e in self.seen if predicate(e)), None)
        return wait_for(what, found, timeout)

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._on_event, *self.kinds)


def describe(node):
    try:
        return "%s %r" % (node.getRoleName(), node.name)
    except Exception:
        return "<gone>"


def states(node):
    names = []
    state_set = node.getState()
    for state in (pyatspi.STATE_SHOWING, pyatspi.STATE_VISIBLE, pyatspi.STATE_FOCUSED,
                  pyatspi.STATE_FOCUSABLE, pyatspi.STATE_EXPANDED, pyatspi.STATE_COLLAPSED,
                  pyatspi.STATE_SELECTED, pyatspi.STATE_ENABLED):
        if state_set.contains(state):
            names.append(pyatspi.stateToString(state).replace("STATE_", "").lower())
    return names


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def find(root, predicate, showing_only=False):
    """The first node under `root` (depth first) for which `predicate` holds."""
    stack = [root]
    while stack:
        node = stack.pop()
        try:
            if predicate(node):
                return node
            kids = children(node)
        except Exception:
            continue
        if showing_only:
            kids = [k for k in kids if k is not None and
                    k.getState().contains(pyatspi.STATE_SHOWING)]
        stack.extend(reversed([k for k in kids if k is not None]))
    return None


def named(role, name):
    return lambda node: node.getRoleName() == role and node.name == name


def text_of(node):
    """What a text-bearing object holds, through its text interface."""
    text = node.queryText()
    return text.getText(0, text.characterCount)


def dump(node, depth=0, limit=8, out=None):
    """The tree as lines "role 'name' [states]", as a screen reader can walk it: past `limit`
    children of one node the rest are counted, and so are the children of what does not show."""
    out = [] if out is None else out
    kids = [k for k in children(node) if k is not None]
    line = "%s%s %r [%s]" % ("  " * depth, node.getRoleName(), node.name, " ".join(states(node)))
    if kids and not node.getState().contains(pyatspi.STATE_SHOWING):
        out.append(line + " (%d children)" % len(kids))
        return out
    out.append(line)
    for kid in kids[:limit]:
        dump(kid, depth + 1, limit, out)
    if len(kids) > limit:
        out.append("%s... %d more" % ("  " * (depth + 1), len(kids) - limit))
    return out


def xdotool(*arguments):
    subprocess.run(("xdotool",) + arguments, check=True, timeout=15,
                   stdout=subprocess.DEVNULL)


class Station:
    """velmora-station on a free loopback port."""

    def __init__(self, bin_dir):
        self.process = subprocess.Popen(
            [os.path.join(bin_dir, "velmora-station"), "--port", "0"],
            stdout=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 10
        self.address = None
        while time.monotonic() < deadline:
            line = self.process.stdout.readline()
            if not line:
                break
            if "listening on " in line:
                self.address = line.split("on ", 1)[1].strip()
                break
        if not self.address:
            self.close()
            raise RuntimeError("the station did not start")

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(5)
        self.process.stdout.close()


class Viewer:
    """velmora-tv copied with its features text into a fresh folder, as a user installs it,
    started against `station` with Qt's accessibility on. `environment` comes on top."""

    def __init__(self, bin_dir, station, environment=None):
        self.dir = tempfile.mkdtemp(prefix="velmora-a11y-")
        self.executable = os.path.join(self.dir, "velmora-tv")
        shutil.copy(os.path.join(bin_dir, "velmora-tv"), self.executable)
        shutil.copy(os.path.join(bin_dir, "软件特性.txt"), self.dir)
        env = dict(os.environ)
        env.update({
            "VELMORA_STATION": station.address,
            "VELMORA_AD_URL": "http://%s/ad/" % station.address,
            "VELMORA_TRACE": os.path.join(self.dir, "trace.log"),
            "VELMORA_AUDIO_OUTPUT": "adummy",
            # Qt otherwise asks the accessibility bus whether a screen reader runs.
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        })
        env.update(environment or {})
        self.process = subprocess.Popen([self.executable], cwd=tempfile.gettempdir(), env=env)

    def events(self):
        try:
            with open(os.path.join(self.dir, "trace.log"), encoding="utf-8") as trace:
                return [line.rstrip("\n").split(" ", 1)[1] for line in trace if " " in line]
        except FileNotFoundError:
            return []

    def wait_for_event(self, prefix, timeout=60.0):
        return wait_for("trace event " + prefix,
                        lambda: next((e for e in self.events() if e.startswith(prefix)), None),
                        timeout)

    def applications(self):
        """The viewer's application objects on the accessibility bus: Qt's, and GTK's too where
        a GTK platform theme brings GTK's own bridge into the process."""
        found = []
        for app in children(pyatspi.Registry.getDesktop(0)):
            try:
                if app is not None and app.name == APP_NAME and \
                        app.get_process_id() == self.process.pid:
                    found.append(app)
            except Exception:  # an application that went meanwhile
                continue
        return found

    def main_window(self, timeout=60.0):
        """The main window, once the catalogue is in and it shows."""
        self.wait_for_event("ready", timeout)

        def shown():
            for app in self.applications():
                for window in children(app):
                    if window is not None and window.getRoleName() == "frame" and \
                            window.name.endswith(MAIN_TITLE) and \
                            window.getState().contains(pyatspi.STATE_SHOWING):
                        return window
            return None
        return wait_for("main window", shown)

    def keys(self, *keys, focus=True):
        """Keys typed on the keyboard, as a user types them: into the main window, or with
        `focus` false into whatever has the keyboard now (a popup menu of the viewer's)."""
        if focus:
            window = None
            for event in self.events():
                if event.startswith("shown window="):
                    window = event[len("shown window="):]
            if window is None:
                raise AssertionError("the main window was never shown")
            xdotool("windowfocus", "--sync", window)
        xdotool("key", "--clearmodifiers", *keys)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(10)
        shutil.rmtree(self.dir, ignore_errors=True)
