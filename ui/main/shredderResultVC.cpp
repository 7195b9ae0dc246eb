// SPDX-License-Identifier: GPL-3.0-or-later
#include "shredderResultVC.h"

#include "Bundle.h"
#include "ErasureTexts.h"
#include "FreeSpaceWipeDialog.h"
#include "LanguageTable.h"
#include "NotErasedDialog.h"
#include "NotificationCenter.h"
#include "Pictures.h"
#include "PromotedApplications.h"
#include "Recommendation.h"
#include "ScreenStyle.h"
#include "SharedState.h"
#include "SizeText.h"
#include "UserDefaults.h"
#include "WebAddress.h"
#include "ui_shredderResultVC.h"

#include <QBoxLayout>
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <QUrl>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

PromotedApplications* g_applications = nullptr;

PromotedApplications& promotedApplications()
{
    return g_applications ? *g_applications : PromotedApplications::shared();
}

// The folder a removed file was in, or the nearest one above it that is still there.
QString existingFolderOf(const QString& file)
{
    QFileInfo folder(QFileInfo(file).path());
    while (!folder.isDir() && !folder.isRoot())
        folder.setFile(folder.path());
    return folder.filePath();
}

// The box layout, at any depth below `layout`, that holds `widget` itself.
QBoxLayout* layoutHolding(QLayout* layout, QWidget* widget)
{
    if (!layout)
        return nullptr;
    if (layout->indexOf(widget) >= 0)
        return qobject_cast<QBoxLayout*>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        if (QBoxLayout* found = layoutHolding(layout->itemAt(i)->layout(), widget))
            return found;
    }
    return nullptr;
}

} // namespace

shredderResultVC::shredderResultVC(QWidget* parent)
    : BaseViewController(parent)
{ }

shredderResultVC::~shredderResultVC() = default;

void shredderResultVC::setPromotedApplications(PromotedApplications* applications)
{
    g_applications = applications;
}

void shredderResultVC::loadView()
{
    m_ui = std::make_unique<Ui::shredderResultVC>();
    m_ui->setupUi(this);
    connect(m_ui->btnHome, &QAbstractButton::clicked, this, &shredderResultVC::btnHome);
    connect(m_ui->btnTweet, &QAbstractButton::clicked, this, &shredderResultVC::btnTweet);
    connect(m_ui->btnFacebook, &QAbstractButton::clicked, this, &shredderResultVC::btnFacebook);
    connect(m_ui->btnAppstore, &QAbstractButton::clicked, this, &shredderResultVC::btnAppStore);
    connect(
        m_ui->btnShowNotErased, &QAbstractButton::clicked, this, &shredderResultVC::showNotErased);
    connect(m_ui->btnShowWarned, &QAbstractButton::clicked, this, &shredderResultVC::showWarned);
}

