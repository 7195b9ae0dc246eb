#include "shreddingFilesVC.h"

#include "Dispatch.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "Pictures.h"
#include "ScreenStyle.h"
#include "SharedState.h"
#include "ShreddingWalk.h"
#include "SizeText.h"
#include "UserDefaults.h"
#include "ZPHShred.h"
#include "ui_shreddingFilesVC.h"

#include <QFile>
#include <QPointer>

#include <atomic>

#include <cstdio>
#include <sys/stat.h>

shreddingFilesVC::shreddingFilesVC(QWidget* parent)
    : BaseViewController(parent)
{
}

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

    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("ZPHBraskoUpdateMessage"), this,
        [this](const Notification& notification) { shredupdate(notification); });

    if (const auto method = UserDefaults::standardUserDefaults().integerForKey(QStringLiteral("Algomethod")))
        m_methodindex = int(*method);

    SharedState& state = SharedState::instance();
    state.deletedFilesSize = 0;
    state.deletedFilesCount = 0;
    state.notErasedItems.clear();

    m_ui->lblurl->clear();
    m_ui->lblcountDeleted->setText(QStringLiteral("0"));
    m_ui->lblsizeDeleted->setText(sizeText(0));
    m_ui->progressBar->setRange(0, int(std::max<qint64>(state.totalSelectedFiles, 1)));
    m_ui->progressBar->setValue(0);

    sharedShredEngine().setBFileShreddingOperationAborted(false);
    performAfter(1.0, [self = QPointer<shreddingFilesVC>(this)] {
        if (self)
            self->ShredStart();
    });
}

namespace {

std::atomic<bool> s_runActive{false};

} // namespace

bool shreddingFilesVC::isRunActive()
{
    return s_runActive;
}

void shreddingFilesVC::ShredStart()
{
    // One run at a time: the engine is shared, and a second walk would mix the two reports.
    if (m_started || s_runActive.exchange(true))
        return;
    m_started = true;
    // The walk reads this snapshot; the GUI thread does not change the tree while it runs.
    const QList<ItemRef> items = SharedState::instance().arrFileList;
    const int method = m_methodindex;
    const QPointer<shreddingFilesVC> self(this);
    dispatchGlobal([self, items, method] {
        ShreddingWalk walk(sharedShredEngine(), method, [self](const QString& path) {
            dispatchMain([self, path] {
                if (self)
                    self->showPath(path);
            });
        });
        walk.run(items);
        std::printf("complete\n");
        std::fflush(stdout);
        const QList<ShredFailure> failures = walk.failures();
        const qint64 erased = walk.filesErased();
        const double erasedSize = walk.allocatedBytesErased();
        dispatchMain([self, failures, erased, erasedSize] {
            SharedState& state = SharedState::instance();
            for (const ShredFailure& failure : failures)
                state.notErasedItems.append({failure.path, failure.reason});
            // The result shows what was really erased, not every file that was attempted.
            state.deletedFilesCount = erased;
            state.deletedFilesSize = erasedSize;
            s_runActive = false;
            performAfter(1.0, [self] {
                if (self)
                    self->getResult();
            });
        });
    });
}

void shreddingFilesVC::shredupdate(const Notification& notification)
{
    std::printf("taskcompleted\n");
    std::fflush(stdout);
    if (notification.userInfo.value(QStringLiteral("sScanSection")).toString() != u"shred")
        return;
    const QString path = notification.userInfo.value(QStringLiteral("path")).toString();
    double size = 0;
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0) {
        size = double(st.st_blocks) * 512.0;
    } else {
        std::printf("Error reading file attributes\n");
        std::fflush(stdout);
    }
    SharedState& state = SharedState::instance();
    state.deletedFilesSize = state.deletedFilesSize + size;
    ++state.deletedFilesCount;
    QMetaObject::invokeMethod(this, [this] { refreshLabels(); }, Qt::QueuedConnection);
}

void shreddingFilesVC::refreshLabels()
{
    const SharedState& state = SharedState::instance();
    const qint64 done = state.deletedFilesCount;
    const qint64 total = state.totalSelectedFiles;
    m_ui->lblcountDeleted->setText(localizedText(QStringLiteral("IDS_KQ_109")) + u' '
                                   + QString::number(done) + QStringLiteral(" / ")
                                   + QString::number(total));
    m_ui->lblsizeDeleted->setText(sizeText(state.deletedFilesSize) + u' '
                                  + localizedText(QStringLiteral("IDS_KQ_38")));
    m_ui->progressBar->setMaximum(int(std::max<qint64>({total, done, 1})));
    m_ui->progressBar->setValue(int(done));
}

void shreddingFilesVC::showPath(const QString& path)
{
    const QFontMetrics metrics(m_ui->lblurl->font());
    m_ui->lblurl->setText(metrics.elidedText(path, Qt::ElideMiddle, std::max(100, m_ui->lblurl->width())));
    m_ui->lblurl->setToolTip(path);
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
