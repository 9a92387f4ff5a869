#!/usr/bin/python3
"""The installed manager on real desktop parts, one private desktop per class:
no tray host, an XEmbed tray (trayer), a StatusNotifierWatcher panel started
after the manager (xfce4-panel), a headless Wayland compositor (weston), and
a screen reader's and a keyboard user's view (AT-SPI, xdotool)."""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

from desktop_session import WATCHER, DesktopSession, wait_until  # noqa: E402
from installed_manager import PIN, SERIAL, InstalledManager  # noqa: E402

ARGS = None
PRODUCT = {"1033": "Online Banking Key Manager", "2052": "网银密钥管理工具"}
SHOWN, MINIMIZED, HIDDEN = "window shown", "window minimized", "window hidden"


def needs(*programs):
    missing = [p for p in programs if not shutil.which(p)]
    return unittest.skipIf(missing, "not installed: " + " ".join(missing))


def tray_icon(session):
    """Our icon window embedded in trayer's tree, or None."""
    tree = "".join(session.run(["xwininfo", "-tree", "-id", w])
                   for w in session.run(["xdotool", "search", "--class", "trayer"]).split())
    icons = re.findall(r"(0x[0-9a-f]+) \"[^\"]*\": \(\"tarnukey\"", tree)
    return int(icons[0], 16) if icons else None


class DesktopCase(unittest.TestCase):
    language = "1033"

    @classmethod
    def setUpClass(cls):
        cls.session = DesktopSession()
        cls.manager = None
        try:
            cls.manager = InstalledManager(cls.session, ARGS.files_root, cls.language)
            cls.manager.make_key(ARGS.cert_dir)
            cls.start_parts()
            cls.manager.start_daemon()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def start_parts(cls):
        pass

    @classmethod
    def tearDownClass(cls):
        cls.session.close()
        if cls.manager:
            cls.manager.close()
        left = subprocess.run(["pgrep", "-f", ARGS.files_root + "bin/"], stdout=subprocess.PIPE).stdout.split()
        assert not cls.session.marked_processes() and not left, "left running: %s" % left

    def start_manager(self, *args, env=None, expect=None):
        manager = self.manager.start(args, env)
        if expect:
            self.assertTrue(manager.wait_for(expect), manager.output())
        return manager

    def main_window(self):
        """The manager's main window: of its windows of that name, neither Qt's helper nor a tray icon."""
        def width(window):
            found = re.search(r"Width: (\d+)", self.session.run(["xwininfo", "-id", str(window)]))
            return int(found.group(1)) if found else 0
        found = wait_until(lambda: [w for w in self.session.windows_named(PRODUCT[self.language])
                                    if "WM_CLASS(STRING)" in self.session.run(["xprop", "-id", str(w), "WM_CLASS"])
                                    and width(w) > 100], 20)
        self.assertTrue(found, "no main window")
        return found[0]

    def close_window(self, window):
        """The window manager's close, as the title bar's button or Alt+F4 asks for it."""
        self.session.run(["wmctrl", "-i", "-c", str(window)])

    def shown_windows(self):
        return self.session.run(["xdotool", "search", "--onlyvisible", "--name", PRODUCT[self.language]]).split()

    def wait_state(self, window, state):
        self.assertEqual(wait_until(lambda: self.session.window_state(window) == state and state, 20), state,
                         self.session.window_state(window))

    def shot(self, name, window=True):
        """A screenshot for a person to look at (ZVIT_DESKTOP_SHOTS), once a window is drawn."""
        if not ARGS.shots:
            return
        path = os.path.join(ARGS.shots, name + ".png")
        colours = lambda: self.session.run(["/usr/bin/convert", path, "-format", "%k", "info:"]).strip()
        drawn = lambda: colours().isdigit() and (not window or int(colours()) > 1000)
        wait_until(lambda: self.session.screenshot(path) and drawn(), 10, 0.3)


