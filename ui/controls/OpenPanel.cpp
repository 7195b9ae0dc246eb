// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenPanel.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeView>
#include <utility>

namespace {

// Where the last panel of this session was left; the next one opens there.
QString s_lastFolder;

} // namespace

OpenPanel::OpenPanel(QWidget* parent)
    : QFileDialog(parent)
{
    setObjectName(QStringLiteral("openPanel"));
    // The desktop's own dialog cannot take files and folders in one choice.
    setOption(QFileDialog::DontUseNativeDialog);
    // An eraser must get the link itself, not what it points at.
    setOption(QFileDialog::DontResolveSymlinks);
    // A chooser: no renaming, deleting or new folders from its context menu.
    setOption(QFileDialog::ReadOnly);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setDirectory(!s_lastFolder.isEmpty() && QFileInfo(s_lastFolder).isDir() ? s_lastFolder
                                                                            : QDir::homePath());

    // Qt's dialog leaves chosen folders out of the name field; say them all, so the user sees
    // that Open takes the folders too. Connected after the dialog's own handler, so it runs last.
    auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* names = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (view && view->selectionModel() && names) {
        connect(
            view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [view, names] {
                const QModelIndexList rows = view->selectionModel()->selectedRows();
                if (rows.isEmpty() || names->hasFocus())
                    return;
                QStringList quoted;
                for (const QModelIndex& row : rows)
                    quoted.append(rows.size() > 1 ? u'"' + row.data().toString() + u'"'
                                                  : row.data().toString());
                names->setText(quoted.join(u' '));
            });
        // Names picked in one folder must never be taken as names in the next one, however
        // the folder changes (double click, path box, side bar, back button).
        if (auto* files = findChild<QFileSystemModel*>())
            connect(files, &QFileSystemModel::rootPathChanged, names, [names] { names->clear(); });
    }
    // Qt sizes the detail columns for sample texts: the name takes a fixed width and the
    // dates and sizes of this locale are cut. Fit them to what is shown; the name takes the rest.
    if (auto* details = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

QString OpenPanel::typedFolder() const
{
    const auto* names = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!names)
        return {};
    QString typed = names->text().trimmed();
    // Several quoted names are a choice made in the view, not a path typed to go to.
    if (typed.isEmpty() || typed.startsWith(u'"'))
        return {};
    if (typed == u'~' || typed.startsWith(QStringLiteral("~/")))
        typed.replace(0, 1, QDir::homePath());
    const QFileInfo info(directory().absoluteFilePath(typed));
    return info.isDir() ? info.absoluteFilePath() : QString();
}

OpenPanel* OpenPanel::beginSheet(QWidget* window, Completion done, ChoiceCheck check)
{
    auto* panel = new OpenPanel(window);
    panel->m_done = std::move(done);
    panel->m_check = std::move(check);
    if (window) {
        // Roomy enough for the detail columns, still inside the window it belongs to.
        const QSize room = window->size() - QSize(80, 80);
        panel->resize(panel->size()
                          .expandedTo(QSize(760, 500))
                          .boundedTo(room)
                          .expandedTo(panel->minimumSizeHint()));
    }
    connect(panel, &QDialog::finished, panel, [panel](int result) {
        s_lastFolder = panel->directory().absolutePath();
        const bool ok = result == QDialog::Accepted;
        if (ok && panel->m_chosen.isEmpty())
            panel->m_chosen = panel->selectedUrls();
        const QList<QUrl> urls = ok ? panel->m_chosen : QList<QUrl>();
        Completion finish = std::exchange(panel->m_done, nullptr);
        panel->deleteLater();
        if (finish)
            finish(ok, urls);
    });
    panel->open();
    return panel;
}

void OpenPanel::accept()
{
    // Enter in the name field (by whatever way: the field itself, its completer, the default
    // button) on a typed folder opens it, as every desktop's dialog does; Add adds it.
    const auto* names = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (names && names->hasFocus()) {
        if (const QString folder = typedFolder(); !folder.isEmpty()) {
            setDirectory(folder);
            // The completer's list of the old path would stay open over the new folder.
            if (names->completer() && names->completer()->popup())
                names->completer()->popup()->hide();
            return;
        }
    }
    const auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    const bool pickedInView
        = view && view->selectionModel() && view->selectionModel()->hasSelection();
    if (!pickedInView) {
        // A typed name: Qt's own handling opens a typed folder and takes typed files.
        QFileDialog::accept();
        return;
    }
    const QList<QUrl> urls = selectedUrls();
    for (const QUrl& url : urls) {
        // Before the existence check: a name the panel shows wrongly may not exist as shown.
        if (const QString refusal = m_check ? m_check(url) : QString(); !refusal.isEmpty()) {
            QMessageBox::warning(this, windowTitle(), refusal);
            return;
        }
    }
    for (const QUrl& url : urls) {
        const QFileInfo info(url.toLocalFile());
        if (!info.exists() && !info.isSymLink()) {
            // Gone since it was listed: Qt's handling tells the user and keeps the panel open.
            QFileDialog::accept();
            return;
        }
    }
    if (urls.isEmpty())
        return;
    m_chosen = urls;
    QDialog::accept();
}
