#pragma once

#include "SharedState.h"

#include <QDialog>

class QTreeWidget;

/// Lists the items a shred run could not erase, each with its reason.
class NotErasedDialog : public QDialog
{
    Q_OBJECT

public:
    NotErasedDialog(const QList<NotErasedItem>& items, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list;
};
