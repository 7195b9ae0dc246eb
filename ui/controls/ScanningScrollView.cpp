// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanningScrollView.h"

#include <QScrollBar>
#include <QWheelEvent>

ScanningScrollView::ScanningScrollView(QWidget* parent)
    : QScrollArea(parent)
{
    // A scroll bar handles the wheel itself, before the area sees it.
    verticalScrollBar()->installEventFilter(this);
    horizontalScrollBar()->installEventFilter(this);
}

void ScanningScrollView::wheelEvent(QWheelEvent* event)
{
    // Accepted, so the event ends here instead of scrolling an enclosing area.
    event->accept();
}

bool ScanningScrollView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel
        && (watched == verticalScrollBar() || watched == horizontalScrollBar())) {
        event->accept();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}