void shredderResultVC::viewDidLoad()
{
    ScreenStyle::styleAppName(m_ui->lblappname);
    ScreenStyle::styleTitle(m_ui->lblcleanupCompleted);
    ScreenStyle::styleFigure(m_ui->lblTotalsize);
    ScreenStyle::styleCaption(m_ui->lblshredded);
    ScreenStyle::styleCaption(m_ui->lblAvailableSize);
    ScreenStyle::styleCaption(m_ui->lblRunSummary);
    ScreenStyle::styleCaption(m_ui->lblfollowus);
    ScreenStyle::styleCaption(m_ui->lblshredmore);
    ScreenStyle::styleCaption(m_ui->lblrecommended);
    ScreenStyle::stylePrimaryButton(m_ui->btnHome);
    ScreenStyle::stylePrimaryButton(m_ui->btnAppstore);
    ScreenStyle::styleSecondaryButton(m_ui->btnTweet);
    ScreenStyle::styleSecondaryButton(m_ui->btnFacebook);
    ScreenStyle::styleSecondaryButton(m_ui->btnShowNotErased);
    ScreenStyle::styleSecondaryButton(m_ui->btnShowWarned);
    ScreenStyle::styleCaption(m_ui->lblStorageNote);
    QFont nameFont = m_ui->lblAppname->font();
    nameFont.setWeight(QFont::DemiBold);
    m_ui->lblAppname->setFont(nameFont);

    m_ui->lblappname->setText(localizedText(QStringLiteral("IDS_KQ_6")));
    m_ui->lblshredded->setText(localizedText(QStringLiteral("IDS_KQ_38")));
    m_ui->lblfollowus->setText(localizedText(QStringLiteral("IDS_KQ_39")));
    m_ui->btnTweet->setText(QStringLiteral("Twitter"));
    m_ui->btnFacebook->setText(QStringLiteral("Facebook"));
    m_ui->lblshredmore->setText(localizedText(QStringLiteral("IDS_KQ_40")));
    m_ui->btnHome->setText(localizedText(QStringLiteral("IDS_KQ_41")));

    const qreal ratio = devicePixelRatioF();
    m_ui->right_icon->setPixmap(Pictures::pixmap(Pictures::Picture::ResultBadge, {}, ratio));
    m_ui->lblcleanupCompleted->setText(localizedText(QStringLiteral("IDS_KQ_37")));
    m_ui->btnHome->setEnabled(true);
    m_ui->Corvaneicon->setPixmap(
        Pictures::pixmap(Pictures::Picture::ResultIllustration, {}, ratio));
    m_ui->btnAppstore->setText(localizedText(QStringLiteral("IDS_KQ_83")));

    m_ui->lblTotalsize->setText(sizeText(SharedState::instance().deletedFilesSize));
    fillRunSummary();
    fillWarnings();
    fillNotErased();
    fillRecommendation();

    m_ui->btnFacebook->setIcon(
        QIcon(Pictures::pixmap(Pictures::Picture::CommunityLink, {}, ratio)));
    m_ui->btnTweet->setIcon(QIcon(Pictures::pixmap(Pictures::Picture::ShareLink, {}, ratio)));
    m_ui->btnTweet->setImagePosition(SYFlatButton::ImageLeft);
    m_ui->btnFacebook->setImagePosition(SYFlatButton::ImageLeft);
    // Without the maker's addresses configured the two buttons would do nothing: hide them.
    const QVariantMap info = Bundle::mainBundle().infoDictionary();
    const bool hasLinks = !info.value(QStringLiteral("CorvaneTwitterURL")).toString().isEmpty()
        || !info.value(QStringLiteral("CorvaneFacebookURL")).toString().isEmpty();
    m_ui->lblfollowus->setVisible(hasLinks);
    m_ui->btnTweet->setVisible(hasLinks);
    m_ui->btnFacebook->setVisible(hasLinks);

    double freeBytes = 0;
    struct statvfs fs;
    if (::statvfs("/", &fs) == 0)
        freeBytes = double(fs.f_bavail) * double(fs.f_frsize);
    m_ui->lblAvailableSize->setText(
        localizedFormat(QStringLiteral("IDS_KQ_46"), sizeText(freeBytes)));
}

void shredderResultVC::fillRunSummary()
{
    const SharedState& state = SharedState::instance();
    const qint64 files = state.deletedFilesCount;
    QStringList parts;
    if (state.warnedItems.isEmpty()) {
        parts << (files == 1
                ? localizedText(QStringLiteral("IDS_KQ_583"))
                : localizedFormat(QStringLiteral("IDS_KQ_582"), QString::number(files)));
    } else {
        // Under "old contents may remain" the size is no headline, only a plain count.
        const QString size = sizeText(state.deletedFilesSize);
        parts << (files == 1
                ? localizedFormat(QStringLiteral("IDS_KQ_585"), size)
                : localizedFormat(QStringLiteral("IDS_KQ_584"), {QString::number(files), size}));
        m_ui->lblTotalsize->hide();
        m_ui->lblshredded->hide();
    }
    parts << ErasureTexts::methodText(state.lastRunMethod)
          << localizedText(state.lastRunVerified ? QStringLiteral("IDS_KQ_586")
                                                 : QStringLiteral("IDS_KQ_587"))
          << localizedFormat(QStringLiteral("IDS_KQ_588"),
                 durationText(std::max<qint64>(1, (state.lastRunMilliseconds + 999) / 1000)));
    m_ui->lblRunSummary->setText(parts.join(QStringLiteral(" · ")));
}

