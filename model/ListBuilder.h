// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>

/// Turns the paths the user hands over into the list tree: the three ways in, which fill
/// arrPendingItems on the GUI thread, and the scan, which turns arrPendingItems into top-level
/// items of arrFileList off the GUI thread.
class ListBuilder
{
public:
    using ReloadHook = std::function<void()>;
    /// Receives the tag counter's value after the last item the scan made.
    using CompletionHook = std::function<void(qint64 nextTag)>;

    /// A running scan. Destroying the handle or calling stop() discards the scan: the worker
    /// ends at its next entry, and nothing more is appended and no hook runs after that.
    class ScanHandle
    {
        // Outlives the handle while the worker and its queued hand-overs still need it.
        struct Shared
        {
            std::atomic<bool> stopped {false};
            std::atomic<bool> finished {false};
        };
        friend class ListBuilder;

    public:
        /// Made by startScan() only: nobody else can name its argument.
        explicit ScanHandle(std::shared_ptr<Shared> shared);
        ~ScanHandle();
        ScanHandle(const ScanHandle&) = delete;
        ScanHandle& operator=(const ScanHandle&) = delete;

        /// GUI thread.
        void stop();
        /// The worker has returned (after a stop, or after handing over the completion hook).
        bool isFinished() const;

    private:
        std::shared_ptr<Shared> m_shared;
    };

    /// A drop of local paths (GUI thread). Empties arrPendingItems, appends a record made from
    /// the unnormalised file URL of every path that passes checkPath(), then posts exactly one
    /// of "cannotadded" (something was refused) or "showData" on the default notification
    /// centre. Returns true: the drop was taken.
    static bool acceptDroppedPaths(const QStringList& paths);

    /// The home screen's open panel (GUI thread; the caller emptied arrPendingItems). Appends a
    /// record made from the lexically normalised URL of every URL that passes. Returns true when
    /// something was refused; the caller then shows its alert, else posts "showData".
    static bool acceptHomePanelUrls(const QList<QUrl>& urls);

    /// The list screen's open panel (GUI thread; the caller emptied arrPendingItems). As the
    /// home panel, but a URL that is a listed top-level item or lies inside one is skipped
    /// without counting as refused. Returns true when something was refused.
    static bool acceptListPanelUrls(const QList<QUrl>& urls);

    /// Why `url`, chosen in an open panel, cannot be taken: the panel decodes names as text, so
    /// a name that is not valid UTF-8 comes back as the name of another file, or of none
    /// (checkChosenUrl()). Empty when it can be taken.
    static QString panelRefusal(const QUrl& url);

    /// True when `path` is the path of a top-level item of arrFileList, or lies inside one.
    /// Paths are compared lexically normalised and by whole components, so with /a/b listed,
    /// /a/b/x is inside and /a/bc/x is not. GUI thread.
    static bool isListedOrInside(const QString& path);

    /// Starts the scan of arrPendingItems (GUI thread) and returns at once. A copy of the list is
    /// taken now; a worker builds each top-level item with its whole subtree, numbered from
    /// `firstTag` in creation order, and hands it to the GUI thread, which appends it to
    /// arrFileList, writes the record's size (a folder's total) back into arrPendingItems and
    /// runs `reload`. After the last item `completion` runs once on the GUI thread, also when
    /// arrPendingItems was empty. The caller sets isAddingFiles around the scan.
    [[nodiscard]] static std::unique_ptr<ScanHandle> startScan(
        qint64 firstTag, ReloadHook reload, CompletionHook completion);
};
