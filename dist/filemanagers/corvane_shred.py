# SPDX-License-Identifier: GPL-3.0-or-later
"""Nautilus menu item "Shred with Corvane" for selected local files and folders.

It only opens them in Corvane's files list, as a drop would; Corvane asks before erasing.
"""

import os

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    gi.require_version("Nautilus", "3.0")

from gi.repository import GObject, Gio, Nautilus  # noqa: E402


# The item's words in the desktop's language, as Corvane's own tables have them.
_TEXTS = {
    "de": ("Mit Corvane schreddern",
           "Die ausgewählten Objekte in Corvane öffnen; gelöscht wird erst nach Ihrer Bestätigung"),
    "fr": ("Détruire avec Corvane",
           "Ouvrir les éléments sélectionnés dans Corvane, qui demande confirmation avant "
           "d’effacer quoi que ce soit"),
}
_ENGLISH = ("Shred with Corvane",
            "Open the selected items in Corvane, which asks before erasing anything")


def _texts():
    # gettext's order: LANGUAGE (a list) unless the locale is C, then LC_ALL, LC_MESSAGES, LANG.
    locale = next((os.environ[v] for v in ("LC_ALL", "LC_MESSAGES", "LANG") if os.environ.get(v)), "C")
    if locale.split(".")[0] in ("C", "POSIX"):
        return _ENGLISH
    for name in os.environ.get("LANGUAGE", "").split(":") + [locale]:
        language = name.split(".")[0].split("_")[0]
        if language == "en":
            return _ENGLISH
        if language in _TEXTS:
            return _TEXTS[language]
    return _ENGLISH


class CorvaneShredMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Nautilus 43 and later pass (files); earlier ones (window, files).
        files = args[-1]
        paths = [item.get_location().get_path() for item in files]
        if not paths or None in paths:
            return []
        label, tip = _texts()
        entry = Nautilus.MenuItem(
            name="CorvaneShredMenu::shred",
            label=label,
            tip=tip,
            icon="org.corvane.Corvane",
        )
        entry.connect("activate", self._open_in_corvane, paths)
        return [entry]

    @staticmethod
    def _open_in_corvane(_entry, paths):
        # Gio reaps the child, so no zombie stays behind in the file manager.
        Gio.Subprocess.new(["corvane", "--", *paths], Gio.SubprocessFlags.NONE)
