// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QPointer>
#include <QString>

#include <functional>

/// Makes the application's window and screen controllers by identifier ("ViewController",
/// "shredderFilesvc", "mainWindowController", ...). Every call makes a new controller; the
/// caller owns it.
class Storyboard
{
public:
    using Factory = std::function<QObject*()>;

    /// The storyboard "Main", with every controller of the application registered.
    static Storyboard& mainStoryboard();

    /// A new controller for `identifier`, or null for an unknown identifier.
    QObject* instantiateController(const QString& identifier) const;

    template<typename T>
    T* instantiateController(const QString& identifier) const
    {
        QObject* object = instantiateController(identifier);
        T* typed = qobject_cast<T*>(object);
        if (!typed)
            delete object;
        return typed;
    }

    /// The one controller of `identifier` for the whole process, made on first use and kept
    /// until the process ends; null for an unknown identifier.
    QObject* sharedController(const QString& identifier);

    template<typename T>
    T* sharedController(const QString& identifier)
    {
        return qobject_cast<T*>(sharedController(identifier));
    }

    void registerController(const QString& identifier, Factory factory);
    bool hasController(const QString& identifier) const { return m_factories.contains(identifier); }

private:
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<QObject>> m_shared;
};
