// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathText.h"

#include "ShellQuote.h"

#include <QList>
#include <cstdlib>
#include <memory>
#include <unistd.h>

QString PathText::join(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

QByteArray PathText::join(const QByteArray& folder, const QByteArray& name)
{
    if (folder.isEmpty())
        return name;
    return folder.endsWith('/') ? QByteArray(folder + name) : QByteArray(folder + '/' + name);
}

QString PathText::withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QByteArray PathText::withoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QString PathText::lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QByteArray PathText::parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray PathText::cleanPath(const QByteArray& path)
{
    if (path.isEmpty())
        return path;
    const bool absolute = path.startsWith('/');
    QList<QByteArray> parts;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == ".." && !parts.isEmpty() && parts.last() != "..") {
            parts.removeLast();
            continue;
        }
        // Nothing is above the root.
        if (part == ".." && absolute)
            continue;
        parts.append(part);
    }
    const QByteArray joined = parts.join('/');
    if (absolute)
        return '/' + joined;
    return joined.isEmpty() ? QByteArray(".") : joined;
}

QByteArray PathText::currentFolder()
{
    std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder ? QByteArray(folder.get()) : QByteArray();
}

QByteArray PathText::realPath(const QByteArray& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(
        ::realpath(path.constData(), nullptr), &std::free);
    return real ? QByteArray(real.get()) : QByteArray();
}

namespace {

constexpr char16_t kRawByteBase = 0xDC00;

bool isRawByte(const QString& text, qsizetype i)
{
    const char16_t unit = text.at(i).unicode();
    // A low surrogate after a high one is half of a real character.
    return unit >= kRawByteBase + 0x80 && unit <= kRawByteBase + 0xFF
        && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

} // namespace

QString PathText::fromNative(const QByteArray& bytes)
{
    QString text;
    qsizetype run = 0; // start of the valid stretch not yet appended
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes.at(i)) < 0x80) {
            ++i;
            continue;
        }
        if (const qsizetype length = ShellQuote::validSequenceLength(bytes, i)) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(bytes.constData() + run, i - run);
        text += QChar(char16_t(kRawByteBase + static_cast<unsigned char>(bytes.at(i))));
        run = ++i;
    }
    if (run == 0)
        return QString::fromUtf8(bytes);
    text += QString::fromUtf8(bytes.constData() + run, bytes.size() - run);
    return text;
}

QByteArray PathText::toNative(const QString& path)
{
    if (!holdsRawBytes(path))
        return path.toUtf8();
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isRawByte(path, i))
            continue;
        bytes += QStringView(path).mid(run, i - run).toUtf8();
        bytes += char(path.at(i).unicode() - kRawByteBase);
        run = i + 1;
    }
    bytes += QStringView(path).mid(run).toUtf8();
    return bytes;
}

bool PathText::holdsRawBytes(const QString& path)
{
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isRawByte(path, i))
            return true;
    }
    return false;
}

QUrl PathText::urlFromNative(const QByteArray& bytes)
{
    // Percent-encoding keeps every byte; QUrl decodes only what is valid UTF-8 for display.
    // A relative path must not become a host name.
    const QByteArray scheme = bytes.startsWith('/') ? "file://" : "file:";
    return QUrl::fromEncoded(scheme + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

QUrl PathText::urlFromPath(const QString& path)
{
    // The common case the quick way; fromLocalFile() would read "//x" as a host, though.
    if (!holdsRawBytes(path) && !path.startsWith(u"//"))
        return QUrl::fromLocalFile(path);
    return urlFromNative(toNative(path));
}

QByteArray PathText::nativeOfUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    // A host other than this one is not a path here.
    if (!url.host().isEmpty() && url.host() != u"localhost")
        return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QString PathText::displayText(const QString& path)
{
    bool plain = !holdsRawBytes(path);
    for (qsizetype i = 0; plain && i < path.size(); ++i) {
        const char16_t unit = path.at(i).unicode();
        plain = unit >= 0x20 && unit != 0x7f;
    }
    return plain ? path : QString::fromUtf8(ShellQuote::quoted(toNative(path)));
}
