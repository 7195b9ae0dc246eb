// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListBuilder.h"

#include "Dispatch.h"
#include "FileDirectory.h"
#include "FolderScanner.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "PathChecks.h"
#include "PathText.h"
#include "SharedState.h"

#include <QDir>

namespace {

QString localPathOf(const QUrl& url)
{
    return url.isLocalFile() ? PathText::pathOfUrl(url) : url.path();
}

QUrl normalised(const QUrl& url)
{
    return PathText::urlFromNative(PathText::cleanPath(PathText::nativeOfUrl(url)));
}

bool isSameOrInside(const QString& path, const QString& folder)
{
    if (path == folder)
        return true;
    // Whole components only: /a/bc is not inside /a/b.
    if (folder == u"/")
        return path.startsWith(u'/');
    return path.size() > folder.size() && path.startsWith(folder) && path.at(folder.size()) == u'/';
}

} // namespace

ListBuilder::ScanHandle::ScanHandle(std::shared_ptr<Shared> shared)
    : m_shared(std::move(shared))
{ }

ListBuilder::ScanHandle::~ScanHandle()
{
    stop();
}

void ListBuilder::ScanHandle::stop()
{
    m_shared->stopped = true;
}

bool ListBuilder::ScanHandle::isFinished() const
{
    return m_shared->finished;
}

bool ListBuilder::acceptDroppedPaths(const QStringList& paths)
{
    QList<FileDirectory>& pending = SharedState::instance().arrPendingItems;
    pending.clear();
    bool rejected = false;
    for (const QString& path : paths) {
        const QUrl url = PathText::urlFromPath(path);
        if (checkUrl(url).accepted())
            pending.append(FileDirectory::fromUrl(url));
        else
            rejected = true;
    }
    NotificationCenter::defaultCenter().post(
        rejected ? QStringLiteral("cannotadded") : QStringLiteral("showData"));
    return true;
}

bool ListBuilder::acceptHomePanelUrls(const QList<QUrl>& urls)
{
    QList<FileDirectory>& pending = SharedState::instance().arrPendingItems;
    bool rejected = false;
    for (const QUrl& url : urls) {
        if (checkChosenUrl(url).accepted())
            pending.append(FileDirectory::fromUrl(normalised(url)));
        else
            rejected = true;
    }
    return rejected;
}

bool ListBuilder::acceptListPanelUrls(const QList<QUrl>& urls)
{
    QList<FileDirectory>& pending = SharedState::instance().arrPendingItems;
    bool rejected = false;
    for (const QUrl& url : urls) {
        if (!checkChosenUrl(url).accepted()) {
            rejected = true;
            continue;
        }
        // Already in the tree, itself or through a listed folder: dropped without a word.
        if (isListedOrInside(PathText::pathOfUrl(url)))
            continue;
        pending.append(FileDirectory::fromUrl(normalised(url)));
    }
    return rejected;
}

QString ListBuilder::panelRefusal(const QUrl& url)
{
    const PathCheck check = checkChosenUrl(url);
    if (check.verdict != PathCheck::Verdict::NameNotExact)
        return {};
    const QString shown = PathText::displayText(PathText::pathOfUrl(url));
    const QString text = localizedFormat(QStringLiteral("IDS_KQ_526"), shown);
    // Without a language table the refusal must still refuse.
    return text.isEmpty() ? shown + u": " + check.reason() : text;
}

bool ListBuilder::isListedOrInside(const QString& path)
{
    const QString chosen = QDir::cleanPath(path);
    for (const ItemRef& item : std::as_const(SharedState::instance().arrFileList)) {
        if (!item || !item->data.url)
            continue;
        if (isSameOrInside(chosen, QDir::cleanPath(localPathOf(*item->data.url))))
            return true;
    }
    return false;
}

std::unique_ptr<ListBuilder::ScanHandle> ListBuilder::startScan(
    qint64 firstTag, ReloadHook reload, CompletionHook completion)
{
    auto shared = std::make_shared<ScanHandle::Shared>();
    // The worker reads its own copy; arrPendingItems belongs to the GUI thread.
    QList<FileDirectory> records = SharedState::instance().arrPendingItems;
    const quint64 generation = SharedState::instance().listGeneration;

    dispatchGlobal([shared, records = std::move(records), firstTag, reload = std::move(reload),
                       completion = std::move(completion), generation] {
        FolderScanner scanner(firstTag, &shared->stopped);
        for (qsizetype i = 0; i < records.size(); ++i) {
            ItemRef item = scanner.buildTopLevelItem(records.at(i));
            if (!item || shared->stopped)
                break;
            // The item is complete here and the worker keeps no reference to it, so the GUI
            // thread never sees a half-built subtree.
            dispatchMain([shared, item = std::move(item), i, reload, generation] {
                SharedState& state = SharedState::instance();
                // A list cleared or replaced since the scan began is not this scan's list:
                // its items must never land in it, where they could be erased by mistake.
                if (shared->stopped || state.listGeneration != generation)
                    return;
                if (i < state.arrPendingItems.size()) {
                    FileDirectory& record = state.arrPendingItems[i];
                    if (record.url == item->data.url && record.file && item->data.file)
                        record.file->size = item->data.file->size;
                }
                state.arrFileList.append(item);
                if (reload)
                    reload();
            });
        }
        if (!shared->stopped) {
            dispatchMain([shared, completion, nextTag = scanner.nextTag()] {
                if (!shared->stopped && completion)
                    completion(nextTag);
            });
        }
        shared->finished = true;
    });
    return std::make_unique<ScanHandle>(shared);
}