void shredderResultVC::fillNotErased()
{
    const QList<NotErasedItem>& items = SharedState::instance().notErasedItems;
    m_ui->notErasedBox->setVisible(!items.isEmpty());
    if (items.isEmpty())
        return;
    // A run that left something behind is never presented as a clean success.
    m_ui->lblcleanupCompleted->setText(localizedText(QStringLiteral("IDS_KQ_206")));
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    m_ui->right_icon->setPixmap(warning.pixmap(QSize(32, 32), devicePixelRatioF()));
    // The illustration celebrates a clean run; it has no place here.
    hideIllustration();
    m_ui->lblNotErased->setText(items.size() == 1
            ? localizedText(QStringLiteral("IDS_KQ_201"))
            : localizedFormat(QStringLiteral("IDS_KQ_200"), QString::number(items.size())));
    m_ui->btnShowNotErased->setText(localizedText(QStringLiteral("IDS_KQ_202")));
}

void shredderResultVC::fillWarnings()
{
    const SharedState& state = SharedState::instance();
    const QList<NotErasedItem>& warned = state.warnedItems;
    m_ui->warnedBox->setVisible(!warned.isEmpty());
    m_ui->lblStorageNote->setVisible(!state.storageNotes.isEmpty());
    if (!state.storageNotes.isEmpty())
        m_ui->lblStorageNote->setText(ErasureTexts::reasonText(state.storageNotes.first()));
    if (warned.isEmpty())
        return;
    // Removed is not erased: files whose old contents may remain are never a clean success.
    const QString headline = warned.size() == 1
        ? localizedText(QStringLiteral("IDS_KQ_249"))
        : localizedFormat(QStringLiteral("IDS_KQ_248"), QString::number(warned.size()));
    m_ui->lblcleanupCompleted->setText(headline);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    m_ui->right_icon->setPixmap(warning.pixmap(QSize(32, 32), devicePixelRatioF()));
    hideIllustration();
    m_ui->lblWarned->setText(warned.first().reason);
    m_ui->btnShowWarned->setText(localizedText(QStringLiteral("IDS_KQ_202")));

    // Where filling the free space reaches the old copies, offer it beside the details.
    for (const ShredWarning& warning : state.storageWarnings) {
        const bool reachable = std::any_of(warning.verdict.warnings.cbegin(),
            warning.verdict.warnings.cend(), [](StorageReason r) {
                return FreeSpaceWipeReport::reach(r) == FreeSpaceWipeReport::Reach::Reached;
            });
        if (reachable) {
            m_wipeFolder = existingFolderOf(warning.path);
            break;
        }
    }
    if (m_wipeFolder.isEmpty())
        return;
    m_wipeButton = new SYFlatButton(m_ui->warnedBox);
    m_wipeButton->setText(localizedText(QStringLiteral("IDS_KQ_567")));
    m_wipeButton->setObjectName(QStringLiteral("btnWipeFreeSpace"));
    m_wipeButton->setToolTip(FreeSpaceWipeDialog::placeText(m_wipeFolder));
    m_wipeButton->setAccessibleDescription(m_wipeButton->toolTip());
    m_wipeButton->setMinimumHeight(m_ui->btnShowWarned->minimumHeight());
    ScreenStyle::styleSecondaryButton(m_wipeButton);
    static_cast<QBoxLayout*>(m_ui->warnedBox->layout())->addWidget(m_wipeButton);
    // Which disk and how much: said under the button, not only in its tooltip.
    if (QBoxLayout* column
        = layoutHolding(m_ui->warnedBox->parentWidget()->layout(), m_ui->warnedBox)) {
        auto* place = new QLabel(m_wipeButton->toolTip(), m_ui->warnedBox->parentWidget());
        place->setObjectName(QStringLiteral("lblWipePlace"));
        place->setAlignment(Qt::AlignRight);
        ScreenStyle::styleCaption(place);
        column->insertWidget(column->indexOf(m_ui->warnedBox) + 1, place);
    }
    connect(m_wipeButton, &QAbstractButton::clicked, this, &shredderResultVC::wipeFreeSpace);
}

