// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathHandOver.h"

#include "ListBuilder.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"

void PathHandOver::keep(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!m_kept.contains(path))
            m_kept << path;
    }
}

void PathHandOver::openOnTheHomeScreen(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const mainContainerVc* content = mainWindowController::shared().contentViewController();
    if (!content || !content->vc() || content->currentContentView() != content->vc()) {
        qInfo("Ignoring %lld handed-over paths: the home screen is not on show",
            static_cast<long long>(paths.size()));
        return;
    }
    ListBuilder::acceptDroppedPaths(paths);
}
