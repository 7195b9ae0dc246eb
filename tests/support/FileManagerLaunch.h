// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class TempTree;

/// What a file manager starts when Corvane's action is chosen for a selection, worked out from
/// the files under dist/ (and the README) the way each one does it: Dolphin splits a desktop
/// entry's Exec, Nautilus runs the Python extension (here against stand-ins for its gi
/// modules), Nemo puts the paths in as its action's Quote says, Caja and Thunar as
/// g_shell_quote() gives them; every line is split by GLib's own parser, called in GLib itself
/// so that its rules are not restated.
class FileManagerLaunch
{
public:
    /// libglib-2.0 can be loaded.
    static bool haveGLib();
    /// The argv `manager` ("dolphin", "nautilus", "nemo", "caja", "thunar") starts for `paths`.
    /// `nemoQuote` is the Nemo action's Quote, or "as installed". `work` holds the Nautilus
    /// stand-ins. Nothing when python3 is missing; empty when GLib refuses the line.
    static std::optional<QList<QByteArray>> argv(const QString& manager,
        const QList<QByteArray>& paths, const QByteArray& nemoQuote, TempTree& work);
};
