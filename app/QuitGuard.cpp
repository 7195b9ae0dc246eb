// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuitGuard.h"

#include "DesktopNotification.h"
#include "LanguageTable.h"
#include "PathText.h"
#include "SharedState.h"
#include "SizeText.h"
#include "mainWindowController.h"
#include "shreddingFilesVC.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

void QuitGuard::requestQuit()
{
    // Quitting in the middle of a run would cut a file off mid-write: ask first.
    if (shreddingFilesVC::isRunActive()) {
        askToStopTheRun();
        return;
    }
    // Not quit(): it first asks every window to close, and the main window answers a close by
    // hiding, which would call the quit off.
    QCoreApplication::exit(0);
}

void QuitGuard::askToStopTheRun()
{
    if (m_stopAlert)
        return;
    mainWindowController& controller = mainWindowController::shared();
    controller.showWindow();
    m_stopAlert = new Alert(controller.window());
    m_stopAlert->setMessageText(localizedText(QStringLiteral("IDS_KQ_255")));
    m_stopAlert->setInformativeText(localizedText(QStringLiteral("IDS_KQ_256")));
    QPushButton* keep
        = m_stopAlert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_258")));
    QPushButton* stop
        = m_stopAlert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_257")));
    m_stopAlert->setDefaultButton(keep);
    m_stopAlert->setEscapeButton(keep);
    const auto close = [alert = m_stopAlert] {
        alert->endSheet();
        alert->deleteLater();
    };
    connect(keep, &QAbstractButton::clicked, m_stopAlert, close);
    connect(stop, &QAbstractButton::clicked, this, [this, close] {
        close();
        stopRunAndQuit();
    });
    m_stopAlert->beginSheetModal(controller.window());
}

void QuitGuard::stopRunAndQuit()
{
    shreddingFilesVC::stopActiveRun();
    // The run ends after the chunk being written, keeping that file; only then is it safe to go.
    auto* waiting = new QTimer(this);
    connect(waiting, &QTimer::timeout, this, [this, waiting] {
        if (shreddingFilesVC::isRunActive())
            return;
        waiting->stop();
        waiting->deleteLater();
        // The window is about to go: what was erased and what was kept is said in a
        // notification that outlives it.
        const auto [summary, body] = stoppedRunNotification();
        DesktopNotification::sendBeforeQuitting(summary, body, [] { QCoreApplication::exit(0); });
    });
    waiting->start(20);
}

std::pair<QString, QString> QuitGuard::stoppedRunNotification()
{
    const SharedState& state = SharedState::instance();
    QString body = localizedFormat(QStringLiteral("IDS_KQ_316"),
        {QString::number(state.deletedFilesCount.load()),
            QString::number(state.totalSelectedFiles.load()),
            sizeText(state.deletedFilesSize.load())});
    if (!state.keptWhenStopped.isEmpty())
        body += u'\n'
            + localizedFormat(
                QStringLiteral("IDS_KQ_317"), PathText::displayText(state.keptWhenStopped));
    return {localizedText(QStringLiteral("IDS_KQ_315")), body};
}
