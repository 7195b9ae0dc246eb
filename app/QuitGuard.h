// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Alert.h"

#include <QObject>
#include <QPointer>
#include <utility>

/// Quitting, kept safe for a running shred: stopping it halfway would leave a file half
/// overwritten, so while one runs the user is asked first, and the application quits only once
/// the run has stopped, telling in a notification what it erased and kept.
class QuitGuard : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Quits at once when no shred runs, else asks whether to stop it.
    void requestQuit();
    /// The question shown while a run is asked to quit; null when none is up.
    Alert* stopAlert() const { return m_stopAlert; }

private:
    void askToStopTheRun();
    void stopRunAndQuit();
    /// The summary and body that tell, as Corvane quits, what a stopped run erased and kept.
    static std::pair<QString, QString> stoppedRunNotification();

    QPointer<Alert> m_stopAlert;
};
