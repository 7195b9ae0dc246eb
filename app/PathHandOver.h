// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <utility>

/// Paths given to this start or handed over by a later one. They are taken like a drop, and
/// only where a drop is taken; while the first-run welcome window waits they are kept, each
/// once, until it is left.
class PathHandOver
{
public:
    /// Keeps `paths` for later, leaving out those already kept.
    void keep(const QStringList& paths);
    /// The paths kept so far; none are kept afterwards.
    QStringList takeKept() { return std::exchange(m_kept, {}); }
    /// Takes `paths` like a drop when the home screen is on show, else leaves them: a list
    /// being built, a shred running or a result on show is never replaced behind the user's back.
    static void openOnTheHomeScreen(const QStringList& paths);

private:
    QStringList m_kept;
};
