// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredText.h"

#include "LanguageTable.h"
#include "PathText.h"
#include "ShellQuote.h"

const char* const ShredText::kProgramName = "corvane-shred";

QByteArray ShredText::said(int key, const QList<QByteArray>& arguments)
{
    QByteArray text = localizedText(QStringLiteral("IDS_KQ_%1").arg(key)).toLocal8Bit();
    qsizetype from = 0;
    for (const QByteArray& argument : arguments) {
        const qsizetype at = text.indexOf("%@", from);
        if (at < 0)
            break;
        text.replace(at, 2, argument);
        from = at + argument.size();
    }
    return text;
}

QByteArray ShredText::complaint(int key, const QList<QByteArray>& arguments)
{
    return QByteArray(kProgramName) + ": " + said(key, arguments);
}

QString ShredText::counted(qint64 n, int one, int many)
{
    return localizedCount(
        n, QStringLiteral("IDS_KQ_%1").arg(one), QStringLiteral("IDS_KQ_%1").arg(many));
}

QByteArray ShredText::quoted(const QByteArray& path)
{
    // Read once the locale is set: in the C locale every byte above 0x7F is escaped.
    static const bool utf8 = ShellQuote::localeIsUtf8();
    return ShellQuote::quoted(path, utf8);
}

QByteArray ShredText::quoted(const QString& path)
{
    return quoted(PathText::toNative(path));
}

QByteArray ShredText::shown(QByteArray bytes)
{
    for (char& c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return bytes;
}
