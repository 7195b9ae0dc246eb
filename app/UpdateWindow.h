// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;

/// The small window of a check the user started: checking, up to date, a newer version with
/// its notes, the download's progress, ready to install, or what went wrong. It only shows;
/// the updater reacts to its signals.
class UpdateWindow : public QDialog
{
    Q_OBJECT

public:
    explicit UpdateWindow(QWidget* parent = nullptr);

    void showChecking();
    void showUpToDate(const QString& runningVersion);
    /// `installable`: Install and Later; otherwise the package manager installs it, and OK.
    void showUpdateAvailable(
        const AppcastItem& item, const QString& runningVersion, bool installable);
    void showProgress(const AppcastItem& item, qint64 received, qint64 total);
    void showReady(const AppcastItem& item);
    void showError(const QString& message);

    QLabel* heading() const { return m_heading; }
    QLabel* message() const { return m_message; }
    QTextBrowser* releaseNotes() const { return m_notes; }
    QProgressBar* progress() const { return m_progress; }
    QPushButton* primaryButton() const { return m_primary; }
    QPushButton* secondaryButton() const { return m_secondary; }

signals:
    void installRequested();
    void restartRequested();
    /// Cancel while checking or downloading.
    void cancelRequested();

private:
    enum class Action
    {
        Close,
        Install,
        Restart,
        Cancel
    };
    void present(const QString& heading, const QString& message, const QString& primary,
        Action primaryAction, const QString& secondary, Action secondaryAction);
    void act(Action action);
    void fitContents();

    QLabel* m_heading;
    QLabel* m_message;
    QTextBrowser* m_notes;
    QProgressBar* m_progress;
    QPushButton* m_primary;
    QPushButton* m_secondary;
    Action m_primaryAction = Action::Close;
    Action m_secondaryAction = Action::Close;
};
