// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

/// Takes every URL that QDesktopServices::openUrl() would hand to the desktop for one scheme,
/// so a test sees what a button opens and no browser or file manager starts.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    explicit UrlCatcher(QString scheme);
    ~UrlCatcher() override;

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url);

private:
    QString m_scheme;
};
