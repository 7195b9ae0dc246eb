// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"

#include <QNetworkRequest>

class SUUpdater;

/// What an updater tells its delegate about an automatic download. Both calls come on the GUI
/// thread; the defaults do nothing.
class SUUpdaterDelegate
{
public:
    virtual ~SUUpdaterDelegate() = default;

    /// `item`'s archive is about to be fetched with `request`, which the delegate may adjust.
    virtual void willDownloadUpdate(
        SUUpdater* updater, const AppcastItem& item, QNetworkRequest& request)
    {
        Q_UNUSED(updater)
        Q_UNUSED(item)
        Q_UNUSED(request)
    }
    /// `item` was downloaded, verified and unpacked: quitting now installs it.
    virtual void didDownloadUpdate(SUUpdater* updater, const AppcastItem& item)
    {
        Q_UNUSED(updater)
        Q_UNUSED(item)
    }
};
