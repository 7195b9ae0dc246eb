// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

namespace Ui {
class shreddingFilesVC;
}
struct Notification;
struct ShredFileResult;
struct ShredReport;
class ShredRun;

/// The progress screen: runs the shred of every checked item on a worker thread and shows the
/// path being worked on and the running totals. Posts "ShredComplete" when done.
class shreddingFilesVC : public BaseViewController
{
    Q_OBJECT

public:
    explicit shreddingFilesVC(QWidget* parent = nullptr);
    ~shreddingFilesVC() override;

    int methodindex() const { return m_methodindex; }
    /// Starts the worker; scheduled one second after load.
    void ShredStart();
    /// Observer of the engine's progress notification, posted before each file; runs on the
    /// worker thread. The totals count only files whose last pass has reached the disk.
    void shredupdate(const Notification& notification);
    void getResult();
    /// A shred run is in progress somewhere in the process.
    static bool isRunActive();
    /// Asks the run in progress, if any, to stop after the chunk being written.
    static void stopActiveRun();

protected:
    void loadView() override;
    void viewDidLoad() override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void refreshLabels();
    void showPath(const QString& path);
    void showBytes(quint64 done);
    void countFinishedFile(const QString& path, const ShredFileResult& result);
    void runFinished(const ShredReport& report);

    std::unique_ptr<Ui::shreddingFilesVC> m_ui;
    int m_methodindex = 1;
    bool m_started = false;
    QPointer<ShredRun> m_run;
    quint64 m_bytesPlanned = 0;
    /// Files the run will erase, each once; -1 until it has planned.
    qint64 m_filesPlanned = -1;
    int m_pass = 0;
    int m_passes = 0;
    QElapsedTimer m_runTimer;
};
