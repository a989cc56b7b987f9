"""The roll-down menu and its search as a screen reader finds them: the real viewer against the
real station, its accessible tree read over the accessibility bus, keys typed on its X server.

Usage (as ctest runs it): own_display dbus-run-session -- python3 tst_accessibility.py BIN_DIR
"""

import os
import sys
import tempfile
import time
import unittest

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import screenreader as sr  # noqa: E402

BIN_DIR = None
GROUPS = ["新闻联播", "药都时空", "走进农家", "谯城报道", "药都论坛"]


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def centre(node):
    x, y, width, height = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return x + width // 2, y + height // 2


def at_point(root, point):
    return root.queryComponent().getAccessibleAtPoint(point[0], point[1], pyatspi.DESKTOP_COORDS)


def height(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)[3]


class ViewerTest(unittest.TestCase):
    """One viewer per test, on the test's own bus: nothing a test leaves reaches the next."""

    environment = {}

    def setUp(self):
        # Registered before the viewer starts: it asks which events anybody listens to when it
        # connects to the bus.
        self.events = sr.Events("object:state-changed:showing", "focus:",
                                "object:property-change:accessible-name")
        self.station = sr.Station(BIN_DIR)
        self.addCleanup(self.station.close)
        self.viewer = sr.Viewer(BIN_DIR, self.station, self.environment)
        self.addCleanup(self.viewer.close)
        self.addCleanup(self.events.close)
        self.window = self.viewer.main_window()
        self.menu = sr.wait_for("menu 节目菜单", lambda: sr.find(self.window, sr.named("tree", "节目菜单")))

    def child(self, role, name=None):
        return next((c for c in sr.children(self.menu)
                     if c.getRoleName() == role and (name is None or c.name == name)), None)

    def search(self, *keys):
        """Ctrl+F and `keys` typed; the field once it holds them all."""
        self.viewer.keys("ctrl+f")
        field = sr.wait_for("find field", lambda: self.child("text", "查找节目"))
        self.viewer.keys(*keys)
        sr.wait_for("the typed text", lambda: sr.text_of(field) == "".join(keys))
        return field


class MenuTest(ViewerTest):

    def test_menu_is_a_named_tree_of_what_shows(self):
        print("\n-- the main window before a search --")
        print("\n".join(sr.dump(self.window)))
        menu = self.menu
        self.assertTrue(showing(menu))
        headers = [c for c in sr.children(menu) if c.getRoleName() == "table cell"]
        self.assertEqual([h.name for h in headers], GROUPS)
        self.assertTrue(all(showing(h) for h in headers))
        self.assertTrue(headers[0].getState().contains(pyatspi.STATE_EXPANDED))
        # The rows at the sizes they are declared for, with the desktop's text at its default.
        self.assertEqual(height(headers[0]), 24)
        self.assertEqual(height(headers[0].getChildAtIndex(0)), 20)
        # 新闻联播's fifty items overflow the band: its scroll bar is the menu's too.
        bar = self.child("scroll bar")
        self.assertIsNotNone(bar)
        self.assertTrue(showing(bar))
        self.assertIsNone(self.child("text"))
        self.assertIsNone(self.child("list"))
        # Hit testing finds what is on screen there, the deepest object first.
        self.assertEqual(at_point(menu, centre(headers[3])).name, "谯城报道")
        first = headers[0].getChildAtIndex(0)
        self.assertEqual(first.name, "新闻联播0112期")
        self.assertEqual(at_point(menu, centre(first)).name, "新闻联播0112期")
        self.assertEqual(at_point(menu, centre(bar)).getRoleName(), "scroll bar")

    def test_search_lists_the_matches_under_their_groups_and_counts_them(self):
        field = self.search("0", "1", "1", "1")
        matches = sr.wait_for("list of matches", lambda: self.child("list", "找到的节目"))
        self.assertTrue(showing(field) and field.getState().contains(pyatspi.STATE_FOCUSED))
        rows = sr.children(matches)
        self.assertEqual([r.name for r in rows],
                         ["新闻联播", "新闻联播0111期", "谯城报道", "谯城报道0111期"])
        self.assertEqual([r.description for r in rows], ["", "新闻联播", "", "谯城报道"])
        self.assertTrue(all(showing(r) for r in rows))
        # The count, announced as a notification coming to show, and readable in the tree.
        self.events.wait("announcement of the count", lambda e: e[:2] == (
            "object:state-changed:showing", "notification") and e[2:4] == ("找到 2 个节目", 1))
        self.assertEqual(self.child("notification").name, "找到 2 个节目")
        print("\n-- the main window with a search open --")
        print("\n".join(sr.dump(self.window)))

        # The menu's rows lie under the matches: none shows, none is hit there.
        headers = [c for c in sr.children(self.menu) if c.getRoleName() == "table cell"]
        self.assertEqual([h.name for h in headers], GROUPS)
        self.assertFalse(any(showing(h) for h in headers))
        self.assertFalse(showing(headers[0].getChildAtIndex(0)))
        self.assertIsNone(self.child("scroll bar"))
        self.assertEqual(at_point(self.menu, centre(rows[3])).name, "谯城报道0111期")
        self.assertEqual(at_point(self.menu, centre(field)).name, "查找节目")

        # Down goes to the next match, past its group's name, and says which.
        self.events.clear()
        self.viewer.keys("Down")
        self.events.wait("focus on the next match",
                         lambda e: e[:3] == ("focus:", "list item", "谯城报道0111期"))

    def test_no_match_is_announced_and_escape_gives_the_menu_back(self):
        self.search("z", "z", "z")
        self.events.wait("announcement of no match", lambda e: e[:2] == (
            "object:state-changed:showing", "notification") and e[2:4] == ("没有找到节目", 1))
        matches = self.child("list", "找到的节目")
        self.assertEqual([r.name for r in sr.children(matches)], ["没有找到节目"])

        self.events.clear()
        self.viewer.keys("Escape")
        sr.wait_for("the field gone", lambda: self.child("text") is None)
        self.assertIsNone(self.child("list"))
        self.assertIsNone(self.child("notification"))
        headers = [c for c in sr.children(self.menu) if c.getRoleName() == "table cell"]
        self.assertTrue(all(showing(h) for h in headers))
        # The focus comes back to the menu's row, and only there: no other widget in between.
        focus = self.events.wait("focus on the menu's row",
                                 lambda e: e[:2] == ("focus:", "table cell"))
        self.assertEqual(focus[2], "新闻联播")
        self.assertEqual([e[1] for e in self.events.seen if e[0] == "focus:"][-1], "table cell")
        self.assertNotIn("filler", [e[1] for e in self.events.seen if e[0] == "focus:"])

        # Found again as it comes back: what went from the tree is not gone for good.
        field = self.search("0", "1", "1", "1")
        self.assertTrue(showing(field))
        matches = sr.wait_for("list of matches", lambda: self.child("list", "找到的节目"))
        self.assertEqual(matches.childCount, 4)


