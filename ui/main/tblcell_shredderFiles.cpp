// SPDX-License-Identifier: GPL-3.0-or-later
#include "tblcell_shredderFiles.h"

#include "FileListModel.h"
#include "LanguageTable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

namespace {

constexpr int kSpinnerIntervalMs = 80;

} // namespace

tblcell_shredderFiles::tblcell_shredderFiles(QObject* parent)
    : TableRowViewResult(parent)
    , m_spinnerTimer(new QTimer(this))
{
    m_spinnerTimer->setInterval(kSpinnerIntervalMs);
    connect(m_spinnerTimer, &QTimer::timeout, this, &tblcell_shredderFiles::advanceSpinner);
}

void tblcell_shredderFiles::install(QAbstractItemView* view)
{
    if (m_view)
        m_view->viewport()->removeEventFilter(this);
    m_view = view;
    view->setItemDelegate(this);
    view->setMouseTracking(true);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);
    if (auto* tree = qobject_cast<QTreeView*>(view))
        tree->setUniformRowHeights(true);
    // Scrolling moves rows under a pointer that did not move.
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_view && m_hovered.isValid())
            setHovered(m_view->indexAt(m_pointer), m_pointer);
    });
}

QRect tblcell_shredderFiles::checkBoxRect(const QStyleOptionViewItem& option) const
{
    return FileRowLayout::of(option).check;
}

QRect tblcell_shredderFiles::removeButtonRect(
    const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.data(FileListModel::IsPendingRole).toBool()
        || !index.data(FileListModel::IsMainParentRole).toBool())
        return {};
    return FileRowLayout::of(option).remove;
}

QRect tblcell_shredderFiles::revealButtonRect(
    const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.data(FileListModel::IsPendingRole).toBool())
        return {};
    return FileRowLayout::of(option).reveal;
}

void tblcell_shredderFiles::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const FileRowPainter::Pointer pointer {
        m_view ? QModelIndex(m_hovered) == index : bool(option.state & QStyle::State_MouseOver),
        m_pointer};
    const QRect spinner = m_painter.paint(painter, option, index, pointer, m_spinnerFrame);
    if (spinner.isEmpty())
        return;
    m_spinnerRegion += spinner;
    if (m_view && !m_spinnerTimer->isActive())
        m_spinnerTimer->start();
}

void tblcell_shredderFiles::advanceSpinner()
{
    if (m_spinnerRegion.isEmpty() || !m_view) {
        m_spinnerTimer->stop();
        return;
    }
    m_spinnerFrame = (m_spinnerFrame + 1) % FileRowPainter::kSpinnerFrames;
    const QRegion dirty = m_spinnerRegion;
    m_spinnerRegion = QRegion();
    m_view->viewport()->update(dirty);
}

QSize tblcell_shredderFiles::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return FileRowLayout::sizeHint(option, kRowHeight);
}

void tblcell_shredderFiles::toggleCheck(QAbstractItemModel* model, const QModelIndex& index)
{
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        return;
    model->setData(index, int(FileListModel::stateAfterClick(index)), Qt::CheckStateRole);
}

bool tblcell_shredderFiles::editorEvent(QEvent* event, QAbstractItemModel* model,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const Part part = FileRowLayout::partAt(option, index, mouse->position().toPoint());
        if (part == Part::None)
            return false;
        // Presses on a part are taken so a double click there neither expands nor collapses
        // the folder; the part acts on release, like a button.
        if (event->type() != QEvent::MouseButtonRelease)
            return true;
        const qint64 tag = index.data(FileListModel::TagRole).toLongLong();
        switch (part) {
        case Part::CheckBox:
            toggleCheck(model, index);
            break;
        case Part::Remove:
            emit removeRequested(tag);
            break;
        case Part::Reveal:
            emit revealRequested(tag);
            break;
        case Part::None:
            break;
        }
        return true;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Space && key->key() != Qt::Key_Select)
            || index.data(FileListModel::IsPendingRole).toBool())
            return false;
        toggleCheck(model, index);
        return true;
    }
    default:
        return false;
    }
}

bool tblcell_shredderFiles::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip) {
        const Part part = FileRowLayout::partAt(option, index, event->pos());
        if (part == Part::Remove || part == Part::Reveal) {
            const QString text = localizedText(
                part == Part::Reveal ? QStringLiteral("IDS_KQ_111") : QStringLiteral("IDS_KQ_112"));
            if (text.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(event->globalPos(), text, view->viewport(),
                    part == Part::Reveal ? FileRowLayout::of(option).reveal
                                         : FileRowLayout::of(option).remove);
            return true;
        }
    }
    return TableRowViewResult::helpEvent(event, view, option, index);
}

QStyleOptionViewItem tblcell_shredderFiles::optionFor(const QModelIndex& index) const
{
    QStyleOptionViewItem option;
    if (!m_view)
        return option;
    option.initFrom(m_view);
    option.font = m_view->font();
    option.fontMetrics = m_view->fontMetrics();
    option.widget = m_view;
    option.rect = m_view->visualRect(index);
    return option;
}

void tblcell_shredderFiles::updateRow(const QModelIndex& index)
{
    if (!m_view || !index.isValid())
        return;
    const QRect rect = m_view->visualRect(index);
    if (rect.isValid())
        m_view->viewport()->update(
            QRect(0, rect.top(), m_view->viewport()->width(), rect.height()));
}

void tblcell_shredderFiles::setHovered(const QModelIndex& index, const QPoint& pos)
{
    const QModelIndex previous = m_hovered;
    const Part before = FileRowLayout::partAt(optionFor(previous), previous, m_pointer);
    // While a scan runs no row shows its buttons, so the pointer has nothing to reveal.
    const QModelIndex now = index.isValid() && !index.data(FileListModel::IsPendingRole).toBool()
        ? index
        : QModelIndex();
    m_hovered = now;
    m_pointer = pos;
    const Part after = FileRowLayout::partAt(optionFor(now), now, pos);
    if (previous != now) {
        updateRow(previous);
        updateRow(now);
    } else if (before != after) {
        updateRow(now);
    }
    if (m_view) {
        if (after == Part::Remove || after == Part::Reveal)
            m_view->viewport()->setCursor(Qt::PointingHandCursor);
        else
            m_view->viewport()->unsetCursor();
    }
}

bool tblcell_shredderFiles::eventFilter(QObject* watched, QEvent* event)
{
    if (m_view && watched == m_view->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            setHovered(m_view->indexAt(pos), pos);
            break;
        }
        case QEvent::Leave:
            setHovered({}, {});
            break;
        default:
            break;
        }
    }
    return TableRowViewResult::eventFilter(watched, event);
}
