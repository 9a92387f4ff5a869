# A private desktop for one test: a virtual X display, a window manager and
# a session bus of its own, and on demand an XEmbed tray (trayer), a panel
# whose tray is a StatusNotifierWatcher (xfce4-panel), a headless Wayland
# compositor (weston) and the accessibility bus. close() ends every process
# the session or its bus started, found by a mark in their environment.
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

WATCHER = "org.kde.StatusNotifierWatcher"
_A11Y_OBJECTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "a11y_objects.py")

_PANEL_XML = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
"""


def wait_until(condition, timeout=10.0, step=0.05):
    """condition()'s first true value, or None after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value or None
        time.sleep(step)


class DesktopSession:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="zvit-desktop-")
        self.runtime = os.path.join(self.dir, "run")
        os.mkdir(self.runtime, 0o700)
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                     "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)
        self.env.update({
            "ZVIT_DESKTOP_SESSION": self.dir,  # the mark close() looks for
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_CACHE_HOME": os.path.join(self.dir, "cache"),
            "HOME": self.dir,
            "NO_AT_BRIDGE": "0",
        })
        self._procs = []
        self.logs = {}
        self._start_display()
        self._start_bus()
        self.start("openbox", ["openbox", "--sm-disable"])
        wait_until(lambda: self.x_ok("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 10)

    # --- processes ---------------------------------------------------------
    def start(self, name, argv, env=None, **kwargs):
        log = open(os.path.join(self.dir, name + ".log"), "ab")
        self.logs[name] = log.name
        proc = subprocess.Popen(argv, env=dict(self.env, **(env or {})), stdout=log, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, start_new_session=True, **kwargs)
        log.close()
        self._procs.append(proc)
        return proc

    def run(self, argv, env=None, timeout=20, check=False):
        out = subprocess.run(argv, env=dict(self.env, **(env or {})), stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=timeout, check=check)
        return out.stdout.decode(errors="replace")

    def x_ok(self, *argv):
        return subprocess.run(argv, env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def log(self, name):
        with open(self.logs[name], errors="replace") as f:
            return f.read()

    def _start_display(self):
        read, write = os.pipe()
        self.start("xvfb", ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                            "-noreset"], pass_fds=(write,))
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start: " + self.log("xvfb"))
        self.env["DISPLAY"] = ":" + number.decode()

    def _start_bus(self):
        read, write = os.pipe()
        self.start("dbus", ["dbus-daemon", "--session", "--nofork", "--print-address=%d" % write],
                   pass_fds=(write,))
        os.close(write)
        with os.fdopen(read, "rb") as f:
            address = f.readline().strip().decode()
        if not address:
            raise RuntimeError("no session bus: " + self.log("dbus"))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    # --- desktop parts -------------------------------------------------------
    def bus_has(self, name):
        out = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                        "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                       timeout=10)
        return "boolean true" in out

    def bus_owner_pid(self, name):
        out = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                        "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                        "string:" + name], timeout=10)
        found = re.search(r"uint32 (\d+)", out)
        return int(found.group(1)) if found else 0

    def start_trayer(self):
        proc = self.start("trayer", ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                     "--height", "32", "--SetDockType", "true", "--transparent", "false"])
        if not wait_until(self.tray_selection_owned, 15):
            raise RuntimeError("trayer did not take the tray: " + self.log("trayer"))
        return proc

    def tray_selection_owned(self):
        out = self.run(["python3", "-c", _SELECTION_OWNER])
        return out.strip() not in ("", "0")

    def start_xfce_panel(self):
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
            f.write(_PANEL_XML)
        proc = self.start("xfce4-panel", ["xfce4-panel", "--disable-wm-check"])
        if not wait_until(lambda: self.bus_has(WATCHER), 20):
            raise RuntimeError("xfce4-panel offers no %s: %s" % (WATCHER, self.log("xfce4-panel")))
        return proc

    def start_weston(self):
        socket = "wayland-zvit"
        proc = self.start("weston", ["weston", "--backend=headless-backend.so", "--socket=" + socket,
                                     "--shell=desktop-shell.so", "--idle-time=0"])
        path = os.path.join(self.runtime, socket)
        if not wait_until(lambda: os.path.exists(path), 15):
            raise RuntimeError("weston did not start: " + self.log("weston"))
        self.env["WAYLAND_DISPLAY"] = socket
        return proc

    def start_accessibility(self):
        """The accessibility bus; its address is put in AT_SPI_BUS_ADDRESS for readers."""
        out = ""
        for _ in range(50):
            out = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                            "org.a11y.Bus.GetAddress"], timeout=10)
            if "string \"" in out:
                break
            time.sleep(0.1)
        address = out.split("string \"", 1)[1].rsplit("\"", 1)[0] if "string \"" in out else ""
        if not address:
            raise RuntimeError("no accessibility bus: " + out)
        self.env["AT_SPI_BUS_ADDRESS"] = address
        return address

    def a11y_objects(self, application):
        """What a screen reader reads of an application's windows (a11y_objects.py's list)."""
        out = self.run(["/usr/bin/python3", _A11Y_OBJECTS, application], timeout=30)
        try:
            return json.loads(out.strip().splitlines()[-1])
        except (ValueError, IndexError):
            return []

    def screenshot(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        return self.x_ok("import", "-window", "root", path)

    # --- windows -------------------------------------------------------------
    def windows_named(self, name):
        out = self.run(["xdotool", "search", "--name", name])
        return [int(w) for w in out.split() if w.isdigit()]

    def window_state(self, window):
        """'iconic', 'normal', 'withdrawn' or '' as the window manager sees it."""
        out = self.run(["xprop", "-id", str(window), "WM_STATE", "_NET_WM_STATE"])
        if "Iconic" in out or "_NET_WM_STATE_HIDDEN" in out:
            return "iconic"
        if "Normal" in out:
            return "normal"
        return "withdrawn" if "Withdrawn" in out else ""

    def active_window(self):
        out = self.run(["xdotool", "getactivewindow"]).strip()
        return int(out) if out.isdigit() else 0

    # --- end -----------------------------------------------------------------
    def marked_processes(self):
        mark = ("ZVIT_DESKTOP_SESSION=" + self.dir).encode()
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            try:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if mark in f.read().split(b"\0"):
                        found.append(int(entry))
            except OSError:
                pass
        return found

    def close(self):
        # Clients first, the display and the bus last, so nobody complains of losing them.
        for proc in reversed(self._procs):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait(5)
        for _ in range(2):
            left = self.marked_processes()
            if not left:
                break
            for pid in left:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            wait_until(lambda: not self.marked_processes(), 5)
        shutil.rmtree(self.dir, ignore_errors=True)


# Prints the owner of the XEmbed tray selection of screen 0 (0 when none).
_SELECTION_OWNER = """
import ctypes, ctypes.util
x = ctypes.CDLL(ctypes.util.find_library('X11'))
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
d = x.XOpenDisplay(None)
print(x.XGetSelectionOwner(d, x.XInternAtom(d, b'_NET_SYSTEM_TRAY_S0', 0)) if d else 0)
"""