class LargeTextTest(ViewerTest):
    """The desktop's text at 16 pt, set as a GNOME user sets it (the interface font, which GTK
    keeps in its settings), reaching the viewer through Qt's GTK platform theme."""

    def setUp(self):
        settings = tempfile.TemporaryDirectory(prefix="velmora-desktop-")
        self.addCleanup(settings.cleanup)
        os.makedirs(os.path.join(settings.name, "gtk-3.0"))
        with open(os.path.join(settings.name, "gtk-3.0", "settings.ini"), "w") as ini:
            ini.write("[Settings]\ngtk-font-name = DejaVu Sans 16\n")
        self.environment = {"QT_QPA_PLATFORMTHEME": "gtk3", "XDG_CONFIG_HOME": settings.name}
        super().setUp()

    def open_about(self):
        """帮助 → 关于 from the keyboard, the item's key once its menu shows. The menu can close
        again at once while the window is still settling (the focus moves in it); then it is
        opened again."""
        bar = next(c for c in sr.children(self.window) if c.getRoleName() == "menu bar")
        help_menu = next(c for c in sr.children(bar) if c.name == "帮助(H)").getChildAtIndex(0)

        def about():
            for app in self.viewer.applications():
                for window in sr.children(app):
                    if window is not None and window.name == "关于 Velmora网络电视" and \
                            showing(window):
                        return window
            return None
        deadline = time.monotonic() + 60
        while True:
            self.viewer.keys("alt+h")
            try:
                sr.wait_for("the 帮助 menu", lambda: showing(help_menu), timeout=5)
                self.viewer.keys("a", focus=False)
                return sr.wait_for("the 关于 window", about, timeout=5)
            except sr.Timeout:
                if time.monotonic() > deadline:
                    raise

    def test_menu_rows_and_the_about_window_grow_with_the_text(self):
        headers = [c for c in sr.children(self.menu) if c.getRoleName() == "table cell"]
        self.assertEqual([h.name for h in headers], GROUPS)
        self.assertGreater(height(headers[0]), 24)
        self.assertGreater(height(headers[0].getChildAtIndex(0)), 20)

        window = self.open_about()
        x, y, width, height_ = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        # Declared 372 × 163: the whole window grew.
        self.assertGreater(width, 372)
        self.assertGreater(height_, 163)
        labels = [n.name for n in sr.children(window) if n.getRoleName() == "label"]
        self.assertIn("E-mail：", labels)


if __name__ == "__main__":
    BIN_DIR = sys.argv.pop(1)
    unittest.main(verbosity=2)
