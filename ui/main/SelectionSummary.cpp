// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelectionSummary.h"

#include "ErasureTexts.h"
#include "LanguageTable.h"
#include "NotErasedDialog.h"
#include "ScreenStyle.h"
#include "SharedState.h"

#include <QLabel>
#include <QStyle>

namespace {

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

} // namespace

SelectionSummary::SelectionSummary(QWidget* screen, const Lines& lines)
    : QObject(screen)
    , m_screen(screen)
    , m_lines(lines)
{
    ScreenStyle::styleCaption(m_lines.selectedCount);
    ScreenStyle::styleCaption(m_lines.note);
    ScreenStyle::styleLinks(m_lines.warning);
    const int iconSide = m_lines.warning->fontMetrics().height();
    m_lines.warningIcon->setPixmap(
        screen->style()
            ->standardIcon(QStyle::SP_MessageBoxWarning)
            .pixmap(QSize(iconSide, iconSide), screen->devicePixelRatioF()));
    m_lines.warning->setTextFormat(Qt::RichText);
    // The lines keep their place while hidden: a line appearing when a row is checked would
    // move every row under the pointer, and the next click would check another one.
    for (QLabel* line : {m_lines.warningIcon, m_lines.warning, m_lines.note}) {
        line->setWordWrap(false);
        line->setFixedHeight(iconSide);
        QSizePolicy policy = line->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        line->setSizePolicy(policy);
        line->hide();
    }
    connect(m_lines.warning, &QLabel::linkActivated, this, &SelectionSummary::showStorageWarnings);
}

void SelectionSummary::refresh(const FileListModel::Counts& counts)
{
    QString line = text(counts.selectedFiles == 1 ? "IDS_KQ_116" : "IDS_KQ_16").toHtmlEscaped();
    const QString placeholder = QStringLiteral("__FILES__COUNT__");
    const QString number = QString::number(counts.selectedFiles);
    if (line.contains(placeholder)) {
        // The number stands out in red, as the count a user is about to erase.
        const QString coloured = QStringLiteral("<span style=\"color:#f83133; font-weight:600\">")
            + number + QStringLiteral("</span>");
        line.replace(placeholder, coloured);
    }
    m_lines.filesFolderCount->setText(line);
    m_lines.selectedCount->setText(
        number + u'/' + QString::number(counts.filesCount) + u' ' + text("IDS_KQ_101"));
    // Only checked files carry storage lines: with none checked, 100,000 rows need no walk.
    m_storage = counts.selectedFiles > 0
        ? ShredPlan::storageSummary(SharedState::instance().arrFileList)
        : ShredPlan::StorageSummary();
    refreshStorageLines();
}

void SelectionSummary::refreshStorageLines()
{
    const qsizetype warned = m_storage.warned.size();
    m_lines.warningIcon->setVisible(warned > 0);
    m_lines.warning->setVisible(warned > 0);
    if (warned > 0) {
        const QString count = warned == 1
            ? text("IDS_KQ_245")
            : localizedFormat(QStringLiteral("IDS_KQ_244"), QString::number(warned));
        // One short line; the reasons are in the details and on each row.
        m_lines.warning->setText(count.toHtmlEscaped() + QStringLiteral(" <a href=\"details\">")
            + text("IDS_KQ_246").toHtmlEscaped() + QStringLiteral("</a>"));
    }
    // A note is one quiet line, not a mark on every row.
    m_lines.note->setVisible(!m_storage.notes.isEmpty());
    if (!m_storage.notes.isEmpty())
        m_lines.note->setText(ErasureTexts::reasonText(m_storage.notes.first()));
}

void SelectionSummary::showStorageWarnings()
{
    if (m_storage.warned.isEmpty())
        return;
    auto* dialog = new NotErasedDialog(
        m_storage.warned, m_screen, QStringLiteral("IDS_KQ_253"), QStringLiteral("IDS_KQ_254"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
