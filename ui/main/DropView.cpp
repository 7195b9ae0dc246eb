// SPDX-License-Identifier: GPL-3.0-or-later
#include "DropView.h"

#include "ListBuilder.h"
#include "PathText.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

DropView::DropView(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
}

QStringList DropView::droppedPaths(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    QStringList paths;
    for (const QUrl& url : urls) {
        // Every byte of the name: a file manager percent-encodes names that are not UTF-8.
        const QString path = url.isLocalFile() ? PathText::pathOfUrl(url) : QString();
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

bool DropView::acceptAsCopy(QDropEvent* event)
{
    // Always a copy: a move would let the source delete the originals after the drop.
    if (droppedPaths(event->mimeData()).isEmpty() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

// No highlight while a drag hovers: the copy cursor alone says that a drop would be taken.
void DropView::dragEnterEvent(QDragEnterEvent* event)
{
    acceptAsCopy(event);
}

void DropView::dragMoveEvent(QDragMoveEvent* event)
{
    acceptAsCopy(event);
}

void DropView::dropEvent(QDropEvent* event)
{
    if (!acceptAsCopy(event))
        return;
    ListBuilder::acceptDroppedPaths(droppedPaths(event->mimeData()));
}