@needs("Xvfb", "openbox", "xdotool", "xprop", "wmctrl")
class NoTrayHost(DesktopCase):
    @classmethod
    def start_parts(cls):
        cls.session.start_accessibility()

    def test_sys_start_is_minimized_with_a_menu_bar_and_closing_keeps_it_there(self):
        manager = self.start_manager("-sys", expect=MINIMIZED)
        window = self.main_window()
        self.wait_state(window, "iconic")
        self.session.run(["xdotool", "windowactivate", "--sync", str(window)])
        self.wait_state(window, "normal")
        # The tray menu's entries, in the window itself.
        menu = lambda: sorted(o["name"] for o in self.session.a11y_objects("tarnukey") if o["role"] == "menu item")
        self.assertEqual(wait_until(lambda: menu() == ["About", "Quit"], 20), True, menu())
        self.shot("no-tray")
        self.close_window(window)
        self.wait_state(window, "iconic")
        self.assertIsNone(manager.proc.poll())

        # A tray that comes later gets the icon, and closing then puts the window into it.
        if not shutil.which("trayer"):
            return
        self.session.start_trayer()
        self.assertTrue(wait_until(lambda: tray_icon(self.session), 20), "no icon in the late tray")
        self.close_window(window)
        self.assertEqual(wait_until(lambda: not self.shown_windows(), 20), True)


@needs("Xvfb", "openbox", "trayer", "xdotool", "xprop", "xwininfo")
class XEmbedTray(DesktopCase):
    @classmethod
    def start_parts(cls):
        cls.session.start_trayer()

    def test_icon_is_embedded_and_a_click_shows_and_restores_the_window(self):
        self.start_manager("-sys", expect=HIDDEN)
        icon = wait_until(lambda: tray_icon(self.session), 20)
        self.assertTrue(icon, "no icon in the tray")
        self.assertEqual(self.shown_windows(), [], "a window is shown")
        self.shot("xembed-trayer", window=False)
        for _ in range(2):
            self.session.run(["xdotool", "mousemove", "--window", str(icon), "5", "5", "click", "1"])
            window = self.main_window()
            self.wait_state(window, "normal")
            self.assertEqual(wait_until(lambda: self.session.active_window() == window, 20), True)
            self.shot("xembed-trayer-clicked")
            self.session.run(["xdotool", "windowminimize", "--sync", str(window)])
            self.wait_state(window, "iconic")


@needs("Xvfb", "openbox", "xfce4-panel", "xdotool", "xprop", "wmctrl")
class WatcherStartedLate(DesktopCase):
    def sni(self, *args):
        return self.session.run(["gdbus", "call", "--session"] + list(args))

    def test_a_panel_started_after_the_manager_gets_the_item_and_activate_restores(self):
        self.start_manager("-sys", expect=MINIMIZED)
        window = self.main_window()
        self.wait_state(window, "iconic")
        panel = self.session.start_xfce_panel()
        owner = self.session.bus_owner_pid(WATCHER)
        # The panel's systray plugin is the watcher, not some other part of the session.
        self.assertIn("systray", self.session.run(["ps", "-o", "args=", "-p", str(owner)]))
        items = wait_until(lambda: re.findall(r"org\.kde\.StatusNotifierItem-\d+-\d+", self.sni(
            "--dest", WATCHER, "--object-path", "/StatusNotifierWatcher", "--method",
            "org.freedesktop.DBus.Properties.Get", WATCHER, "RegisteredStatusNotifierItems")), 20)
        self.assertTrue(items, "the watcher has no item")
        item = ["--dest", items[0], "--object-path", "/StatusNotifierItem"]
        for prop in ("Id", "Title"):
            value = self.sni(*item, "--method", "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem",
                             prop)
            self.assertIn("'%s'" % PRODUCT[self.language], value, prop)
        # With its tray, the window put away is hidden, no more minimized.
        self.shot("sni-panel-late", window=False)
        self.sni(*item, "--method", "org.kde.StatusNotifierItem.Activate", "0", "0")
        self.wait_state(window, "normal")
        self.assertEqual(wait_until(lambda: self.session.active_window() == window, 20), True)
        self.shot("sni-panel-late-activated")
        # Put away into the panel; a panel that quits must not take the window with it.
        self.close_window(window)
        self.assertEqual(wait_until(lambda: not self.shown_windows(), 20), True)
        panel.terminate()
        # Qt makes the window anew after a close by the window manager.
        self.wait_state(self.main_window(), "iconic")


