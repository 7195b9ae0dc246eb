// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Why an update step failed. `kind` picks the words the user reads; `detail` is for the log.
struct UpdateError
{
    enum class Kind
    {
        None,
        AddressRefused, ///< not https, and not a loopback address
        Network, ///< no answer, an HTTP error, a refused connection
        Timeout, ///< the server stopped sending
        LengthMismatch, ///< more or fewer bytes than the feed announced
        FeedMalformed, ///< not an appcast
        BadSignature, ///< not signed with the project's key
        ArchiveRefused, ///< an entry that could write outside the tree, a device, a link out
        ArchiveMalformed, ///< truncated or damaged, or not an install tree
        VersionMismatch, ///< the archive is not the version announced, or not a newer one
        Install, ///< the prefix could not be written
    };

    Kind kind = Kind::None;
    QString detail;

    explicit operator bool() const { return kind != Kind::None; }
    static UpdateError none() { return {}; }
};
