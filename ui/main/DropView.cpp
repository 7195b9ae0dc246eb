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

void DropView::dragEnterEvent(QDragEnterEvent* event)
{
    setHighlighted(acceptAsCopy(event));
}

void DropView::dragMoveEvent(QDragMoveEvent* event)
{
    setHighlighted(acceptAsCopy(event));
}

void DropView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setHighlighted(false);
    QWidget::dragLeaveEvent(event);
}

void DropView::dropEvent(QDropEvent* event)
{
    setHighlighted(false);
    if (!acceptAsCopy(event))
        return;
    ListBuilder::acceptDroppedPaths(droppedPaths(event->mimeData()));
}

void DropView::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    emit highlightChanged(highlighted);
}
