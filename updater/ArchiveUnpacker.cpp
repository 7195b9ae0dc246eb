// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveUnpacker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <sys/stat.h>

namespace {

struct ReadCloser
{
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteCloser
{
    void operator()(archive* a) const { archive_write_free(a); }
};

UpdateError refused(const QString& name, const char* why)
{
    return {UpdateError::Kind::ArchiveRefused, name + u": " + QLatin1StringView(why)};
}

UpdateError malformed(archive* a)
{
    return {UpdateError::Kind::ArchiveMalformed, QString::fromLocal8Bit(archive_error_string(a))};
}

} // namespace

std::optional<QString> ArchiveUnpacker::relativePath(const QString& name)
{
    if (name.startsWith(u'/'))
        return std::nullopt;
    QStringList kept;
    for (const QString& part : name.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..")
            return std::nullopt;
        if (part != u".")
            kept << part;
    }
    return kept.join(u'/');
}

bool ArchiveUnpacker::linkStaysInside(const QString& linkPath, const QString& target)
{
    if (target.isEmpty() || target.startsWith(u'/'))
        return false;
    // Lexically, from the link's folder; every folder on the way is itself checked when unpacked.
    QStringList where = linkPath.split(u'/', Qt::SkipEmptyParts);
    if (!where.isEmpty())
        where.removeLast();
    for (const QString& part : target.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u".")
            continue;
        if (part == u"..") {
            if (where.isEmpty())
                return false;
            where.removeLast();
        } else {
            where << part;
        }
    }
    return true;
}

UpdateError ArchiveUnpacker::unpack(
    const QString& archivePath, const QString& destination, Limits limits)
{
    std::unique_ptr<archive, ReadCloser> in(archive_read_new());
    archive_read_support_filter_xz(in.get());
    archive_read_support_filter_gzip(in.get());
    archive_read_support_format_tar(in.get());
    archive_read_support_format_gnutar(in.get());
    if (archive_read_open_filename(in.get(), QFile::encodeName(archivePath).constData(), 64 * 1024)
        != ARCHIVE_OK)
        return malformed(in.get());

    std::unique_ptr<archive, WriteCloser> out(archive_write_disk_new());
    // Belt and braces behind the checks below: libarchive refuses ".." and writing through a
    // link too, never replaces what is there, and keeps no owner.
    archive_write_disk_set_options(out.get(),
        ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS
            | ARCHIVE_EXTRACT_NO_OVERWRITE);

    // Without links: libarchive refuses to write through any link on the way, the user's own
    // (a ~/.cache that is a link) included.
    const QString root = QFileInfo(destination).canonicalFilePath();
    if (root.isEmpty())
        return {UpdateError::Kind::Install, destination + u": missing"};
    qint64 bytes = 0;
    int entries = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(in.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            return malformed(in.get());
        if (++entries > limits.maxEntries)
            return refused(archivePath, "too many entries");

        const char* rawName = archive_entry_pathname(entry);
        const QString name = rawName ? QFile::decodeName(rawName) : QString();
        const std::optional<QString> relative = relativePath(name);
        if (!relative)
            return refused(name, "absolute path or \"..\" component");
        if (archive_entry_hardlink(entry))
            return refused(name, "hard link");
        const mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFLNK) {
            const char* target = archive_entry_symlink(entry);
            if (!target || !linkStaysInside(*relative, QFile::decodeName(target)))
                return refused(name, "link that leaves the tree");
        } else if (type == AE_IFREG) {
            bytes += qMax<qint64>(0, archive_entry_size(entry));
            if (bytes > limits.maxBytes)
                return refused(archivePath, "larger than an update may be");
        } else if (type != AE_IFDIR) {
            return refused(name, "device, FIFO or socket");
        }
        if (relative->isEmpty()) {
            // "./" itself: the destination is that folder.
            continue;
        }

        archive_entry_set_pathname(entry, QFile::encodeName(root + u'/' + *relative).constData());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0755);
        if (type == AE_IFDIR)
            archive_entry_set_perm(entry, 0755);
        if (archive_write_header(out.get(), entry) != ARCHIVE_OK)
            return {UpdateError::Kind::ArchiveRefused,
                name + u": " + QString::fromLocal8Bit(archive_error_string(out.get()))};
        if (type == AE_IFREG) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            int read = ARCHIVE_OK;
            while (
                (read = archive_read_data_block(in.get(), &block, &size, &offset)) == ARCHIVE_OK) {
                if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK)
                    return {UpdateError::Kind::Install,
                        name + u": " + QString::fromLocal8Bit(archive_error_string(out.get()))};
            }
            if (read != ARCHIVE_EOF)
                return malformed(in.get());
        }
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
            return {UpdateError::Kind::Install,
                name + u": " + QString::fromLocal8Bit(archive_error_string(out.get()))};
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return {
            UpdateError::Kind::Install, QString::fromLocal8Bit(archive_error_string(out.get()))};
    if (entries == 0)
        return {UpdateError::Kind::ArchiveMalformed, QStringLiteral("empty archive")};
    return UpdateError::none();
}
