# SPDX-License-Identifier: GPL-3.0-or-later
"""Nautilus menu item "Shred with Corvane" for selected local files and folders.

It only opens them in Corvane's files list, as a drop would; Corvane asks before erasing.
"""

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    gi.require_version("Nautilus", "3.0")

from gi.repository import GObject, Gio, Nautilus  # noqa: E402


class CorvaneShredMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Nautilus 43 and later pass (files); earlier ones (window, files).
        files = args[-1]
        paths = [item.get_location().get_path() for item in files]
        if not paths or None in paths:
            return []
        entry = Nautilus.MenuItem(
            name="CorvaneShredMenu::shred",
            label="Shred with Corvane",
            tip="Open the selected items in Corvane, which asks before erasing anything",
            icon="org.corvane.Corvane",
        )
        entry.connect("activate", self._open_in_corvane, paths)
        return [entry]

    @staticmethod
    def _open_in_corvane(_entry, paths):
        # Gio reaps the child, so no zombie stays behind in the file manager.
        Gio.Subprocess.new(["corvane", "--", *paths], Gio.SubprocessFlags.NONE)
