// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

/// A network address written into the build (Info.plist). Only https is taken, or plain http
/// to a loopback address, where nothing crosses the network; anything else is refused.
class ConfiguredEndpoint
{
public:
    /// The address in `text`; an empty URL when `text` is empty, not an absolute URL with a
    /// host, or neither https nor loopback.
    static QUrl fromText(const QString& text);
    static bool isLoopbackHost(const QString& host);
};
