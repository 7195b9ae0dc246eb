// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Alert.h"
#include "BaseViewController.h"
#include "ItemDictionary.h"
#include "ListSortMenu.h"
#include "ShredConfirmation.h"
#include "ShredPlan.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <memory>

namespace Ui {
class shredderFilesvc;
}
class FileListModel;
class ListAdding;
class SelectionSummary;
class QMenu;
class tblcell_shredderFiles;

/// The files list screen: everything the user added as a tree with check boxes, adding more,
/// select all, sorting, the method, and the guarded start of a shred.
class shredderFilesvc : public BaseViewController
{
    Q_OBJECT

public:
    explicit shredderFilesvc(QWidget* parent = nullptr);
    ~shredderFilesvc() override;

    // Actions of the screen's controls.
    void btnAddMoreFiles();
    void btnShredStart();
    void btnSelectAll();
    void btnSort();
    void sort_Ascending();
    void sort_Descending();
    void btnSelectmethod(int index);
    void btnDeleteWithSender(qint64 tag);
    void btnSEarchWithSender(qint64 tag);

    /// Recounts the files and the checked files and rewrites the lines above the list.
    void refreshSelectionLabels();
    void sortFileList(Qt::SortOrder order);
    /// Makes the list show the order just sorted.
    void refreshAfterSort();

    // The alerts; each is a new object every time it is shown.
    Alert* confirmationAlert() const { return m_confirmation->confirmationAlert(); }
    Alert* nothingSelectedAlert() const { return m_confirmation->nothingSelectedAlert(); }
    Alert* onlyEmptyFoldersAlert() const { return m_confirmation->onlyEmptyFoldersAlert(); }
    Alert* cannotAddAlert() const { return m_alertAdd; }
    QLineEdit* confirmationField() const { return m_confirmation->confirmationField(); }
    /// Shown under the field when Enter finds the typed word wrong.
    QLabel* wordMismatchLine() const { return m_confirmation->wordMismatchLine(); }
    FileListModel* model() const { return m_model; }
    tblcell_shredderFiles* rowDelegate() const { return m_delegate; }
    QMenu* sortMenu() const { return m_sortMenu->menu(); }
    /// The design's sort tag: 0 smallest first, 1 largest first.
    int sorttag() const { return m_sortOrder == Qt::AscendingOrder ? 0 : 1; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    qint64 filesCount() const { return m_filesCount; }

protected:
    void loadView() override;
    void viewDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startAdding();
    void completionOfAdding();
    void setControlsEnabled(bool enabled);

    void alertforADddata();
    void alertend();
    void alertforDelete();
    void alertforEmptyselection();
    void alertforfileselection();

    std::unique_ptr<Ui::shredderFilesvc> m_ui;
    FileListModel* m_model = nullptr;
    tblcell_shredderFiles* m_delegate = nullptr;
    ListAdding* m_adding = nullptr;

    ShredConfirmation* m_confirmation = nullptr;
    SelectionSummary* m_summary = nullptr;
    QPointer<Alert> m_alertAdd;
    /// The sort menu (sizemenu).
    ListSortMenu* m_sortMenu = nullptr;

    qint64 m_filesCount = 0;
    /// A new list is largest first; each sort keeps its order for the adds after it.
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    QString m_deselectAll;
    QString m_selectall;
    bool m_isAnyItemSelected = false;
    bool m_isAnyFileSelected = false;
};
