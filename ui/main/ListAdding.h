// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ListBuilder.h"

#include <QObject>
#include <memory>

/// The scans of one files list screen: each turns arrPendingItems into rows of arrFileList in
/// the background, with isAddingFiles set while it runs. New items are numbered after every tag
/// already in the tree, and each scan goes on from where the last one stopped. A scan still
/// running when this goes is stopped; nothing more is appended for it. GUI thread only.
class ListAdding : public QObject
{
    Q_OBJECT

public:
    explicit ListAdding(QObject* parent = nullptr);
    ~ListAdding() override;

    /// Sets isAddingFiles and starts the scan of arrPendingItems.
    void start();
    /// The next "tag" for a new item dictionary (itemtag).
    qint64 itemtag() const { return m_itemtag; }

signals:
    /// A finished top-level item was appended to arrFileList.
    void handedOver();
    /// The scan's last item is in; isAddingFiles is false again.
    void completed();

private:
    std::unique_ptr<ListBuilder::ScanHandle> m_scan;
    qint64 m_itemtag = 0;
};
