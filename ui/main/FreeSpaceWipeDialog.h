// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FreeSpaceWipeReport.h"

#include <QDialog>
#include <memory>

class FreeSpaceWipe;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

/// Wipes the free space of one file system from the window: first asks (how much will be
/// written, roughly how long, that the disk is briefly full), then shows its own progress with
/// Stop, then says what was reached. The wipe runs on its own thread; everything here stays on
/// the GUI thread.
class FreeSpaceWipeDialog : public QDialog
{
    Q_OBJECT

public:
    /// `folder` lies on the file system to wipe; `warnings` are the verdicts of the files the
    /// last run removed there with a warning (none when chosen from the menu).
    FreeSpaceWipeDialog(
        const QString& folder, const QList<StorageVerdict>& warnings, QWidget* parent = nullptr);
    ~FreeSpaceWipeDialog() override;

    /// File > Wipe Free Space: lets the user choose a folder, checked as Add Files checks what
    /// it is given, and opens the dialog on it. Returns the dialog, or nothing.
    static FreeSpaceWipeDialog* chooseFolder(QWidget* parent);
    /// "/home, 84.0 GB free": where `folder` is mounted and its free space.
    static QString placeText(const QString& folder);

    void startWipe();
    void stopWipe();
    bool isWiping() const;
    QString resultText() const;

signals:
    void wipeFinished(const FreeSpaceWipeReport& report);

protected:
    void reject() override;

private:
    /// Shows page `index` and fits the dialog to it, not to the tallest page.
    void showPage(int index);
    void onStarted(const QString& mountPoint, quint64 freeBytes, quint64 plannedBytes);
    void onBytesWritten(quint64 done);
    void onFinished(const FreeSpaceWipeReport& report);

    const QString m_folder;
    const QList<StorageVerdict> m_warnings;
    std::unique_ptr<FreeSpaceWipe> m_wipe;
    quint64 m_planned = 0;
    QStackedWidget* m_pages;
    QLabel* m_progressTitle;
    QProgressBar* m_bar;
    QLabel* m_figures;
    QPushButton* m_stop;
    QLabel* m_resultTitle;
    QLabel* m_result;
};
