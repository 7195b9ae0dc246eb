// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Header only: it drives the application's screens, which the support library does not link.

#include "DashedView.h"
#include "DropView.h"
#include "SharedState.h"
#include "ViewController.h"
#include "mainContainerVc.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QTest>
#include <algorithm>

/// The home screen in the main window's content, as the user first sees it.
struct HomeScreen
{
    mainContainerVc container;
    ViewController* home = nullptr;

    HomeScreen()
    {
        container.resize(880, 620);
        container.view();
        container.show();
        home = container.vc();
    }

    DropView* drop() const { return home->findChild<DropView*>(); }
    DashedView* frame() const { return home->findChild<DashedView*>(); }
    QWidget* cover() const { return home->hiddenbox(); }
    QWidget* shown() const { return container.currentContentView(); }
};

/// Drags `mime` onto the screen's drop target and drops it there, as the window system does.
/// Returns the steps taken: "enter", "lit" (the frame looks different while the drag hovers),
/// "move" and "copy" (the drop taken as a copy).
inline QStringList dragOnto(const HomeScreen& screen, const QMimeData& mime,
    Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = screen.drop();
    const QPoint at = target->rect().center();
    QStringList steps;
    const auto step = [&](bool taken, const char* name) {
        if (taken)
            steps.append(QString::fromLatin1(name));
    };
    const QImage frame = screen.frame()->grab().toImage();
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &enter);
    step(enter.isAccepted(), "enter");
    step(screen.frame()->grab().toImage() != frame, "lit");
    QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &move);
    step(move.isAccepted(), "move");
    QDropEvent drop(at, actions, &mime, Qt::NoButton, modifiers);
    QApplication::sendEvent(target, &drop);
    step(drop.isAccepted() && drop.dropAction() == Qt::CopyAction, "copy");
    return steps;
}

// The paths waiting to be listed, sorted.
inline QStringList pendingPaths()
{
    QStringList paths;
    for (const FileDirectory& record : std::as_const(SharedState::instance().arrPendingItems))
        paths.append(record.url ? record.url->toLocalFile() : QStringLiteral("<no url>"));
    paths.sort();
    return paths;
}

/// The view the file dialog shows now (list or details); both share one selection.
inline QAbstractItemView* visibleView(QFileDialog* dialog)
{
    const char* name = dialog->viewMode() == QFileDialog::Detail ? "treeView" : "listView";
    return dialog->findChild<QAbstractItemView*>(QString::fromLatin1(name));
}

inline QModelIndex rowNamed(QAbstractItemView* view, const QString& name)
{
    const QAbstractItemModel* model = view->model();
    return model
        ->match(model->index(0, 0, view->rootIndex()), Qt::DisplayRole, name, 1, Qt::MatchExactly)
        .value(0);
}

/// Shows `folder` in the dialog, waits until the file system model has listed `names`, and
/// control-clicks each of them in the view, as a user picking several items does.
inline bool pickInDialog(QFileDialog* dialog, const QString& folder, const QStringList& names)
{
    dialog->setDirectory(folder);
    QAbstractItemView* view = visibleView(dialog);
    const auto allListed = [&] {
        return std::all_of(names.begin(), names.end(),
            [&](const QString& name) { return rowNamed(view, name).isValid(); });
    };
    if (!view || !QTest::qWaitFor(allListed, 10000))
        return false;
    view->selectionModel()->clearSelection();
    for (const QString& name : names) {
        const QModelIndex index = rowNamed(view, name);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
            view->visualRect(index).center());
    }
    return view->selectionModel()->selectedRows().size() == names.size();
}
