// SPDX-License-Identifier: GPL-3.0-or-later
#include "shredderFilesvc.h"

#include "Alert.h"
#include "FileListModel.h"
#include "FileRevealer.h"
#include "LanguageTable.h"
#include "ListAdding.h"
#include "ListSortMenu.h"
#include "NotificationCenter.h"
#include "OpenPanel.h"
#include "ScreenStyle.h"
#include "SelectionSummary.h"
#include "SharedState.h"
#include "ShredSettings.h"
#include "mainWindowController.h"
#include "tblcell_shredderFiles.h"
#include "ui_shredderFilesvc.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

QWidget* mainWindow()
{
    return mainWindowController::shared().window();
}

} // namespace

shredderFilesvc::shredderFilesvc(QWidget* parent)
    : BaseViewController(parent)
{ }

shredderFilesvc::~shredderFilesvc()
{
    NotificationCenter::defaultCenter().removeObservers(this);
    // The delegate watches the view's viewport; it goes first, while the view is still whole.
    delete m_delegate;
    delete m_confirmation;
    delete m_alertAdd.data();
}

void shredderFilesvc::loadView()
{
    m_ui = std::make_unique<Ui::shredderFilesvc>();
    m_ui->setupUi(this);
    m_confirmation = new ShredConfirmation(this, m_ui->hiddenview, m_ui->hiddenview_Waiting);
    m_model = new FileListModel(this);
    m_delegate = new tblcell_shredderFiles(this);
    m_adding = new ListAdding(this);
    connect(m_adding, &ListAdding::handedOver, m_model, &FileListModel::reload);
    connect(m_adding, &ListAdding::completed, this, &shredderFilesvc::completionOfAdding);
    m_ui->outlineview->setModel(m_model);
    m_delegate->install(m_ui->outlineview);
    m_ui->outlineview->setHeaderHidden(true);
    m_ui->outlineview->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_ui->outlineview->installEventFilter(this);
    m_ui->btnSelectmethod->installEventFilter(this);
    m_sortMenu = new ListSortMenu(this);
    connect(m_sortMenu, &ListSortMenu::ascendingChosen, this, &shredderFilesvc::sort_Ascending);
    connect(m_sortMenu, &ListSortMenu::descendingChosen, this, &shredderFilesvc::sort_Descending);

    connect(
        m_ui->btnAddmorefiles, &QAbstractButton::clicked, this, &shredderFilesvc::btnAddMoreFiles);
    connect(m_ui->btnShredStart, &QAbstractButton::clicked, this, &shredderFilesvc::btnShredStart);
    connect(m_ui->btnSelectAll, &QAbstractButton::clicked, this, &shredderFilesvc::btnSelectAll);
    connect(m_ui->btnSort, &QAbstractButton::clicked, this, &shredderFilesvc::btnSort);
    connect(m_ui->btnSelectmethod, &QComboBox::activated, this, &shredderFilesvc::btnSelectmethod);
    connect(m_ui->chkVerify, &QAbstractButton::toggled, this,
        [](bool on) { ShredSettings().setVerify(on); });
    connect(m_delegate, &tblcell_shredderFiles::removeRequested, this,
        &shredderFilesvc::btnDeleteWithSender);
    connect(m_delegate, &tblcell_shredderFiles::revealRequested, this,
        &shredderFilesvc::btnSEarchWithSender);
    // The model recounts once per change; the labels follow.
    connect(m_model, &FileListModel::countsChanged, this, &shredderFilesvc::refreshSelectionLabels);
}

