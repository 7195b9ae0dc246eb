// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QObject;

/// One posted notification: a name, the object that posted it (may be null) and its values.
struct Notification
{
    QString name;
    const void* object = nullptr;
    QVariantMap userInfo;
};

/// Process-wide notification centre. Delivery is synchronous, on the posting thread, in the
/// order observers were added. The registry is thread-safe and callbacks run outside its lock,
/// so a callback may post, add or remove observers.
///
/// An observer is tied to an owner QObject and removed when the owner is destroyed. Removal waits
/// for a callback of that observer still running on another thread, so after removal (and after
/// the owner's destructor) the callback is never entered again. A callback therefore must not
/// block waiting for the thread that destroys its owner. The automatic removal runs when
/// QObject's own destructor runs, after a subclass's members are gone: an owner whose callbacks
/// may arrive from another thread calls removeObservers(this) first thing in its destructor.
class NotificationCenter
{
public:
    using Callback = std::function<void(const Notification&)>;
    using ObserverId = quint64;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    /// The default centre, alive until the process ends.
    static NotificationCenter& defaultCenter();

    /// Calls `callback` for every notification named `name` (every notification when `name` is
    /// empty). `owner` may be null; the observer then lives until removeObserver().
    ObserverId addObserver(const QString& name, QObject* owner, Callback callback);
    void removeObserver(ObserverId id);
    /// Removes every observer tied to `owner`.
    void removeObservers(const QObject* owner);

    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

    int observerCount() const;

private:
    struct Observer;

    void detach(const std::shared_ptr<Observer>& observer);

    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Observer>> m_observers;
    ObserverId m_nextId = 1;
};
