// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDirectory.h"

#include "PathText.h"
#include "StorageAssessment.h"

#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>


FileDirectory FileDirectory::fromUrl(const QUrl& url, StorageAssessment* assessment)
{
    // "dir/link/" would make statx follow the link; the record must describe the link itself.
    const QByteArray native = PathText::withoutTrailingSlashes(PathText::nativeOfUrl(url));
    const QString path = PathText::fromNative(native);
    struct statx st;
    if (path.isEmpty()
        || ::statx(AT_FDCWD, native.constData(),
                   AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_MNT_ID, &st)
            != 0) {
        // A debug line only: the record still goes into the tree, without attributes.
        std::printf("Error reading file attributes\n");
        std::fflush(stdout);
        FileDirectory record;
        record.url = url;
        return record;
    }

    return fromStatx(url, st, native, path, assessment);
}

FileDirectory FileDirectory::fromStatx(const QUrl& url, const struct statx& st, const QByteArray& native,
                                       const QString& name, StorageAssessment* assessment)
{
    FileDirectory record;
    record.url = url;
    Filedata data;
    data.isFolder = S_ISDIR(st.stx_mode);
    // Folders report no allocated size of their own.
    data.size = data.isFolder ? 0.0 : static_cast<double>(st.stx_blocks) * 512.0;
    data.length = st.stx_size;
    if (assessment && S_ISREG(st.stx_mode)) {
        data.verdict = assessment->assessListedFile(
            native, makedev(st.stx_dev_major, st.stx_dev_minor),
            (st.stx_mask & STATX_MNT_ID) ? std::optional<quint64>(st.stx_mnt_id) : std::nullopt);
    }
    data.mimeTypeName = Filedata::mimeTypeNameFor(name, st.stx_mode);
    data.url = url;
    // Who the item is, so a shred later refuses anything that took its place.
    data.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    data.inode = st.stx_ino;
    data.mountId = (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0;
    data.isMountRoot = (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    data.links = quint32(st.stx_nlink);
    // Either flag makes every write fail, root's too: such a file cannot be overwritten.
    data.immutable
        = (st.stx_attributes_mask & st.stx_attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND))
        != 0;
    record.file = std::move(data);
    return record;
}
