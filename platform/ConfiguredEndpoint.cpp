// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConfiguredEndpoint.h"

#include <QHostAddress>

QUrl ConfiguredEndpoint::fromText(const QString& text)
{
    if (text.isEmpty())
        return {};
    const QUrl url(text, QUrl::StrictMode);
    if (isAllowed(url))
        return url;
    qWarning("Refusing the configured address %s: only https, or http to a loopback address",
        qPrintable(url.toDisplayString(QUrl::RemoveQuery | QUrl::RemoveUserInfo)));
    return {};
}

bool ConfiguredEndpoint::isAllowed(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == u"https" || (scheme == u"http" && isLoopbackHost(url.host()));
}

bool ConfiguredEndpoint::isLoopbackHost(const QString& host)
{
    // An address literal only: a name could resolve anywhere.
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}
