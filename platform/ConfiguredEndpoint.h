// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

/// A network address written into the build (Info.plist), or one reached from it (an update
/// feed's download, a redirect). Only https is taken, or plain http to a loopback address, where
/// nothing crosses the network; anything else is refused.
class ConfiguredEndpoint
{
public:
    /// The address in `text`; an empty URL when `text` is empty, not an absolute URL with a
    /// host, or neither https nor loopback.
    static QUrl fromText(const QString& text);
    /// Whether `url` may be reached: absolute, with a host and no user info, and https or
    /// http to a loopback address.
    static bool isAllowed(const QUrl& url);
    static bool isLoopbackHost(const QString& host);
};
