// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDirectory.h"

#include "DirectoryHandle.h"
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
        || ::statx(AT_FDCWD, native.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
               STATX_BASIC_STATS | STATX_MNT_ID, &st)
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

FileDirectory FileDirectory::fromStatx(const QUrl& url, const struct statx& st,
    const QByteArray& native, const QString& name, StorageAssessment* assessment)
{
    FileDirectory record = fromEntry(url, EntryStat::fromStatx(st), native, name, assessment);
    // One item at a time is cheap to type at once.
    if (S_ISREG(st.stx_mode))
        record.file->mimeTypeName = Filedata::mimeTypeNameFor(name, st.stx_mode);
    return record;
}

FileDirectory FileDirectory::fromEntry(const QUrl& url, const EntryStat& st,
    const QByteArray& native, const QString& name, StorageAssessment* assessment)
{
    FileDirectory record;
    record.url = url;
    Filedata data;
    data.isFolder = S_ISDIR(st.mode);
    // Folders report no allocated size of their own.
    data.size = data.isFolder ? 0.0 : static_cast<double>(st.allocated);
    data.length = st.size;
    if (assessment && S_ISREG(st.mode)) {
        data.verdict = assessment->assessListedFile(
            native, st.device, st.hasMountId ? std::optional<quint64>(st.mountId) : std::nullopt);
    }
    if (!S_ISREG(st.mode))
        data.mimeTypeName = Filedata::mimeTypeNameFor(name, st.mode);
    data.url = url;
    // Who the item is, so a shred later refuses anything that took its place.
    data.device = st.device;
    data.inode = st.inode;
    data.mountId = st.hasMountId ? st.mountId : 0;
    data.isMountRoot = st.mountRoot;
    data.links = quint32(st.links);
    data.immutable = st.immutable;
    record.file = std::move(data);
    return record;
}
