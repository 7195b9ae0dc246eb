// SPDX-License-Identifier: GPL-3.0-or-later
#include "shreddingFilesVC.h"

#include "Dispatch.h"
#include "ErasureTexts.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "PathText.h"
#include "Pictures.h"
#include "RemainingTime.h"
#include "ScreenStyle.h"
#include "SharedState.h"
#include "ShredPlan.h"
#include "ShredRun.h"
#include "ShredSettings.h"
#include "SizeText.h"
#include "ZPHShred.h"
#include "ui_shreddingFilesVC.h"

#include <QFile>
#include <QPointer>
#include <atomic>
#include <cstdio>

namespace {

// The bar counts in thousandths: a byte count does not fit its int range.
constexpr int kBarSteps = 1000;

} // namespace

shreddingFilesVC::shreddingFilesVC(QWidget* parent)
    : BaseViewController(parent)
{ }

shreddingFilesVC::~shreddingFilesVC()
{
    // Stops deliveries (waiting for one in progress) before the widgets go.
    NotificationCenter::defaultCenter().removeObservers(this);
}

void shreddingFilesVC::loadView()
{
    m_ui = std::make_unique<Ui::shreddingFilesVC>();
    m_ui->setupUi(this);
}

void shreddingFilesVC::viewDidLoad()
{
    ScreenStyle::styleAppName(m_ui->lblappname);
    ScreenStyle::styleTitle(m_ui->lbltitle);
    ScreenStyle::styleCaption(m_ui->lblurl);
    ScreenStyle::styleProgressBar(m_ui->progressBar);
    m_ui->imgview_progress->setPixmap(
        Pictures::pixmap(Pictures::Picture::Progress, {}, devicePixelRatioF()));
    m_ui->lblappname->setText(localizedText(QStringLiteral("IDS_KQ_6")));
    m_ui->lbltitle->setText(localizedText(QStringLiteral("IDS_KQ_35")));

    NotificationCenter::defaultCenter().addObserver(QStringLiteral("ZPHBraskoUpdateMessage"), this,
        [this](const Notification& notification) { shredupdate(notification); });

    if (const std::optional<int> method = ShredSettings().storedMethod())
        m_methodindex = *method;

    SharedState& state = SharedState::instance();
    state.deletedFilesSize = 0;
    state.deletedFilesCount = 0;
    state.notErasedItems.clear();
    state.warnedItems.clear();
    state.storageWarnings.clear();
    state.storageNotes.clear();
    state.keptWhenStopped.clear();

    m_ui->lblurl->clear();
    // The labels' whole text from the start: a bare "0" reads as nothing to do.
    refreshLabels();
    // The bar follows bytes written over every pass, once the run has planned them.
    m_ui->progressBar->setRange(0, kBarSteps);
    m_ui->progressBar->setValue(0);
    ScreenStyle::styleCaption(m_ui->lblpass);
    m_ui->lblpass->clear();

    sharedShredEngine().setBFileShreddingOperationAborted(false);
    performAfter(1.0, [self = QPointer<shreddingFilesVC>(this)] {
        if (self)
            self->ShredStart();
    });
}

namespace {

std::atomic<bool> s_runActive {false};
QPointer<ShredRun> s_activeRun;

} // namespace

bool shreddingFilesVC::isRunActive()
{
    return s_runActive;
}

void shreddingFilesVC::stopActiveRun()
{
    if (s_activeRun)
        s_activeRun->requestStop();
}

void shreddingFilesVC::ShredStart()
{
    // One run at a time: the engine is shared, and a second run would mix the two reports.
    if (m_started || s_runActive.exchange(true))
        return;
    m_started = true;
    // The run gets its own description of the work, made here where the tree lives.
    const QList<ShredTarget> targets = ShredPlan::fromItems(SharedState::instance().arrFileList);
    const bool verify = ShredSettings().verify();
    SharedState::instance().lastRunMethod = m_methodindex;
    SharedState::instance().lastRunVerified = verify;
    ZPHShred& engine = sharedShredEngine();
    engine.setStopRequested(false);
    m_run = new ShredRun(engine, targets, m_methodindex, verify, this);
    s_activeRun = m_run;
    connect(m_run, &ShredRun::planned, this, [this](qint64 files, quint64 bytes) {
        m_bytesPlanned = bytes;
        // A file listed twice is erased once: the run's own count is the one to reach.
        m_filesPlanned = files;
        m_ui->progressBar->setRange(0, kBarSteps);
        m_ui->progressBar->setValue(0);
        refreshLabels();
    });
    connect(m_run, &ShredRun::pathShown, this, &shreddingFilesVC::showPath);
    connect(m_run, &ShredRun::passStarted, this, [this](int pass, int passes) {
        m_pass = pass;
        m_passes = passes;
    });
    connect(m_run, &ShredRun::bytesWritten, this, &shreddingFilesVC::showBytes);
    connect(m_run, &ShredRun::fileFinished, this, &shreddingFilesVC::countFinishedFile);
    // A checked link counts as the list counted it, once it is gone.
    connect(m_run, &ShredRun::entryRemoved, this, [this] {
        ++SharedState::instance().deletedFilesCount;
        refreshLabels();
    });
    connect(m_run, &ShredRun::finished, this, &shreddingFilesVC::runFinished);
    m_runTimer.start();
    m_run->startInBackground();
}

