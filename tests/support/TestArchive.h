// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

/// A tar archive built in memory, entry by entry, including the ones no honest tool makes
/// (absolute paths, "..", links out, devices), for tests of what an unpacker refuses.
class TestArchive
{
public:
    enum class Compression
    {
        Xz,
        Gzip
    };

    TestArchive& file(const QByteArray& path, const QByteArray& content, int perm = 0644);
    TestArchive& folder(const QByteArray& path);
    TestArchive& symlink(const QByteArray& path, const QByteArray& target);
    TestArchive& hardlink(const QByteArray& path, const QByteArray& target);
    TestArchive& characterDevice(const QByteArray& path);

    /// The archive's bytes; empty when libarchive cannot write it.
    QByteArray bytes(Compression compression = Compression::Xz) const;

private:
    struct Entry
    {
        QByteArray path;
        unsigned type = 0; ///< AE_IF* of libarchive
        QByteArray content;
        QByteArray link;
        bool hard = false;
        int perm = 0644;
    };
    QList<Entry> m_entries;
};
