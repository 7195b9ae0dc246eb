// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

/// Path text as the engine, the model and the screens build it: lexically, without asking the
/// file system, in the file system's bytes or in display text.
class PathText
{
public:
    /// `name` inside `folder`, with one slash between them ("/" + "a" is "/a").
    static QString join(const QString& folder, const QString& name);
    static QByteArray join(const QByteArray& folder, const QByteArray& name);
    /// Without the slashes at its end, "/" staying "/": "dir/link/" would name the link's target.
    static QString withoutTrailingSlashes(QString path);
    static QByteArray withoutTrailingSlashes(QByteArray path);
    /// What follows the last slash ("" for "/").
    static QString lastComponent(const QString& path);
    /// Everything before the last slash: "/" for "/a", "." for a bare name.
    static QByteArray parentOf(const QByteArray& path);
    /// As QDir::cleanPath, on the bytes: "." and ".." resolved lexically, slashes doubled or
    /// at the end dropped.
    static QByteArray cleanPath(const QByteArray& path);
    /// The working folder's own bytes (QDir::currentPath() would decode them); empty when it
    /// cannot be read.
    static QByteArray currentFolder();
    /// `path` with every link and "." or ".." resolved (realpath); empty when it cannot be.
    static QByteArray realPath(const QByteArray& path);

    /// A path's bytes as text without losing any: valid UTF-8 as its characters, every other
    /// byte as the lone surrogate U+DC00 + byte, which no decoded name can hold. Decoding the
    /// usual way would turn "\xff" into U+FFFD, the text of another, existing name.
    static QString fromNative(const QByteArray& bytes);
    /// The bytes fromNative() was given; any other text as UTF-8.
    static QByteArray toNative(const QString& path);
    /// The file URL of a path's own bytes (a byte that is not UTF-8 stays percent-encoded).
    static QUrl urlFromNative(const QByteArray& bytes);
    static QUrl urlFromPath(const QString& path);
    /// The bytes of a local file URL's path; empty for any other URL. Unlike toLocalFile(),
    /// never replaces a byte.
    static QByteArray nativeOfUrl(const QUrl& url);
    static QString pathOfUrl(const QUrl& url) { return fromNative(nativeOfUrl(url)); }
    /// True when `path` holds bytes that are not UTF-8 (see fromNative()).
    static bool holdsRawBytes(const QString& path);
    /// A path (from fromNative()) for showing: as it is when it is UTF-8 without control
    /// characters, else quoted as the command line quotes it ('a'$'\377'), so that no name is
    /// shown as the text of another.
    static QString displayText(const QString& path);
};
