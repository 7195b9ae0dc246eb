// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <initializer_list>

/// A string list from UTF-8 literals, for short tables of names and paths.
inline QStringList names(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}
