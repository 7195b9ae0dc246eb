// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageTable.h"

#include "PropertyList.h"

namespace {

std::optional<QVariantMap>& table()
{
    static std::optional<QVariantMap> strings;
    return strings;
}

} // namespace

std::optional<QVariantMap> loadPlistDictionary(const QString& name, const Bundle& bundle)
{
    const QString path = bundle.pathForResource(name, QStringLiteral("plist"));
    if (path.isEmpty())
        return std::nullopt;
    const PropertyList::FileResult file = PropertyList::readFile(path);
    if (file.value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return file.value.toMap();
}

void setLanguageStrings(std::optional<QVariantMap> strings)
{
    table() = std::move(strings);
}

const std::optional<QVariantMap>& languageStrings()
{
    return table();
}

QString localizedText(const QString& key)
{
    const std::optional<QVariantMap>& strings = table();
    if (!strings)
        return {};
    const auto it = strings->constFind(key);
    // toString() would turn a number into text; a value that is not a string counts as missing.
    if (it == strings->constEnd() || it->typeId() != QMetaType::QString)
        return {};
    return it->toString();
}

QString localizedFormat(const QString& key, const QString& argument)
{
    return localizedText(key).replace(QStringLiteral("%@"), argument);
}

QString localizedFormat(const QString& key, const QStringList& arguments)
{
    QString text = localizedText(key);
    qsizetype from = 0;
    for (const QString& argument : arguments) {
        const qsizetype at = text.indexOf(QStringLiteral("%@"), from);
        if (at < 0)
            break;
        text.replace(at, 2, argument);
        from = at + argument.size();
    }
    return text;
}
