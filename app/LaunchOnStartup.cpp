// SPDX-License-Identifier: GPL-3.0-or-later
#include "LaunchOnStartup.h"

#include "ZPHShred.h"

std::optional<LaunchOnStartup::References> LaunchOnStartup::loginItemReferences(
    const LoginItems& items)
{
    const std::optional<QList<LoginItem>> snapshot = items.snapshot();
    if (!snapshot)
        return std::nullopt;
    References references;
    if (snapshot->isEmpty())
        return references;
    references.anchor = snapshot->last();
    for (const LoginItem& item : *snapshot) {
        if (items.pointsAtApplication(item)) {
            references.existing = item;
            break;
        }
    }
    return references;
}

void LaunchOnStartup::setLaunchOnStartup(bool enabled)
{
    const LoginItems items;
    const std::optional<References> references = loginItemReferences(items);
    if (!references)
        return;
    if (enabled && !references->existing) {
        // Autostart entries have no order of their own: the new one takes its place by name.
        if (!items.insertApplicationItem())
            qWarning("Could not write an autostart entry in %s", qPrintable(items.directory()));
    } else if (!enabled && references->existing) {
        sharedShredEngine().itemRefInLoginItems();
    }
}
