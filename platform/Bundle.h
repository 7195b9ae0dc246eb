// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariantMap>

/// The application's bundled resources: the information dictionary and the resource files
/// compiled into the binary (or, for tests, any folder).
class Bundle
{
public:
    /// Resources under `root`, a folder or a Qt resource prefix such as ":/".
    explicit Bundle(QString root);

    static const Bundle& mainBundle();

    /// The path of resource `name` of type `type` ("English", "plist"), or empty when absent.
    QString pathForResource(const QString& name, const QString& type) const;
    /// The parsed Info.plist, empty when missing or unreadable.
    QVariantMap infoDictionary() const;
    QString shortVersionString() const;

private:
    QString m_root;
};
