// SPDX-License-Identifier: GPL-3.0-or-later
#include "Appcast.h"

#include "VersionNumber.h"

#include <QXmlStreamReader>

namespace {

constexpr qsizetype signatureBytes = 64;

QString sparkle()
{
    return Appcast::sparkleNamespace.toString();
}

bool isSparkle(const QXmlStreamReader& xml, QStringView name)
{
    return xml.namespaceUri() == Appcast::sparkleNamespace && xml.name() == name;
}

bool isPlain(const QXmlStreamReader& xml, QStringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

void readEnclosure(const QXmlStreamReader& xml, const QUrl& feedUrl, AppcastItem& item)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    item.url = feedUrl.resolved(QUrl(attributes.value(QStringLiteral("url")).toString().trimmed()));
    bool ok = false;
    const qint64 length = attributes.value(QStringLiteral("length")).toLongLong(&ok);
    item.length = ok ? length : -1;
    item.type = attributes.value(QStringLiteral("type")).toString();
    item.edSignature = QByteArray::fromBase64(
        attributes.value(sparkle(), QStringLiteral("edSignature")).toLatin1(),
        QByteArray::AbortOnBase64DecodingErrors);
    // Older feeds put the versions on the enclosure.
    if (item.version.isEmpty())
        item.version = attributes.value(sparkle(), QStringLiteral("version")).toString().trimmed();
    if (item.shortVersionString.isEmpty())
        item.shortVersionString = attributes.value(sparkle(), QStringLiteral("shortVersionString"))
                                      .toString()
                                      .trimmed();
}

AppcastItem readItem(QXmlStreamReader& xml, const QUrl& feedUrl)
{
    AppcastItem item;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, u"title"))
            item.title = xml.readElementText().trimmed();
        else if (isPlain(xml, u"description"))
            item.description = xml.readElementText().trimmed();
        else if (isSparkle(xml, u"version"))
            item.version = xml.readElementText().trimmed();
        else if (isSparkle(xml, u"shortVersionString"))
            item.shortVersionString = xml.readElementText().trimmed();
        else if (isSparkle(xml, u"releaseNotesLink"))
            item.releaseNotesLink = feedUrl.resolved(QUrl(xml.readElementText().trimmed()));
        else if (isPlain(xml, u"enclosure")) {
            readEnclosure(xml, feedUrl, item);
            xml.skipCurrentElement();
        } else
            xml.skipCurrentElement();
    }
    return item;
}

QString whyUnusable(const AppcastItem& item)
{
    if (item.version.isEmpty())
        return QStringLiteral("no version");
    if (!item.url.isValid() || item.url.isEmpty())
        return QStringLiteral("no enclosure address");
    if (item.length <= 0)
        return QStringLiteral("no enclosure length");
    if (item.edSignature.size() != signatureBytes)
        return QStringLiteral("no Ed25519 signature");
    return {};
}

} // namespace

UpdateError Appcast::parse(const QByteArray& bytes, const QUrl& feedUrl, QList<AppcastItem>* items)
{
    items->clear();
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || !isPlain(xml, u"rss"))
        return {UpdateError::Kind::FeedMalformed, QStringLiteral("not an RSS document")};
    bool sawChannel = false;
    while (xml.readNextStartElement()) {
        if (!isPlain(xml, u"channel")) {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (!isPlain(xml, u"item")) {
                xml.skipCurrentElement();
                continue;
            }
            AppcastItem item = readItem(xml, feedUrl);
            const QString why = whyUnusable(item);
            if (why.isEmpty())
                items->append(item);
            else
                qWarning("Skipping update feed item \"%s\": %s", qPrintable(item.title),
                    qPrintable(why));
        }
    }
    if (xml.hasError()) {
        items->clear();
        return {UpdateError::Kind::FeedMalformed,
            QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString())};
    }
    if (!sawChannel)
        return {UpdateError::Kind::FeedMalformed, QStringLiteral("no channel")};
    return UpdateError::none();
}

std::optional<AppcastItem> Appcast::newestAbove(
    const QList<AppcastItem>& items, const QString& runningVersion)
{
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : items) {
        if (VersionNumber::compare(item.version, runningVersion) <= 0)
            continue;
        if (!newest || VersionNumber::compare(item.version, newest->version) > 0)
            newest = item;
    }
    return newest;
}
