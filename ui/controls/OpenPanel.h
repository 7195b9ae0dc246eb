// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QList>
#include <QUrl>
#include <functional>

/// A file dialog in which files and folders can be chosen together, several at once, shown as
/// a sheet on a window. Qt's own dialog is used (never the desktop's), because a stock file
/// dialog picks either files or folders.
///
/// Add takes everything selected in the view, folders included. Double-clicking a folder, or
/// Enter on a typed folder's path, opens the folder. Symbolic links are handed over as links,
/// never as their targets. A new panel opens where the session's last one was left.
class OpenPanel : public QFileDialog
{
    Q_OBJECT

public:
    using Completion = std::function<void(bool ok, const QList<QUrl>& urls)>;
    /// Why a chosen item cannot be taken from this panel; empty when it can.
    using ChoiceCheck = std::function<QString(const QUrl& url)>;

    /// Opens a panel window-modal on `window` and returns at once. When the panel is answered,
    /// `done` runs once (ok false and no URLs for Cancel) and the panel then deletes itself.
    /// A panel destroyed before it is answered never calls `done`. Open with an item that
    /// `check` refuses tells the user why and keeps the panel open.
    static OpenPanel* beginSheet(QWidget* window, Completion done, ChoiceCheck check = {});

    /// The dialog the user works in (this panel), for tests.
    QFileDialog* dialog() { return this; }
    /// The chosen items, in the order of the view's selection; valid once accepted.
    QList<QUrl> chosenUrls() const { return m_chosen; }

    void accept() override;

private:
    explicit OpenPanel(QWidget* parent);
    /// The folder the name field names, as typed; empty when it names no folder.
    QString typedFolder() const;

    QList<QUrl> m_chosen;
    Completion m_done;
    ChoiceCheck m_check;
};
