// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// The words corvane-shred prints: texts of the language table in the locale's encoding, and
/// names quoted as coreutils quotes them. Keeps no state.
class ShredText
{
public:
    static const char* const kProgramName;

    /// The text under key IDS_KQ_`key` in the locale's encoding, each "%@" in turn filled with
    /// the next argument's own bytes: a quoted path is already in the terminal's encoding.
    static QByteArray said(int key, const QList<QByteArray>& arguments = {});
    /// "corvane-shred: " and said(), the start of every line on standard error.
    static QByteArray complaint(int key, const QList<QByteArray>& arguments = {});
    /// `n` with the singular under IDS_KQ_`one` or the plural under IDS_KQ_`many`.
    static QString counted(qint64 n, int one, int many);
    static QByteArray quoted(const QByteArray& path);
    static QByteArray quoted(const QString& path);
    /// The path's own bytes with control characters shown as '?', so a name holding a newline
    /// cannot break the one-line-per-item output or move the terminal's cursor.
    static QByteArray shown(QByteArray bytes);
};