void shredderFilesvc::viewDidLoad()
{
    ScreenStyle::styleAppName(m_ui->lbltitle);
    ScreenStyle::styleCaption(m_ui->lblattention);
    m_summary = new SelectionSummary(this,
        {m_ui->lblFilesFolderCount, m_ui->lblselectedCount, m_ui->imgStorageWarning,
            m_ui->lblStorageWarning, m_ui->lblStorageNote});
    ScreenStyle::stylePrimaryButton(m_ui->btnShredStart);
    ScreenStyle::styleSecondaryButton(m_ui->btnAddmorefiles);
    ScreenStyle::styleSecondaryButton(m_ui->btnSelectAll);
    ScreenStyle::styleSecondaryButton(m_ui->btnSort);
    m_ui->hiddenview->setAutoFillBackground(true);
    QPalette cover = m_ui->hiddenview->palette();
    QColor veil = cover.color(QPalette::Window);
    veil.setAlpha(200);
    cover.setColor(QPalette::Window, veil);
    m_ui->hiddenview->setPalette(cover);
    m_ui->hiddenview_Waiting->setAutoFillBackground(true);

    m_deselectAll = text("IDS_KQ_21");
    m_selectall = text("IDS_KQ_20");

    m_ui->lblFilesFolderCount->clear();
    m_ui->lblselectedCount->clear();
    m_ui->btnSelectAll->setText(m_selectall);
    m_ui->btnAddmorefiles->setText(text("IDS_KQ_22"));
    m_ui->lblattention->setText(text("IDS_KQ_23"));
    m_ui->btnShredStart->setText(text("IDS_KQ_24"));
    m_ui->btnSort->setText(text("IDS_KQ_25"));
    m_ui->lbltitle->setText(text("IDS_KQ_6"));
    m_ui->btnSelectmethod->clear();
    m_ui->btnSelectmethod->addItems({text("IDS_KQ_17"), text("IDS_KQ_18"), text("IDS_KQ_19")});
    m_ui->lbladdingfiles->setText(text("IDS_KQ_99"));
    m_ui->chkVerify->setText(text("IDS_KQ_250"));
    m_ui->chkVerify->setPalette(ScreenStyle::checkBoxPalette(m_ui->chkVerify->palette()));
    m_ui->chkVerify->setChecked(ShredSettings().verify());

    // Names for screen readers, and the keyboard order through the screen.
    m_ui->outlineview->setAccessibleName(text("IDS_KQ_209"));
    m_ui->btnSelectmethod->setAccessibleName(text("IDS_KQ_210"));
    m_ui->btnSelectmethod->setAccessibleDescription(text("IDS_KQ_534"));
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(m_ui->btnAddmorefiles),
             static_cast<QAbstractButton*>(m_ui->btnSelectAll),
             static_cast<QAbstractButton*>(m_ui->btnSort),
             static_cast<QAbstractButton*>(m_ui->btnShredStart)}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAccessibleName(button->text());
    }
    setTabOrder(m_ui->btnAddmorefiles, m_ui->btnSelectAll);
    setTabOrder(m_ui->btnSelectAll, m_ui->btnSort);
    setTabOrder(m_ui->btnSort, m_ui->outlineview);
    setTabOrder(m_ui->outlineview, m_ui->btnSelectmethod);
    setTabOrder(m_ui->btnSelectmethod, m_ui->chkVerify);
    setTabOrder(m_ui->chkVerify, m_ui->btnShredStart);

    startAdding();

    if (const std::optional<int> method = ShredSettings().storedMethod())
        m_ui->btnSelectmethod->setCurrentIndex(*method >= 1 && *method <= 3 ? *method - 1 : -1);
}

void shredderFilesvc::setControlsEnabled(bool enabled)
{
    for (QWidget* control : {static_cast<QWidget*>(m_ui->btnSelectmethod),
             static_cast<QWidget*>(m_ui->chkVerify), static_cast<QWidget*>(m_ui->btnAddmorefiles),
             static_cast<QWidget*>(m_ui->btnShredStart), static_cast<QWidget*>(m_ui->btnSelectAll),
             static_cast<QWidget*>(m_ui->btnSort)})
        control->setEnabled(enabled);
}

void shredderFilesvc::startAdding()
{
    m_ui->hiddenview->show();
    m_ui->hiddenview_Waiting->show();
    m_ui->hiddenview->raise();
    setControlsEnabled(false);
    m_adding->start();
}

void shredderFilesvc::completionOfAdding()
{
    m_ui->hiddenview->hide();
    m_ui->hiddenview_Waiting->hide();
    setControlsEnabled(true);
    // The recount announces the new counts, and the labels follow.
    m_model->reload();
    sortFileList(m_sortOrder);
}

void shredderFilesvc::refreshSelectionLabels()
{
    const FileListModel::Counts counts = m_model->counts();
    m_filesCount = counts.filesCount;
    SharedState::instance().totalSelectedFiles = counts.selectedFiles;
    if (m_summary)
        m_summary->refresh(counts);
    // The title says what a click will do, also after rows were checked one by one.
    m_ui->btnSelectAll->setText(m_model->everyRowChecked() ? m_deselectAll : m_selectall);
    m_ui->btnSelectAll->setAccessibleName(m_ui->btnSelectAll->text());
}

void shredderFilesvc::btnAddMoreFiles()
{
    SharedState& state = SharedState::instance();
    state.arrPendingItems.clear();
    if (state.isAddingFiles)
        return;
    m_ui->hiddenview->show();
    m_ui->hiddenview->raise();
    m_ui->hiddenview_Waiting->hide();
    const QPointer<shredderFilesvc> self(this);
    OpenPanel* panel = OpenPanel::beginSheet(
        mainWindow(),
        [self](bool ok, const QList<QUrl>& urls) {
            if (!self)
                return;
            if (!ok) {
                self->m_ui->hiddenview->hide();
                return;
            }
            const bool refused = ListBuilder::acceptListPanelUrls(urls);
            self->m_ui->hiddenview->hide();
            if (refused)
                self->alertforADddata();
            else
                self->startAdding();
        },
        &ListBuilder::panelRefusal);
    panel->setLabelText(QFileDialog::Accept, text("IDS_KQ_536"));
}

