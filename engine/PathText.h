// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

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
};
