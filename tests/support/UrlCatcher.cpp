// SPDX-License-Identifier: GPL-3.0-or-later
#include "UrlCatcher.h"

#include <QDesktopServices>

UrlCatcher::UrlCatcher(QString scheme)
    : m_scheme(std::move(scheme))
{
    QDesktopServices::setUrlHandler(m_scheme, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(m_scheme);
}

void UrlCatcher::open(const QUrl& url)
{
    opened.append(url);
}
