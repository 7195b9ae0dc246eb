// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>

/// Scroll area that the mouse wheel and the touchpad never scroll. Its scroll bars can still be
/// dragged and clicked, and scrolling from code (setValue, ensureVisible) still works.
///
/// The wheel is swallowed over the viewport, the content and the two scroll bars this view
/// creates; a scroll bar installed later with setVerticalScrollBar() or
/// setHorizontalScrollBar() is not covered.
class ScanningScrollView : public QScrollArea
{
    Q_OBJECT

public:
    explicit ScanningScrollView(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
