// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileListModel.h"
#include "ShredPlan.h"

#include <QObject>

class QLabel;
class QWidget;

/// The lines above the files list: how many files will be shredded (the number in red), how
/// many of all are checked, and the storage warning and note, each kept to one line whose
/// place stays reserved while it is hidden, so nothing under the pointer moves.
class SelectionSummary : public QObject
{
    Q_OBJECT

public:
    struct Lines
    {
        QLabel* filesFolderCount; ///< "n files will be shredded"
        QLabel* selectedCount; ///< "n/N files selected"
        QLabel* warningIcon;
        QLabel* warning; ///< the count of warned files and a Details link
        QLabel* note;
    };

    /// Styles `lines`; the dialog the Details link opens belongs to `screen`.
    SelectionSummary(QWidget* screen, const Lines& lines);

    /// Rewrites every line for `counts` and the checked files of arrFileList.
    void refresh(const FileListModel::Counts& counts);
    /// What the storage of the checked files means for them, as of the last refresh.
    const ShredPlan::StorageSummary& storage() const { return m_storage; }
    /// Lists the checked files with a storage warning, each with its reason.
    void showStorageWarnings();

private:
    void refreshStorageLines();

    QWidget* m_screen;
    Lines m_lines;
    ShredPlan::StorageSummary m_storage;
};
