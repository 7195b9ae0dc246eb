// SPDX-License-Identifier: GPL-3.0-or-later
#include "FreeSpaceWipeDialog.h"

#include "FreeSpaceWipe.h"
#include "FreeSpaceWipeTexts.h"
#include "LanguageTable.h"
#include "PathChecks.h"
#include "ScreenStyle.h"
#include "SizeText.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Until a wipe here measured it: a modest disk's sequential speed, so the estimate errs long.
double g_bytesPerSecond = 100.0 * 1000 * 1000;

QString text(int number)
{
    return localizedText(QStringLiteral("IDS_KQ_") + QString::number(number));
}

QString format(int number, const QStringList& arguments)
{
    return localizedFormat(QStringLiteral("IDS_KQ_") + QString::number(number), arguments);
}

quint64 writableBytes(const QString& folder)
{
    // As the wipe counts it: only ext2/3/4 let the administrator write past "available".
    struct statvfs vfs;
    struct statfs fs;
    const QByteArray path = QFile::encodeName(folder);
    if (::statvfs(path.constData(), &vfs) != 0 || ::statfs(path.constData(), &fs) != 0)
        return 0;
    const bool ext = fs.f_type == EXT4_SUPER_MAGIC;
    return quint64(ext && ::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail) * vfs.f_frsize;
}

