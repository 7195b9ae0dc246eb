// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/sysmacros.h>

TestArchive& TestArchive::file(const QByteArray& path, const QByteArray& content, int perm)
{
    m_entries.append({path, AE_IFREG, content, {}, false, perm});
    return *this;
}

TestArchive& TestArchive::folder(const QByteArray& path)
{
    m_entries.append({path, AE_IFDIR, {}, {}, false, 0755});
    return *this;
}

TestArchive& TestArchive::symlink(const QByteArray& path, const QByteArray& target)
{
    m_entries.append({path, AE_IFLNK, {}, target, false, 0777});
    return *this;
}

TestArchive& TestArchive::hardlink(const QByteArray& path, const QByteArray& target)
{
    m_entries.append({path, AE_IFREG, {}, target, true, 0644});
    return *this;
}

TestArchive& TestArchive::characterDevice(const QByteArray& path)
{
    m_entries.append({path, AE_IFCHR, {}, {}, false, 0666});
    return *this;
}

QByteArray TestArchive::bytes(Compression compression) const
{
    QByteArray out;
    archive* a = archive_write_new();
    if (compression == Compression::Xz)
        archive_write_add_filter_xz(a);
    else
        archive_write_add_filter_gzip(a);
    archive_write_set_format_pax_restricted(a);
    archive_write_set_bytes_in_last_block(a, 1);
    const auto append = [](archive*, void* client, const void* buffer, size_t size) -> la_ssize_t {
        static_cast<QByteArray*>(client)->append(static_cast<const char*>(buffer), qsizetype(size));
        return la_ssize_t(size);
    };
    bool ok = archive_write_open(a, &out, nullptr, append, nullptr) == ARCHIVE_OK;
    for (const Entry& e : m_entries) {
        if (!ok)
            break;
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.constData());
        archive_entry_set_filetype(entry, e.type);
        archive_entry_set_perm(entry, mode_t(e.perm));
        if (e.hard)
            archive_entry_set_hardlink(entry, e.link.constData());
        else if (e.type == AE_IFLNK)
            archive_entry_set_symlink(entry, e.link.constData());
        if (e.type == AE_IFCHR)
            archive_entry_set_rdev(entry, makedev(1, 3));
        archive_entry_set_size(entry, e.hard ? 0 : e.content.size());
        ok = archive_write_header(a, entry) == ARCHIVE_OK
            && (e.content.isEmpty()
                || archive_write_data(a, e.content.constData(), size_t(e.content.size()))
                    == la_ssize_t(e.content.size()));
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok ? out : QByteArray();
}
