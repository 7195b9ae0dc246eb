// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListAdding.h"

#include "SharedState.h"

#include <QPointer>

namespace {

qint64 maxTag(const ItemRef& item)
{
    qint64 tag = item ? item->tag : 0;
    if (item) {
        for (const ItemRef& child : item->arrpath)
            tag = std::max(tag, maxTag(child));
    }
    return tag;
}

} // namespace

ListAdding::ListAdding(QObject* parent)
    : QObject(parent)
{
    // Tags stay unique in the tree even when items from an earlier list are still in it.
    for (const ItemRef& item : SharedState::instance().arrFileList)
        m_itemtag = std::max(m_itemtag, maxTag(item) + 1);
}

ListAdding::~ListAdding()
{
    if (m_scan)
        m_scan->stop();
}

void ListAdding::start()
{
    SharedState::instance().isAddingFiles = true;
    const QPointer<ListAdding> self(this);
    m_scan = ListBuilder::startScan(
        m_itemtag,
        [self] {
            if (self)
                emit self->handedOver();
        },
        [self](qint64 nextTag) {
            if (!self)
                return;
            self->m_itemtag = nextTag;
            SharedState::instance().isAddingFiles = false;
            emit self->completed();
        });
}
