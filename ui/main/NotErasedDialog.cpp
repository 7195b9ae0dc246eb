// SPDX-License-Identifier: GPL-3.0-or-later
#include "NotErasedDialog.h"

#include "PathText.h"

#include "LanguageTable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

NotErasedDialog::NotErasedDialog(const QList<NotErasedItem>& items, QWidget* parent,
                                 const QString& titleKey, const QString& introKey)
    : QDialog(parent)
    , m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("notErasedDialog"));
    setWindowTitle(localizedText(titleKey));
    setWindowModality(Qt::WindowModal);
    resize(640, 360);

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(localizedText(introKey), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({localizedText(QStringLiteral("IDS_KQ_207")),
                             localizedText(QStringLiteral("IDS_KQ_208"))});
    // The reason is what the user acts on: it keeps its whole width and the path takes the
    // rest (its tool tip has it in full). A stretched last section would halve the reason.
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->setAccessibleName(localizedText(titleKey));
    for (const NotErasedItem& item : items) {
        const QString shown = PathText::displayText(item.path);
        auto* row = new QTreeWidgetItem(m_list, {shown, item.reason});
        row->setToolTip(0, shown);
        row->setToolTip(1, item.reason);
    }
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(localizedText(QStringLiteral("IDS_KQ_205")));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
