#pragma once

#include <QHash>
#include <QString>

#include <functional>

class QObject;

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

    void registerController(const QString& identifier, Factory factory);
    bool hasController(const QString& identifier) const { return m_factories.contains(identifier); }

private:
    QHash<QString, Factory> m_factories;
};