void shredderResultVC::wipeFreeSpace()
{
    // Only the files that were on the file system to be wiped.
    struct stat here;
    struct stat there;
    QList<StorageVerdict> verdicts;
    for (const ShredWarning& warning : SharedState::instance().storageWarnings) {
        if (::stat(QFile::encodeName(m_wipeFolder).constData(), &here) == 0
            && ::stat(QFile::encodeName(existingFolderOf(warning.path)).constData(), &there) == 0
            && here.st_dev == there.st_dev)
            verdicts.append(warning.verdict);
    }
    auto* dialog = new FreeSpaceWipeDialog(m_wipeFolder, verdicts, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void shredderResultVC::hideIllustration()
{
    m_ui->Corvaneicon->hide();
    // Alone, the summary would shrink to the width a wrapped label asks for and break the
    // headline over two lines; it takes the width of the box below it instead.
    m_ui->lblAvailableSize->setMinimumWidth(m_ui->recommendBox->minimumWidth());
}

void shredderResultVC::showWarned()
{
    if (!m_warnedDialog)
        m_warnedDialog = new NotErasedDialog(SharedState::instance().warnedItems, this,
            QStringLiteral("IDS_KQ_253"), QStringLiteral("IDS_KQ_254"));
    m_warnedDialog->open();
}

void shredderResultVC::fillRecommendation()
{
    PromotedApplications& applications = promotedApplications();
    applications.checkInstalled();
    const Recommendation choice = Recommendation::advance(
        UserDefaults::standardUserDefaults(), applications.candidatesInstalled());
    const bool shown = choice.candidate.has_value() && !choice.hideBox;
    if (choice.candidate) {
        const int number = PromotedApplications::candidates.at(size_t(*choice.candidate));
        if (const PromotedApplication* entry = PromotedApplications::entry(number)) {
            m_ui->imgview->setPixmap(
                Pictures::renderSvg(entry->iconPath, QSize(64, 64), devicePixelRatioF()));
            m_ui->lblrecommended->setText(localizedText(QStringLiteral("IDS_KQ_42")));
            m_ui->lbltoprated->setText(
                localizedText(PromotedApplications::topRatedKey(*choice.candidate)));
            m_ui->lblAppname->setText(entry->title);
            m_apppath = entry->apppath;
        }
    }
    m_ui->recommendBox->setVisible(shown);
    m_ui->btnAppstore->setVisible(shown);
}

void shredderResultVC::showNotErased()
{
    if (!m_notErasedDialog)
        m_notErasedDialog = new NotErasedDialog(SharedState::instance().notErasedItems, this);
    m_notErasedDialog->open();
}

void shredderResultVC::btnHome()
{
    SharedState::instance().resetLists();
    NotificationCenter::defaultCenter().post(QStringLiteral("GotoHome"));
}

void shredderResultVC::openAddress(const QString& address)
{
    WebAddress::open(address);
}

void shredderResultVC::btnTweet()
{
    openAddress(Bundle::mainBundle()
                    .infoDictionary()
                    .value(QStringLiteral("CorvaneTwitterURL"))
                    .toString());
}

void shredderResultVC::btnFacebook()
{
    openAddress(Bundle::mainBundle()
                    .infoDictionary()
                    .value(QStringLiteral("CorvaneFacebookURL"))
                    .toString());
}

void shredderResultVC::btnAppStore()
{
    openAddress(m_apppath);
}

void shredderResultVC::enterEvent(QEnterEvent* event)
{
    BaseViewController::enterEvent(event);
    setCursor(Qt::PointingHandCursor);
}

void shredderResultVC::leaveEvent(QEvent* event)
{
    BaseViewController::leaveEvent(event);
    setCursor(Qt::ArrowCursor);
}
