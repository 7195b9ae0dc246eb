// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

/// One release of an update feed.
struct AppcastItem
{
    QString title;
    QString version; ///< sparkle:version, compared with the running CFBundleVersion
    QString shortVersionString; ///< sparkle:shortVersionString, shown to the user
    QString description; ///< release notes, HTML or plain text as the feed gives them
    QUrl releaseNotesLink;
    QUrl url; ///< the archive, resolved against the feed's address
    qint64 length = -1; ///< the archive's exact size in bytes
    QString type;
    QByteArray edSignature; ///< Ed25519 signature of the archive's bytes, decoded

    QString displayVersion() const
    {
        return shortVersionString.isEmpty() ? version : shortVersionString;
    }
};