@needs("weston", "Xvfb", "openbox")
class Wayland(DesktopCase):
    @classmethod
    def start_parts(cls):
        if not glob.glob("/usr/lib/*/qt5/plugins/platforms/libqwayland-generic.so"):
            raise unittest.SkipTest("no Qt Wayland plugin (qtwayland5)")
        cls.session.start_weston()
        cls.session.start_accessibility()

    def frame_showing(self):
        return any(o["role"] == "frame" and o["top"] == PRODUCT[self.language] and o["showing"]
                   for o in self.session.a11y_objects("tarnukey"))

    def test_starts_and_a_second_start_shows_the_window(self):
        wayland = {"QT_QPA_PLATFORM": "wayland", "DISPLAY": ""}
        first = self.start_manager("-sys", env=wayland, expect=MINIMIZED)
        self.assertNotIn("Could not load the Qt platform plugin", first.output())
        second = self.start_manager(env=wayland)
        self.assertEqual(second.proc.wait(30), 0, second.output())
        self.assertTrue(first.wait_for(SHOWN), first.output())
        self.assertTrue(wait_until(self.frame_showing, 20), "the window is not shown")
        self.assertIsNone(first.proc.poll())


@needs("Xvfb", "openbox", "xdotool", "/usr/libexec/at-spi-bus-launcher")
class ScreenReaderAndKeyboard(DesktopCase):
    @classmethod
    def start_parts(cls):
        cls.session.start_accessibility()

    def objects(self, top=None):
        return [o for o in self.session.a11y_objects("tarnukey") if top is None or o["top"] == top]

    def focused(self):
        return [o["name"] for o in self.objects() if o["focused"] and o["role"] != "table cell"]

    def key(self, *keys, focus=None):
        self.session.run(["xdotool", "key", "--delay", "60"] + list(keys))
        if focus:
            self.assertEqual(wait_until(lambda: focus in self.focused(), 20), True, (keys, self.focused()))

    def names_of(self, top):
        # Tree cells carry key and certificate names from the key: data, not texts of ours.
        return {o["name"] for o in self.objects(top) if o["focusable"] and o["showing"] and o["role"] != "table cell"}

    def test_names_in_each_language_then_a_keyboard_run_opens_the_viewer_and_changes_the_pin(self):
        self.manager.tool("plug", SERIAL)
        chinese = re.compile("[\u4e00-\u9fff]")
        for language in ("2052", "1033"):
            self.manager.set_language(language)
            manager = self.start_manager(expect=SHOWN)
            product = PRODUCT[language]
            tree = wait_until(lambda: [o for o in self.objects(product) if o["role"] == "table cell" and
                                       "2035" in o["description"]], 20)
            self.assertEqual(len(tree), 2, "both certificates, told apart")
            self.assertNotEqual(tree[0]["description"], tree[1]["description"])
            names = self.names_of(product)
            self.assertGreaterEqual(len(names), 6, names)
            self.assertTrue([o for o in self.objects(product) if o["role"] == "tree" and o["name"]])
            for name in names:
                self.assertTrue(name and (language != "2052" or chinese.search(name)), (language, name))
            if language == "2052":
                manager.proc.terminate()
                self.assertEqual(manager.proc.wait(30), 0)

        # Keyboard only: the tree has the focus; the first certificate, its viewer, then change-PIN.
        self.assertTrue(wait_until(lambda: self.session.active_window() == self.main_window(), 20))
        self.key("Down", "Tab", "Tab", "Tab", focus="View certificate")
        self.key("Return", focus="Certificate information")
        subject = "CN=" + tree[0]["name"]
        self.assertTrue(wait_until(lambda: [o for o in self.objects() if subject in o["name"]], 20),
                        "not the chosen certificate's viewer")
        self.shot("keyboard-viewer")
        self.key("Escape", focus="View certificate")
        self.key("shift+Tab", focus="Change PIN")
        self.key("Return", focus="Old PIN")
        dialog = self.names_of("Change PIN")
        for name in ("Old PIN", "New PIN", "Confirm new PIN", "OK", "Cancel"):
            self.assertIn(name, dialog)
        self.session.run(["xdotool", "type", "--delay", "40", PIN])
        self.key("Tab", focus="New PIN")
        self.session.run(["xdotool", "type", "--delay", "40", "Fresh-2468"])
        self.key("Tab", focus="Confirm new PIN")
        self.session.run(["xdotool", "type", "--delay", "40", "Fresh-2468"])
        self.key("Return")
        self.assertTrue(wait_until(lambda: self.manager.pin_is("Fresh-2468"), 20), "the PIN did not change")
        self.assertFalse(self.manager.pin_is(PIN))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--files-root", required=True)
    parser.add_argument("--cert-dir", required=True)
    parser.add_argument("--shots", default=os.environ.get("ZVIT_DESKTOP_SHOTS"))
    ARGS, rest = parser.parse_known_args()
    result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(77 if result.skipped and len(result.skipped) == result.testsRun else 0)


main()
