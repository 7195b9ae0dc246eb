// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Header only: it needs the platform library, which the support library does not link.

#include "NotificationCenter.h"

#include <QObject>
#include <QStringList>

/// Records the names of the notifications posted on the default centre while it lives, of
/// those it was told to watch.
class NotificationLog
{
public:
    explicit NotificationLog(const QStringList& watched)
    {
        for (const QString& name : watched) {
            NotificationCenter::defaultCenter().addObserver(
                name, &m_owner, [this](const Notification& note) { m_names.append(note.name); });
        }
    }

    QStringList names() const { return m_names; }
    qsizetype count(const QString& name) const { return m_names.count(name); }

private:
    QStringList m_names;
    QObject m_owner; // declared last, so its observers go before the list they write to
};
