// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SharedState.h"

#include <QDialog>

class QTreeWidget;

/// Lists items of a shred run with their reasons: those it could not erase, or (with other
/// texts) those removed with a storage warning.
class NotErasedDialog : public QDialog
{
    Q_OBJECT

public:
    NotErasedDialog(const QList<NotErasedItem>& items, QWidget* parent = nullptr,
        const QString& titleKey = QStringLiteral("IDS_KQ_203"),
        const QString& introKey = QStringLiteral("IDS_KQ_204"));

    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list;
};
