// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QWidget>

class QDropEvent;
class QMimeData;

/// The home screen's drop target. It takes a drag of files and folders from a file manager
/// (text/uri-list whose first URL is a local file) as a copy, and hands the local paths to the
/// acceptance of dropped paths, which posts "showData" or "cannotadded". Anything else is
/// refused at entry and at drop. It draws nothing, not even while a drag hovers.
class DropView : public QWidget
{
    Q_OBJECT

public:
    explicit DropView(QWidget* parent = nullptr);

    /// The local paths of the file URLs `mime` carries, in their order (other URLs are left
    /// out); empty when it carries no URL or its first URL is not a local file.
    static QStringList droppedPaths(const QMimeData* mime);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// Accepts `event` as a copy when it carries local files and the source allows copying.
    bool acceptAsCopy(QDropEvent* event);
};
