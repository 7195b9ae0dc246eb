// SPDX-License-Identifier: GPL-3.0-or-later
#include "SizeText.h"

#include <QLocale>
#include <charconv>
#include <cstdint>
#include <cstdio>

namespace {

// The C library's rounding of the widened float is part of the expected text ("999.9 KB"
// against "1000.0 KB"): to_chars rounds as printf does in the C locale, whatever LC_NUMERIC
// says. The separator is then the one of the user's locale ("1,5 KB" in German), with no
// digit grouping, so "1000.0 KB" stays one number.
QString formatUnit(float value, const char* unit)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(
        buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 1);
    QString text = QString::fromLatin1(buffer, error == std::errc() ? end - buffer : 0);
    text.replace(u'.', QLocale().decimalPoint());
    return text + u' ' + QLatin1String(unit);
}

} // namespace

QString sizeText(double bytes)
{
    if (!(bytes > 0))
        return QStringLiteral("0 bytes");
    if (bytes < 1000) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%lu bytes",
            static_cast<unsigned long>(static_cast<std::uint64_t>(bytes)));
        return QString::fromLatin1(buffer);
    }
    // 32-bit intermediates on purpose: 1050 bytes gives 1.0 KB, not 1.1 KB.
    const float kilo = static_cast<float>(bytes / 1000.0);
    if (kilo < 1000.0f)
        return formatUnit(kilo, "KB");
    const float mega = kilo / 1000.0f;
    if (mega < 1000.0f)
        return formatUnit(mega, "MB");
    const float giga = mega / 1000.0f;
    return formatUnit(giga, "GB");
}

QString durationText(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min").arg((seconds + 59) / 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg((seconds % 3600) / 60);
}
