// SPDX-License-Identifier: GPL-3.0-or-later
#include "NotificationCenter.h"

#include <QObject>

#include <algorithm>

struct NotificationCenter::Observer
{
    ObserverId id = 0;
    QString name;
    const QObject* owner = nullptr;
    Callback callback;
    QMetaObject::Connection ownerConnection;
    // Held while the callback runs; recursive so a callback may remove its own observer.
    std::recursive_mutex callMutex;
    bool alive = true;
};

NotificationCenter::NotificationCenter() = default;

NotificationCenter::~NotificationCenter()
{
    std::vector<std::shared_ptr<Observer>> observers;
    {
        std::lock_guard lock(m_mutex);
        observers.swap(m_observers);
    }
    for (const auto& observer : observers)
        QObject::disconnect(observer->ownerConnection);
}

NotificationCenter& NotificationCenter::defaultCenter()
{
    // Never destroyed: observers may still be removed by owners torn down at exit.
    static auto* center = new NotificationCenter;
    return *center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(
    const QString& name, QObject* owner, Callback callback)
{
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->owner = owner;
    observer->callback = std::move(callback);
    {
        std::lock_guard lock(m_mutex);
        observer->id = m_nextId++;
        m_observers.push_back(observer);
    }
    if (owner) {
        // Direct connection: runs inside the owner's destructor, on the destroying thread.
        const std::weak_ptr<Observer> weak = observer;
        observer->ownerConnection = QObject::connect(owner, &QObject::destroyed, [this, weak] {
            if (auto strong = weak.lock())
                detach(strong);
        });
    }
    return observer->id;
}

void NotificationCenter::detach(const std::shared_ptr<Observer>& observer)
{
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_observers, observer);
    }
    // Wait for a delivery in progress on another thread, then make sure none starts.
    std::lock_guard callLock(observer->callMutex);
    observer->alive = false;
}

void NotificationCenter::removeObserver(ObserverId id)
{
    std::shared_ptr<Observer> found;
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(
            m_observers.begin(), m_observers.end(), [id](const auto& o) { return o->id == id; });
        if (it == m_observers.end())
            return;
        found = *it;
    }
    QObject::disconnect(found->ownerConnection);
    detach(found);
}

void NotificationCenter::removeObservers(const QObject* owner)
{
    std::vector<std::shared_ptr<Observer>> found;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& observer : m_observers) {
            if (observer->owner == owner)
                found.push_back(observer);
        }
    }
    for (const auto& observer : found) {
        QObject::disconnect(observer->ownerConnection);
        detach(observer);
    }
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    std::vector<std::shared_ptr<Observer>> targets;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& observer : m_observers) {
            if (observer->name.isEmpty() || observer->name == name)
                targets.push_back(observer);
        }
    }
    const Notification notification {name, object, userInfo};
    for (const auto& observer : targets) {
        std::lock_guard callLock(observer->callMutex);
        if (observer->alive)
            observer->callback(notification);
    }
}

int NotificationCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_observers.size());
}
