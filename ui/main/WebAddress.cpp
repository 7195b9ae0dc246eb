// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebAddress.h"

#include <QDesktopServices>
#include <QUrl>

#include <cstdio>

bool WebAddress::open(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (address.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return false;
    if (!QDesktopServices::openUrl(url))
        return false;
    std::printf("default browser was successfully opened\n");
    std::fflush(stdout);
    return true;
}
