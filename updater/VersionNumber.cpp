// SPDX-License-Identifier: GPL-3.0-or-later
#include "VersionNumber.h"

#include <QStringList>

namespace {

struct Component
{
    qulonglong number = 0;
    QString suffix;
};

Component component(const QStringList& parts, qsizetype index)
{
    Component c;
    if (index >= parts.size())
        return c;
    const QString& part = parts.at(index);
    qsizetype digits = 0;
    while (digits < part.size() && part.at(digits).isDigit() && part.at(digits).unicode() < 128)
        ++digits;
    // Eighteen digits at most: a hostile "99999999999999999999" must not wrap to a small number.
    c.number = part.left(qMin<qsizetype>(digits, 18)).toULongLong();
    c.suffix = part.mid(digits);
    return c;
}

} // namespace

int VersionNumber::compare(const QString& a, const QString& b)
{
    const QStringList left = a.trimmed().split(u'.');
    const QStringList right = b.trimmed().split(u'.');
    const qsizetype count = qMax(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const Component l = component(left, i);
        const Component r = component(right, i);
        if (l.number != r.number)
            return l.number < r.number ? -1 : 1;
        if (l.suffix == r.suffix)
            continue;
        if (l.suffix.isEmpty())
            return 1;
        if (r.suffix.isEmpty())
            return -1;
        return l.suffix < r.suffix ? -1 : 1;
    }
    return 0;
}
