// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ShredTarget.h"

#include <QFile>
#include <QString>

#include <sys/stat.h>

/// A target for a shred run made from an item in a test's folder: a named path as it is, or a
/// listed item with the identity and length it has now, as the list would have taken them.
inline ShredTarget shredTarget(ShredTarget::Kind kind, const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {
    };
    if (kind == ShredTarget::Kind::Path || ::lstat(native.constData(), &st) != 0)
        return ShredTarget::make(kind, native);
    return ShredTarget::make(
        kind, native, FileIdentity {quint64(st.st_dev), quint64(st.st_ino)}, quint64(st.st_size));
}
