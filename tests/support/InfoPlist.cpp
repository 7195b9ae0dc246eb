// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfoPlist.h"

QByteArray infoPlist(const QList<std::pair<QByteArray, QByteArray>>& entries)
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
    for (const auto& [key, value] : entries)
        text += "<key>" + key + "</key><string>" + value + "</string>";
    return text + "</dict></plist>\n";
}
