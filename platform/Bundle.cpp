// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bundle.h"

#include "PropertyList.h"

#include <QFileInfo>

Bundle::Bundle(QString root)
    : m_root(std::move(root))
{
    if (!m_root.endsWith(u'/'))
        m_root += u'/';
}

const Bundle& Bundle::mainBundle()
{
    static const Bundle bundle(QStringLiteral(":/bundle/"));
    return bundle;
}

QString Bundle::pathForResource(const QString& name, const QString& type) const
{
    if (name.isEmpty())
        return {};
    const QString path = m_root + name + (type.isEmpty() ? QString() : u'.' + type);
    const QFileInfo info(path);
    return info.exists() && info.isFile() ? path : QString();
}

QVariantMap Bundle::infoDictionary() const
{
    const QString path = pathForResource(QStringLiteral("Info"), QStringLiteral("plist"));
    if (path.isEmpty())
        return {};
    return PropertyList::readFile(path).value.toMap();
}

QString Bundle::shortVersionString() const
{
    return infoDictionary().value(QStringLiteral("CFBundleShortVersionString")).toString();
}