void shredderFilesvc::alertforADddata()
{
    Alert* alert = m_confirmation->makeAlert(m_alertAdd, text("IDS_KQ_13"), text("IDS_KQ_14"));
    QPushButton* ok = alert->addButtonWithTitle(text("IDS_KQ_12"));
    alert->setEscapeButton(ok);
    connect(ok, &QAbstractButton::clicked, this, &shredderFilesvc::alertend);
    alert->beginSheetModal(mainWindow());
}

void shredderFilesvc::alertend()
{
    if (!SharedState::instance().arrPendingItems.isEmpty())
        startAdding();
    if (m_alertAdd)
        m_alertAdd->endSheet();
    if (!SharedState::instance().isAddingFiles)
        m_ui->hiddenview->hide();
}

void shredderFilesvc::btnShredStart()
{
    if (SharedState::instance().isAddingFiles)
        return;
    const FileListTree::Selection selection
        = FileListTree::selectionOf(SharedState::instance().arrFileList);
    m_isAnyItemSelected = selection.anyItem;
    m_isAnyFileSelected = selection.anyFile;
    if (!m_isAnyItemSelected)
        alertforEmptyselection();
    else if (m_isAnyFileSelected)
        alertforDelete();
    else
        alertforfileselection();
}

void shredderFilesvc::alertforDelete()
{
    m_confirmation->alertforDelete(m_summary->storage());
}

void shredderFilesvc::alertforEmptyselection()
{
    m_confirmation->alertforEmptyselection();
}

void shredderFilesvc::alertforfileselection()
{
    m_confirmation->alertforfileselection(m_summary->storage());
}

void shredderFilesvc::btnSelectAll()
{
    if (SharedState::instance().isAddingFiles)
        return;
    // Decided from what is checked, not from the button's words: without a language table
    // both words are empty, and the button must still be able to uncheck.
    m_model->setAllStates(!m_model->everyRowChecked());
    refreshSelectionLabels();
}

void shredderFilesvc::btnSort()
{
    if (SharedState::instance().isAddingFiles)
        return;
    m_sortMenu->popUpUnder(m_ui->btnSort, m_sortOrder);
}

void shredderFilesvc::sort_Ascending()
{
    sortFileList(Qt::AscendingOrder);
}

void shredderFilesvc::sort_Descending()
{
    sortFileList(Qt::DescendingOrder);
}

void shredderFilesvc::sortFileList(Qt::SortOrder order)
{
    m_sortOrder = order;
    m_model->sortTopLevel(order);
    refreshAfterSort();
}

void shredderFilesvc::refreshAfterSort()
{
    ListSortMenu::refreshAfterSort(m_ui->outlineview);
}

void shredderFilesvc::btnSelectmethod(int index)
{
    if (SharedState::instance().isAddingFiles)
        return;
    if (index >= 0 && index <= 2)
        ShredSettings().setMethod(index + 1);
}

void shredderFilesvc::btnDeleteWithSender(qint64 tag)
{
    if (SharedState::instance().isAddingFiles)
        return;
    const bool nowEmpty = m_model->removeTopLevelByTag(tag);
    refreshSelectionLabels();
    if (nowEmpty)
        NotificationCenter::defaultCenter().post(QStringLiteral("GotoHome"));
}

void shredderFilesvc::btnSEarchWithSender(qint64 tag)
{
    if (SharedState::instance().isAddingFiles)
        return;
    const QString path = m_model->revealPathForTag(tag);
    if (!path.isEmpty())
        FileRevealer::reveal(path);
}

bool shredderFilesvc::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->outlineview && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            const QModelIndex current = m_ui->outlineview->currentIndex();
            if (current.isValid() && current.data(FileListModel::IsMainParentRole).toBool())
                btnDeleteWithSender(current.data(FileListModel::TagRole).toLongLong());
            return true;
        }
    }
    if (watched == m_ui->btnSelectmethod) {
        // A wheel passing over the pop-up must not silently change how files are erased.
        if (event->type() == QEvent::Wheel && !m_ui->btnSelectmethod->hasFocus()) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::Enter && !SharedState::instance().isAddingFiles)
            m_ui->btnSelectmethod->setCursor(Qt::PointingHandCursor);
        else if (event->type() == QEvent::Leave)
            m_ui->btnSelectmethod->setCursor(Qt::ArrowCursor);
    }
    return BaseViewController::eventFilter(watched, event);
}