QLabel* wrapped(const QString& words, QWidget* parent)
{
    auto* label = new QLabel(words, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

FreeSpaceWipeDialog::FreeSpaceWipeDialog(
    const QString& folder, const QList<StorageVerdict>& warnings, QWidget* parent)
    : QDialog(parent)
    , m_folder(folder)
    , m_warnings(warnings)
    , m_pages(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("freeSpaceWipeDialog"));
    setWindowTitle(text(567).remove(u'…'));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(520);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);

    // Asking first: how much, how long, and what others may notice.
    auto* confirm = new QWidget(m_pages);
    auto* confirmLayout = new QVBoxLayout(confirm);
    const QString mount = QStorageInfo(folder).rootPath();
    const quint64 free = writableBytes(folder);
    auto* question
        = wrapped(format(568, {mount.isEmpty() ? folder : mount, sizeText(double(free))}), confirm);
    ScreenStyle::styleTitle(question);
    confirmLayout->addWidget(question);
    const auto seconds = qint64(std::ceil(double(free) / g_bytesPerSecond));
    confirmLayout->addWidget(
        wrapped(format(569, {sizeText(double(free)), durationText(std::max<qint64>(1, seconds))}),
            confirm));
    confirmLayout->addStretch();
    auto* confirmButtons = new QDialogButtonBox(QDialogButtonBox::Cancel, confirm);
    QPushButton* wipe = confirmButtons->addButton(text(570), QDialogButtonBox::AcceptRole);
    wipe->setObjectName(QStringLiteral("btnWipe"));
    confirmButtons->button(QDialogButtonBox::Cancel)->setText(text(501));
    connect(wipe, &QPushButton::clicked, this, &FreeSpaceWipeDialog::startWipe);
    connect(confirmButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    confirmLayout->addWidget(confirmButtons);
    m_pages->addWidget(confirm);

    // Its own progress, with a way out that removes the fill at once.
    auto* progress = new QWidget(m_pages);
    auto* progressLayout = new QVBoxLayout(progress);
    m_progressTitle = wrapped(format(571, {mount}), progress);
    ScreenStyle::styleTitle(m_progressTitle);
    progressLayout->addWidget(m_progressTitle);
    m_bar = new QProgressBar(progress);
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    progressLayout->addWidget(m_bar);
    m_figures = wrapped(QString(), progress);
    progressLayout->addWidget(m_figures);
    progressLayout->addStretch();
    auto* progressButtons = new QDialogButtonBox(progress);
    m_stop = progressButtons->addButton(text(573), QDialogButtonBox::RejectRole);
    m_stop->setObjectName(QStringLiteral("btnStop"));
    connect(m_stop, &QPushButton::clicked, this, &FreeSpaceWipeDialog::stopWipe);
    progressLayout->addWidget(progressButtons);
    m_pages->addWidget(progress);

    // What was reached, in the storage warnings' own words.
    auto* result = new QWidget(m_pages);
    auto* resultLayout = new QVBoxLayout(result);
    m_resultTitle = wrapped(QString(), result);
    ScreenStyle::styleTitle(m_resultTitle);
    resultLayout->addWidget(m_resultTitle);
    m_result = wrapped(QString(), result);
    resultLayout->addWidget(m_result);
    resultLayout->addStretch();
    auto* resultButtons = new QDialogButtonBox(result);
    QPushButton* done = resultButtons->addButton(text(574), QDialogButtonBox::AcceptRole);
    done->setObjectName(QStringLiteral("btnDone"));
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    resultLayout->addWidget(resultButtons);
    m_pages->addWidget(result);
    showPage(0);
}

FreeSpaceWipeDialog::~FreeSpaceWipeDialog() = default;

void FreeSpaceWipeDialog::showPage(int index)
{
    for (int i = 0; i < m_pages->count(); ++i) {
        const auto policy = i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        m_pages->widget(i)->setSizePolicy(policy, policy);
    }
    m_pages->setCurrentIndex(index);
    adjustSize();
}

FreeSpaceWipeDialog* FreeSpaceWipeDialog::chooseFolder(QWidget* parent)
{
    const QUrl url = QFileDialog::getExistingDirectoryUrl(parent, text(576));
    if (url.isEmpty())
        return nullptr;
    const PathCheck check = checkChosenUrl(url);
    if (!check.accepted()) {
        QMessageBox::warning(parent, text(567).remove(u'…'), check.reason());
        return nullptr;
    }
    auto* dialog = new FreeSpaceWipeDialog(url.toLocalFile(), {}, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

QString FreeSpaceWipeDialog::placeText(const QString& folder)
{
    const QString mount = QStorageInfo(folder).rootPath();
    return format(575, {mount.isEmpty() ? folder : mount, sizeText(double(writableBytes(folder)))});
}

bool FreeSpaceWipeDialog::isWiping() const
{
    return m_wipe && m_wipe->isRunning();
}

QString FreeSpaceWipeDialog::resultText() const
{
    return m_resultTitle->text() + u'\n' + m_result->text();
}

void FreeSpaceWipeDialog::startWipe()
{
    if (m_wipe)
        return;
    QList<StorageReason> reasons;
    for (const StorageVerdict& verdict : m_warnings) {
        for (const StorageReason reason : verdict.warnings) {
            if (!reasons.contains(reason))
                reasons.append(reason);
        }
    }
    m_wipe = std::make_unique<FreeSpaceWipe>(QFile::encodeName(m_folder));
    m_wipe->setReasonsToReach(reasons);
    connect(m_wipe.get(), &FreeSpaceWipe::started, this, &FreeSpaceWipeDialog::onStarted);
    connect(m_wipe.get(), &FreeSpaceWipe::bytesWritten, this, &FreeSpaceWipeDialog::onBytesWritten);
    connect(m_wipe.get(), &FreeSpaceWipe::finished, this, &FreeSpaceWipeDialog::onFinished);
    showPage(1);
    m_wipe->startInBackground();
}

void FreeSpaceWipeDialog::stopWipe()
{
    if (!isWiping())
        return;
    m_stop->setEnabled(false);
    m_wipe->requestStop();
}

void FreeSpaceWipeDialog::reject()
{
    // Closing while the disk is being filled stops the fill; the result then says so.
    if (isWiping()) {
        stopWipe();
        return;
    }
    QDialog::reject();
}

void FreeSpaceWipeDialog::onStarted(const QString& mountPoint, quint64, quint64 plannedBytes)
{
    m_planned = plannedBytes;
    m_progressTitle->setText(format(571, {mountPoint}));
}

void FreeSpaceWipeDialog::onBytesWritten(quint64 done)
{
    if (m_planned > 0)
        m_bar->setValue(int(std::min<quint64>(1000, done * 1000 / m_planned)));
    m_figures->setText(format(572, {sizeText(double(done)), sizeText(double(m_planned))}));
}

void FreeSpaceWipeDialog::onFinished(const FreeSpaceWipeReport& report)
{
    if (report.completed() && report.elapsedMs > 1000)
        g_bytesPerSecond = double(report.bytesWritten) * 1000.0 / double(report.elapsedMs);
    const qint64 resolved = std::count_if(m_warnings.cbegin(), m_warnings.cend(),
        [&](const StorageVerdict& v) { return report.resolves(v); });
    QList<StorageReason> reasons;
    for (const StorageVerdict& verdict : m_warnings)
        reasons += verdict.warnings;
    QStringList lines = FreeSpaceWipeTexts::outcome(report, reasons, resolved);
    m_resultTitle->setText(lines.isEmpty() ? QString() : lines.takeFirst());
    m_result->setText(lines.join(QStringLiteral("\n\n")));
    m_result->setVisible(!lines.isEmpty());
    if (report.completed())
        m_bar->setValue(1000);
    showPage(2);
    emit wipeFinished(report);
}
