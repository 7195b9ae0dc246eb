#include "FileDirectory.h"

#include <QFile>
#include <cstdio>
#include <sys/stat.h>

namespace {

// "dir/link/" would make lstat follow the link; the record must describe the link itself.
QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

FileDirectory FileDirectory::fromUrl(const QUrl& url)
{
    FileDirectory record;
    record.url = url;

    const QString path = url.isLocalFile() ? withoutTrailingSlashes(url.toLocalFile()) : QString();
    struct stat st;
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        // A debug line only: the record still goes into the tree, without attributes.
        std::printf("Error reading file attributes\n");
        std::fflush(stdout);
        return record;
    }

    Filedata data;
    data.isFolder = S_ISDIR(st.st_mode);
    // Folders report no allocated size of their own.
    data.size = data.isFolder ? 0.0 : static_cast<double>(st.st_blocks) * 512.0;
    data.mimeTypeName = Filedata::mimeTypeNameFor(path, st.st_mode);
    data.url = url;
    record.file = std::move(data);
    return record;
}
