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

std::optional<QVariantMap> loadLanguageStrings(const QLocale& locale, const Bundle& bundle)
{
    std::optional<QVariantMap> strings = loadPlistDictionary(QStringLiteral("English"), bundle);
    // As gettext: in the C locale a LANGUAGE list is not read, the texts are English.
    const QStringList languages
        = locale.language() == QLocale::C ? QStringList() : locale.uiLanguages();
    for (const QString& language : languages) {
        const QLocale tried(language);
        // "en" is the English table itself; "C" has no table of its own.
        if (tried.language() == QLocale::English || tried.language() == QLocale::C)
            break;
        // The language's table, then its region's ("de", then "de_CH") over it.
        bool found = false;
        for (const QString& name : {QLocale::languageToCode(tried.language()), tried.name()}) {
            const std::optional<QVariantMap> table = loadPlistDictionary(name, bundle);
            if (!table)
                continue;
            found = true;
            if (!strings)
                strings.emplace();
            for (auto it = table->cbegin(); it != table->cend(); ++it) {
                if (it->typeId() == QMetaType::QString)
                    strings->insert(it.key(), *it);
            }
        }
        if (found)
            break;
    }
    return strings;
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

QString localizedCount(qint64 n, const QString& oneKey, const QString& manyKey)
{
    const QStringList singular
        = localizedText(QStringLiteral("IDS_KQ_600")).split(u' ', Qt::SkipEmptyParts);
    const QString number = QString::number(n);
    return localizedText(singular.contains(number) ? oneKey : manyKey)
        .replace(QStringLiteral("%@"), number);
}
