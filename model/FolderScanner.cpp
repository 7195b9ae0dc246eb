// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderScanner.h"

#include "DirectoryHandle.h"
#include "PathText.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// One folder's listing, names packed into a single buffer: a folder of 100,000 entries then
// costs one allocation instead of 100,000 while its sub-folders are listed.
struct Listing
{
    std::string names; // each name followed by '\0'
    std::vector<unsigned char> types; // d_type of each name
};

// The whole listing is read before anything below is listed, so only one folder is open at a
// time however deep the tree goes. False when the folder cannot be listed at all.
bool readListing(const QString& path, Listing* listing)
{
    int error = 0;
    const DirectoryHandle dir = DirectoryHandle::open(QFile::encodeName(path), &error);
    if (!dir.isValid())
        return false;
    const bool complete = dir.forEachEntry(
        [listing](const char* name, unsigned char type) {
            listing->names.append(name);
            listing->names.push_back('\0');
            listing->types.push_back(type);
        },
        &error);
    // A read error after some entries still shows what could be read.
    return complete || !listing->types.empty();
}

bool isRegularFile(unsigned char type, const QString& path)
{
    if (type != DT_UNKNOWN)
        return type == DT_REG;
    // Some file systems leave the type out of the listing.
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}


} // namespace

FolderScanner::FolderScanner(qint64 firstTag, const std::atomic<bool>* stop)
    : m_nextTag(firstTag)
    , m_stop(stop)
{
    // A list of 100,000 files must not open each of them; the run looks at every file again.
    m_assessment.setQuickForListing(true);
}

bool FolderScanner::isStopped() const
{
    return m_stop && m_stop->load(std::memory_order_relaxed);
}

ItemRef FolderScanner::buildTopLevelItem(const FileDirectory& record)
{
    if (isStopped())
        return {};
    ItemRef item = makeTopLevelItem(record, m_nextTag++);
    if (!record.file || !record.url || !record.url->isLocalFile())
        return item;
    if (!record.file->isFolder) {
        item->data.file->verdict = m_assessment.assessPath(QFile::encodeName(record.url->toLocalFile()));
        return item;
    }

    // The total is summed while listing: the same regular files, with the same records, as a
    // second walk over the folder would see, at half the cost.
    const QString listedPath = record.url->toLocalFile();
    const double total = listFolder(*item, listedPath, QDir::cleanPath(listedPath));
    if (isStopped())
        return {};
    if (total != 0) {
        item->data.file->size = total;
    } else {
        const FileDirectory own = FileDirectory::fromUrl(*record.url);
        item->data.file->size = own.file ? own.file->size : 0.0;
    }
    return item;
}

double FolderScanner::listFolder(
    ItemDictionary& item, const QString& listedPath, const QString& path)
{
    Listing listing;
    if (!readListing(path, &listing))
        return 0; // unreadable: no children, and not marked empty
    if (listing.types.empty()) {
        item.data.isemptyFolder = true;
        return 0;
    }

    // The listed form only differs when the top-level URL was not normal ("a/./b", "a/").
    const bool listedIsNormal = listedPath == path;
    double total = 0;
    item.arrpath.reserve(qsizetype(listing.types.size()));
    const char* name = listing.names.data();
    for (const unsigned char type : listing.types) {
        if (isStopped())
            return total;
        const qsizetype nameLength = qsizetype(std::char_traits<char>::length(name));
        const QString fileName = QFile::decodeName(QByteArray::fromRawData(name, nameLength));
        name += nameLength + 1;

        const QString childPath = PathText::join(path, fileName);
        const QUrl url = QUrl::fromLocalFile(childPath);
        const QString listedChild
            = listedIsNormal ? childPath : QString(listedPath + u'/' + fileName);
        const FileDirectory record = FileDirectory::fromUrl(url, &m_assessment);
        ItemRef child = makeChildItem(
            record, m_nextTag++, listedIsNormal ? url : QUrl::fromLocalFile(listedChild));
        item.arrpath.append(child);

        if (!record.file)
            continue;
        // Another mounted file system below the folder is shown but never entered.
        const bool otherMount = record.file->isMountRoot
            || (item.data.file && record.file->mountId != item.data.file->mountId);
        if (record.file->isFolder && !otherMount)
            total += listFolder(*child, listedChild, childPath);
        else if (isRegularFile(type, childPath))
            total += record.file->size;
    }
    return total;
}