void shreddingFilesVC::showBytes(quint64 done)
{
    if (m_bytesPlanned > 0)
        m_ui->progressBar->setValue(
            int(std::min<quint64>(kBarSteps, done * kBarSteps / m_bytesPlanned)));
    QStringList parts;
    if (m_passes > 1)
        parts << localizedFormat(
            QStringLiteral("IDS_KQ_251"), {QString::number(m_pass), QString::number(m_passes)});
    if (const QString left = RemainingTime::text(done, m_bytesPlanned, m_runTimer.elapsed());
        !left.isEmpty())
        parts << left;
    m_ui->lblpass->setText(parts.join(QStringLiteral(" · ")));
}

void shreddingFilesVC::runFinished(const ShredReport& report)
{
    std::printf("complete\n");
    std::fflush(stdout);
    SharedState& state = SharedState::instance();
    for (const ShredFailure& failure : report.failures)
        state.notErasedItems.append({failure.path, ErasureTexts::failureText(failure)});
    for (const ShredWarning& warning : report.warnings)
        state.warnedItems.append({warning.path, ErasureTexts::verdictText(warning.verdict)});
    state.storageNotes = report.notes;
    state.storageWarnings = report.warnings;
    state.keptWhenStopped = report.stopped ? report.stoppedPath : QString();
    state.lastRunMilliseconds = m_runTimer.elapsed();
    // The result shows what was really erased, not every file that was attempted.
    state.deletedFilesCount = report.filesErased;
    state.deletedFilesSize = double(report.allocatedErased);
    s_runActive = false;
    performAfter(1.0, [self = QPointer<shreddingFilesVC>(this)] {
        if (self)
            self->getResult();
    });
}

void shreddingFilesVC::shredupdate(const Notification& notification)
{
    std::printf("taskcompleted\n");
    std::fflush(stdout);
    // The notification comes before the file's first pass. Counting it here would call a file
    // shredded while it is still being written, so the totals wait for countFinishedFile().
    Q_UNUSED(notification);
}

void shreddingFilesVC::countFinishedFile(const QString&, const ShredFileResult& result)
{
    // Told after the last pass reached the disk and the file was unlinked; the size is the
    // allocation taken before the first pass.
    if (result.outcome != ShredFileResult::Outcome::Erased)
        return;
    SharedState& state = SharedState::instance();
    state.deletedFilesSize = state.deletedFilesSize + double(result.allocated);
    ++state.deletedFilesCount;
    refreshLabels();
}

void shreddingFilesVC::refreshLabels()
{
    const SharedState& state = SharedState::instance();
    const qint64 done = state.deletedFilesCount;
    const qint64 total = m_filesPlanned >= 0 ? m_filesPlanned : state.totalSelectedFiles.load();
    m_ui->lblcountDeleted->setText(localizedText(QStringLiteral("IDS_KQ_109")) + u' '
        + QString::number(done) + QStringLiteral(" / ") + QString::number(total));
    m_ui->lblsizeDeleted->setText(
        sizeText(state.deletedFilesSize) + u' ' + localizedText(QStringLiteral("IDS_KQ_38")));
}

void shreddingFilesVC::showPath(const QString& path)
{
    const QFontMetrics metrics(m_ui->lblurl->font());
    const QString shown = PathText::displayText(path);
    m_ui->lblurl->setText(
        metrics.elidedText(shown, Qt::ElideMiddle, std::max(100, m_ui->lblurl->width())));
    m_ui->lblurl->setToolTip(shown);
}

void shreddingFilesVC::getResult()
{
    NotificationCenter::defaultCenter().post(QStringLiteral("ShredComplete"));
}

void shreddingFilesVC::enterEvent(QEnterEvent* event)
{
    BaseViewController::enterEvent(event);
    setCursor(Qt::PointingHandCursor);
}

void shreddingFilesVC::leaveEvent(QEvent* event)
{
    BaseViewController::leaveEvent(event);
    setCursor(Qt::ArrowCursor);
}
