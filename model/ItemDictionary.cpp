// SPDX-License-Identifier: GPL-3.0-or-later
#include "ItemDictionary.h"

ItemRef makeTopLevelItem(const FileDirectory& data, qint64 tag)
{
    auto item = std::make_shared<ItemDictionary>();
    item->data = data;
    item->tag = tag;
    item->url1 = data.url.value_or(QUrl());
    item->isMainParent = true;
    return item;
}

ItemRef makeChildItem(const FileDirectory& data, qint64 tag, const QUrl& url1)
{
    auto item = std::make_shared<ItemDictionary>();
    item->data = data;
    item->tag = tag;
    // Most listed paths are already normal; sharing the record's URL then saves a second copy
    // of the path per row.
    item->url1 = data.url && *data.url == url1 ? *data.url : url1;
    return item;
}
